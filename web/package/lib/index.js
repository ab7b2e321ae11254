// kelvar-hlr: exact hidden-line drawings of triangle meshes. draw() takes a mesh (typed arrays), meshes,
// or a mesh file's bytes, a Camera and options, and gives a Drawing: its lines as typed arrays, and
// toSVG(), toDXF(), toJSON() as kvhlr writes them. In a browser the drawing is made in a Web Worker
// (worker.js), so that the page never freezes; in Node, in the calling thread.

import { checkOptionNames, drawWith, kindNames, loadModule } from './core.js';

export { kindNames };

// Cameras as plain objects, which also cross to a worker. The kit fits view() and lookAt() to the model;
// fixed() is used as given (a Drawing's camera, a three.js camera through ./three.js).
export const Camera = Object.freeze({
    // A named view: front, back, left, right, top, bottom, iso, dimetric, trimetric.
    view: (name = 'iso', { upAxis = 'y', perspective, fill } = {}) => ({ view: name, upAxis, perspective, fill }),
    // From `eye` towards `target`, `up` the drawing's vertical; orthographic unless `perspective` gives a
    // field of view in degrees.
    lookAt: (eye, target, up = [0, 1, 0], { perspective, fill } = {}) => ({ eye, target, up, perspective, fill }),
    perspective: (fov, eye, target, up = [0, 1, 0], { fill } = {}) => ({ eye, target, up, perspective: fov, fill }),
    // {modelView, projection} as 16 numbers each, row by row; near and far depths in front of the eye.
    fixed: ({ modelView, projection, near, far }) => ({ modelView, projection, near, far }),
});

function abortError(message = 'the drawing was cancelled') {
    const error = new Error(message);
    error.name = 'AbortError';
    return error;
}

// A view's lines: [{kind, points}] where points holds x, y of every point of the polyline.
function linesOf(view) {
    const lines = [];
    for (let i = 0; i + 1 < view.starts.length; ++i)
        lines.push({ kind: kindNames[view.kinds[i]] ?? String(view.kinds[i]),
            points: view.points.subarray(2 * view.starts[i], 2 * view.starts[i + 1]) });
    return lines;
}

export class Drawing {
    #data;
    #write;
    #dispose;

    constructor(data, write, dispose) {
        this.#data = data;
        this.#write = write;
        this.#dispose = dispose;
    }

    // The views drawn: {name, camera, kinds, starts, points}, as transferable typed arrays.
    get views() { return this.#data.views; }
    // The first view's lines and camera.
    get lines() { return linesOf(this.#data.views[0]); }
    get camera() { return this.#data.views[0].camera; }
    // What could not be drawn as asked (a body a section could not cap), a sentence each.
    get notes() { return this.#data.notes; }

    toSVG() { return this.#write('svg'); }
    toDXF() { return this.#write('dxf'); }
    // The JSON drawing file of the one view, as `kvhlr -o drawing.json` writes it.
    toJSON() { return this.#write('json'); }
    // Frees the drawing now rather than when it is collected.
    dispose() { this.#dispose(); }
}

function drawHere(input, camera, options, onProgress, signal) {
    return loadModule().then((kelvar) => {
        let stopped = false;
        const progress = (share) => {
            try {
                stopped = stopped || onProgress?.(share) === false || signal?.aborted === true;
            } catch {
                stopped = true; // an exception may not cross the module's frames
            }
            return !stopped;
        };
        const { data, sheet } = drawWith(kelvar, input, camera, options, progress);
        return new Drawing(data, async (format) => sheet.write(format), () => sheet.dispose());
    });
}

// The worker keeps the drawing for its files; it ends when the drawing is disposed or collected.
const workers = new FinalizationRegistry((worker) => worker.terminate());

const startWorker = () => new Worker(new URL('./worker.js', import.meta.url), { type: 'module' });
let spare; // a worker started by warmUp(), loading the module, for the next drawing

// Starts the next drawing's worker now, which loads the module at once: the drawing then starts without
// waiting for it. A page calls it on loading and after each drawing. Does nothing where draw() has no
// worker (Node).
export function warmUp() {
    if (typeof Worker !== 'undefined' && typeof window !== 'undefined') spare ??= startWorker();
}

function drawInWorker(input, camera, options, onProgress, signal, transfer) {
    const worker = spare ?? startWorker();
    spare = undefined;
    return new Promise((resolve, reject) => {
        const pending = new Map();
        let next = 0;
        const onAbort = () => {
            worker.terminate();
            reject(abortError());
        };
        signal?.addEventListener('abort', onAbort, { once: true });
        worker.onerror = (event) => {
            worker.terminate();
            reject(new Error(event.message ?? 'the drawing\'s worker failed'));
        };
        worker.onmessage = ({ data: message }) => {
            if ('progress' in message) {
                if (onProgress?.(message.progress) === false) onAbort();
            } else if ('written' in message || 'failed' in message) {
                const [resolveWrite, rejectWrite] = pending.get(message.id);
                pending.delete(message.id);
                if ('written' in message) resolveWrite(message.written);
                else rejectWrite(Object.assign(new Error(message.failed.message), { name: message.failed.name }));
            } else {
                signal?.removeEventListener('abort', onAbort);
                if ('error' in message) {
                    worker.terminate();
                    reject(Object.assign(new Error(message.error.message), { name: message.error.name }));
                    return;
                }
                const write = (format) => new Promise((resolveWrite, rejectWrite) => {
                    pending.set(++next, [resolveWrite, rejectWrite]);
                    worker.postMessage({ op: 'write', id: next, format });
                });
                const drawing = new Drawing(message.drawn, write, () => {
                    workers.unregister(drawing);
                    worker.terminate();
                });
                workers.register(drawing, worker, drawing);
                resolve(drawing);
            }
        };
        const buffers = transfer ? inputBuffers(input) : [];
        worker.postMessage({ op: 'draw', input, camera, options }, buffers);
    });
}

function inputBuffers(input) {
    const arrays = input?.meshes ? input.meshes.flatMap((m) => [m.positions, m.indices])
        : input?.file ? [input.file] : [input?.positions, input?.indices];
    return [...new Set(arrays.filter((a) => a != null).map((a) => (a instanceof ArrayBuffer ? a : a.buffer)))];
}

// Draws `input` as `camera` sees it. input: {positions, indices} (a mesh: Float32Array or Float64Array
// of x, y, z, Uint32Array of three corners a triangle), {meshes: [{positions, indices, name}]} (a part
// each), or {file, name} (an OBJ or binary STL file's bytes). options: hidden, silhouettes, sharp,
// sharpAngle, exact, intersections, section ('front', 'x=...' or {point, normal}), hatchSpacing,
// hatchAngle; a sheet's views, paper, orientation, scale, units, margin, gap, projection, title, style,
// dashes; onProgress(share) (returning false cancels), signal (an AbortSignal), worker (default: in
// browsers), transfer (hand the input's buffers to the worker instead of copying them).
export async function draw(input, camera = Camera.view('iso'), options = {}) {
    const { onProgress, signal, worker, transfer, ...drawing } = options;
    checkOptionNames(drawing);
    if (signal?.aborted) throw abortError();
    const inWorker = worker ?? (typeof Worker !== 'undefined' && typeof window !== 'undefined');
    return inWorker ? drawInWorker(input, camera, drawing, onProgress, signal, transfer)
        : drawHere(input, camera, drawing, onProgress, signal);
}
