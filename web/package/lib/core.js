// The WebAssembly module in the thread that imports this file: loading it, models made of file bytes or
// typed arrays, drawings and their files. Synchronous once loaded; index.js runs it in a worker in
// browsers (worker.js) and in the calling thread in Node.
//
// In:  the input of draw() (file bytes and a name, a mesh, or meshes), a camera and options.
// Out: the drawing's views as transferable typed arrays, and a handle that writes its files.

const moduleUrl = new URL('../dist/kelvar_hlr.mjs', import.meta.url);
const wasmUrl = new URL('../dist/kelvar_hlr.wasm', import.meta.url);
let loading;

const isNode = typeof process !== 'undefined' && process.versions != null && process.versions.node != null;

async function instantiate() {
    const { default: create } = await import(moduleUrl.href);
    if (!isNode) return create({ locateFile: () => wasmUrl.href });
    // Node cannot fetch a file: URL; the module's Node path also asks for CommonJS names that an ES
    // module lacks.
    const { readFile } = await import('node:fs/promises');
    const { createRequire } = await import('node:module');
    const { fileURLToPath } = await import('node:url');
    globalThis.require ??= createRequire(import.meta.url);
    globalThis.__dirname ??= fileURLToPath(new URL('../dist/', import.meta.url));
    return create({ wasmBinary: await readFile(wasmUrl) });
}

// The module, loaded once per thread.
export function loadModule() {
    loading ??= instantiate();
    return loading;
}

// C++ objects are freed when their JavaScript handle is collected: no delete() to call.
const freed = new FinalizationRegistry((object) => object.delete());
function owned(handle, object) {
    freed.register(handle, object, handle);
    return handle;
}
function release(handle, object) {
    freed.unregister(handle);
    object.delete();
}

// Line kinds by the number the library gives them, named as the layers of the SVG and DXF files.
export const kindNames = Object.freeze({
    0: 'silhouettes', 1: 'hidden', 2: 'concave-sharp', 3: 'convex-sharp', 5: 'other-visible',
    6: 'intersections', 7: 'section', 8: 'hatching', 9: 'tangent',
});

const drawOptionNames = ['hidden', 'silhouettes', 'sharp', 'sharpAngle', 'exact', 'intersections', 'section',
    'hatchSpacing', 'hatchAngle', 'views', 'paper', 'orientation', 'scale', 'units', 'margin', 'gap',
    'projection', 'title', 'style', 'dashes', 'order', 'date'];

// Throws a TypeError naming an option draw() does not know, before any work.
export function checkOptionNames(options, allowed = []) {
    for (const name of Object.keys(options ?? {}))
        if (!drawOptionNames.includes(name) && !allowed.includes(name))
            throw new TypeError(`draw(): unknown option '${name}'; the options are ${drawOptionNames.join(', ')}`);
}

function modelOf(kelvar, input) {
    if (input instanceof ArrayBuffer || ArrayBuffer.isView(input?.file) || input?.file instanceof ArrayBuffer) {
        const bytes = input instanceof ArrayBuffer ? input : input.file;
        return kelvar.readModel(bytes instanceof ArrayBuffer ? new Uint8Array(bytes) : bytes, input.name ?? 'model.stl');
    }
    if (Array.isArray(input?.meshes)) return kelvar.meshModel(input.meshes, input.name ?? 'scene');
    if (input?.positions != null && input?.indices != null) return kelvar.meshModel([input], input.name ?? 'mesh');
    throw new TypeError('draw(): the model must be {positions, indices}, {meshes: [...]} or {file, name} with a file\'s bytes');
}

// Draws `input` as seen by `camera`; `progress(share)` returning false cancels (an Error named
// AbortError). Returns {data, sheet}: the views as plain data (transferable) and the handle that writes
// the files, freed with `sheet` or by dispose(sheet).
export function drawWith(kelvar, input, camera, options, progress) {
    checkOptionNames(options);
    const model = modelOf(kelvar, input); // spent by the drawing, which takes its parts
    let sheet;
    try {
        sheet = kelvar.draw(model, camera ?? {}, options ?? {}, progress ?? (() => true));
    } finally {
        model.delete();
    }
    const views = [];
    for (let i = 0; i < sheet.viewCount(); ++i)
        views.push({ name: sheet.viewName(i), camera: sheet.camera(i), ...sheet.lines(i) });
    const data = { views, notes: sheet.notes() };
    const handle = owned({ write: (format) => kelvar.write(sheet, format), dispose: () => release(handle, sheet) }, sheet);
    return { data, sheet: handle };
}

// The typed arrays of a drawing's data, to hand to postMessage as transferables.
export function buffersOf(data) {
    return data.views.flatMap((v) => [v.kinds.buffer, v.starts.buffer, v.points.buffer,
        v.camera.modelView.buffer, v.camera.projection.buffer]);
}
