// The page: a dropped model shown in a three.js view that orbits, drawn exactly by kelvar-hlr in a
// worker as the chosen view (or the view shown) sees it, the drawing shown beside it and offered as SVG
// and DXF. OBJ and STL files go to the package's own readers, glTF through three.js, STEP and IGES
// through occt-import-js with each B-rep face kept, so that no facet or seam line is drawn.
//
// In:  a file (dropped or chosen), or ?model=URL with view, hidden, intersections, section, paper,
//      scale and style as the controls name them.
// Out: the drawing's SVG in #drawing, the Drawing itself in window.lastDrawing; body[data-state] says
//      idle, loading, drawing, done, cancelled or error, for people's scripts and the tests.

import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';
import { OBJLoader } from 'three/examples/jsm/loaders/OBJLoader.js';
import { STLLoader } from 'three/examples/jsm/loaders/STLLoader.js';
import { Camera, draw, warmUp } from 'kelvar-hlr';
import { cameraOf, sceneMeshes } from 'kelvar-hlr/three';

const $ = (id) => document.getElementById(id);
const ui = Object.fromEntries(['file', 'view', 'hidden', 'intersections', 'section', 'paper', 'scale', 'style',
    'draw', 'cancel', 'progress', 'svg', 'dxf', 'message', 'viewer', 'drawing'].map((id) => [id, $(id)]));

// ---- the three.js view

// Without WebGL the page still draws: the view on the left stays empty, its camera still orbits.
const renderer = (() => {
    try {
        return new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
    } catch {
        ui.viewer.querySelector('.hint').textContent = 'no 3D view: this browser gives no WebGL';
        return undefined;
    }
})();
renderer?.setClearColor(0xf4f4f4);
if (renderer) ui.viewer.appendChild(renderer.domElement);
const scene = new THREE.Scene();
scene.add(new THREE.HemisphereLight(0xffffff, 0x666666, 2.5));
const viewCamera = new THREE.PerspectiveCamera(40, 1, 0.1, 1000);
const controls = new OrbitControls(viewCamera, renderer?.domElement ?? ui.viewer);
let shown; // the model's Object3D in the view

function render() {
    if (!renderer) return;
    const { clientWidth: w, clientHeight: h } = ui.viewer;
    if (renderer.domElement.width !== w || renderer.domElement.height !== h) {
        renderer.setSize(w, h, false);
        viewCamera.aspect = w / Math.max(h, 1);
        viewCamera.updateProjectionMatrix();
    }
    renderer.render(scene, viewCamera);
}
controls.addEventListener('change', render);
new ResizeObserver(render).observe(ui.viewer);

function show(object, upAxis) {
    if (renderer) ui.viewer.querySelector('.hint').hidden = true;
    if (shown) scene.remove(shown);
    shown = object;
    scene.add(object);
    const box = new THREE.Box3().setFromObject(object);
    const centre = box.getCenter(new THREE.Vector3()), size = box.getSize(new THREE.Vector3()).length() || 1;
    viewCamera.up.set(0, upAxis === 'z' ? 0 : 1, upAxis === 'z' ? 1 : 0);
    viewCamera.near = size / 100;
    viewCamera.far = size * 100;
    viewCamera.updateProjectionMatrix(); // else a model far larger or smaller than the last stays clipped
    viewCamera.position.copy(centre).add(new THREE.Vector3(1, upAxis === 'z' ? -1 : 1, 1).multiplyScalar(size));
    controls.target.copy(centre);
    controls.update();
    render();
}

const material = new THREE.MeshStandardMaterial({ color: 0xb8c4d0, flatShading: true, side: THREE.DoubleSide });
function meshesObject(meshes) {
    const group = new THREE.Group();
    for (const m of meshes) {
        const geometry = new THREE.BufferGeometry();
        geometry.setAttribute('position', new THREE.BufferAttribute(Float32Array.from(m.positions), 3));
        geometry.setIndex(new THREE.BufferAttribute(Uint32Array.from(m.indices), 1));
        group.add(new THREE.Mesh(geometry, material));
    }
    return group;
}

// ---- reading models: {input for draw(), preview() making the object for the view, upAxis}

let occt;
async function occtReader() {
    if (!occt) {
        await new Promise((resolve, reject) => {
            const script = Object.assign(document.createElement('script'), { src: './occt-import-js.js' });
            script.onload = resolve;
            script.onerror = () => reject(new Error('the STEP and IGES reader could not be loaded'));
            document.head.appendChild(script);
        });
        occt = globalThis.occtimportjs({ locateFile: (file) => `./${file}` });
    }
    return occt;
}

async function readModel(name, bytes) {
    const type = name.toLowerCase().match(/\.([a-z0-9]+)$/)?.[1] ?? '';
    if (type === 'obj' || type === 'stl') {
        // The package reads the file itself; three.js parses it again only for the view.
        const preview = () => {
            if (type === 'stl') return new THREE.Mesh(new STLLoader().parse(bytes), material);
            const object = new OBJLoader().parse(new TextDecoder().decode(bytes));
            object.traverse((o) => { if (o.isMesh) o.material = material; });
            return object;
        };
        return { input: { file: new Uint8Array(bytes), name }, preview, upAxis: 'y' };
    }
    if (type === 'gltf' || type === 'glb') {
        const gltf = await new GLTFLoader().parseAsync(bytes, '');
        return { input: sceneMeshes(gltf.scene), preview: () => gltf.scene, upAxis: 'y', units: 'm' };
    }
    if (['step', 'stp', 'iges', 'igs'].includes(type)) {
        const reader = await occtReader();
        const read = type.startsWith('i') ? reader.ReadIgesFile(new Uint8Array(bytes), null)
            : reader.ReadStepFile(new Uint8Array(bytes), null);
        if (!read.success || read.meshes.length === 0) throw new Error(`${name}: not a STEP or IGES file with a solid or surface`);
        const meshes = read.meshes.map((m, i) => ({
            positions: Float64Array.from(m.attributes.position.array),
            indices: Uint32Array.from(m.index.array),
            faces: Uint32Array.from(m.brep_faces.map((f) => f.first)),
            name: m.name || `part ${i + 1}`,
        }));
        return { input: { meshes, name }, preview: () => meshesObject(meshes), upAxis: 'z' };
    }
    throw new Error(`${name}: not a model file this page reads: give an OBJ, STL, glTF, GLB, STEP or IGES file`);
}

// ---- drawing

let model, running;

function say(text, error = false) {
    ui.message.textContent = text;
    ui.message.className = error ? 'error' : '';
}
function setState(state) {
    document.body.dataset.state = state;
    ui.draw.disabled = !model || state === 'drawing' || state === 'loading';
    ui.cancel.disabled = state !== 'drawing';
}

// Reads a model's bytes, draws it and shows it in the view. A named view is drawn first and shown after:
// built and rendered beside the drawing (in software where there is no GPU), the view took the processor
// from the drawing. The view shown is drawn once it is built.
async function open(name, bytes) {
    const since = performance.now();
    setState('loading');
    say(`reading ${name} ...`);
    try {
        model = { name, ...(await readModel(name, bytes)) };
    } catch (error) {
        model = undefined;
        say(String(error.message ?? error), true);
        setState('error');
        return;
    }
    const named = ui.view.value !== 'current';
    if (named) await drawModel(since);
    try {
        show(model.preview(), model.upAxis);
    } catch (error) {
        // After a drawing, the package's own reader has said what is wrong with the file, if anything is.
        if (!named) {
            say(`${name}: ${error.message ?? error}`, true);
            setState('error');
        }
        return;
    }
    if (!named) await drawModel(since);
}

function chosenOptions() {
    const options = { hidden: ui.hidden.checked, intersections: ui.intersections.checked, style: ui.style.value,
        date: new Date().toISOString().slice(0, 10) };
    if (ui.section.value) options.section = ui.section.value;
    if (ui.paper.value) options.paper = ui.paper.value;
    if (ui.scale.value.trim()) options.scale = ui.scale.value.trim();
    if (model.units) options.units = model.units;
    return options;
}

function offer(link, text, type) {
    URL.revokeObjectURL(link.href);
    link.href = URL.createObjectURL(new Blob([text], { type }));
    link.download = `${model.name.replace(/\.[^.]*$/, '')}.${type.endsWith('svg+xml') ? 'svg' : 'dxf'}`;
    link.hidden = false;
}

// Draws the model, timed from `since` (the file's bytes in hand, or the click) to its drawing shown.
async function drawModel(since = performance.now()) {
    const abort = new AbortController();
    running = abort;
    setState('drawing');
    say(`drawing ${model.name} ...`);
    ui.svg.hidden = ui.dxf.hidden = true;
    ui.progress.value = 0;
    try {
        const camera = ui.view.value === 'current' ? cameraOf(viewCamera) : Camera.view(ui.view.value, { upAxis: model.upAxis });
        const drawing = await draw(model.input, camera, { ...chosenOptions(), signal: abort.signal,
            onProgress: (share) => { ui.progress.value = share; } });
        const svg = await drawing.toSVG();
        ui.drawing.innerHTML = svg;
        const seconds = (performance.now() - since) / 1000;
        offer(ui.svg, svg, 'image/svg+xml');
        offer(ui.dxf, await drawing.toDXF(), 'application/dxf');
        ui.progress.value = 1;
        const lines = drawing.views.reduce((n, v) => n + v.kinds.length, 0);
        say([`${model.name}: ${lines} lines in ${seconds.toFixed(2)} s`, ...drawing.notes].join('\n'));
        document.body.dataset.seconds = seconds.toFixed(3);
        // Kept for the console and scripts (its toJSON() is the JSON drawing file); the one before goes.
        window.lastDrawing?.dispose();
        window.lastDrawing = drawing;
        setState('done');
    } catch (error) {
        const cancelled = error.name === 'AbortError';
        say(cancelled ? 'drawing cancelled' : String(error.message ?? error), !cancelled);
        setState(cancelled ? 'cancelled' : 'error');
    } finally {
        running = undefined;
        warmUp();
    }
}

ui.draw.addEventListener('click', () => drawModel());
ui.cancel.addEventListener('click', () => running?.abort());

async function openFile(file) {
    if (file) await open(file.name, await file.arrayBuffer());
}
ui.file.addEventListener('change', () => openFile(ui.file.files[0]));
ui.viewer.addEventListener('dragover', (event) => {
    event.preventDefault();
    ui.viewer.classList.add('dragging');
});
ui.viewer.addEventListener('dragleave', () => ui.viewer.classList.remove('dragging'));
ui.viewer.addEventListener('drop', (event) => {
    event.preventDefault();
    ui.viewer.classList.remove('dragging');
    openFile(event.dataTransfer.files[0]);
});

// ?model=URL&view=iso&hidden=1: the controls set from the address, the model fetched and drawn.
async function fromAddress() {
    const query = new URLSearchParams(location.search);
    for (const id of ['view', 'section', 'paper', 'scale', 'style'])
        if (query.has(id)) ui[id].value = query.get(id);
    for (const id of ['hidden', 'intersections'])
        if (query.has(id)) ui[id].checked = query.get(id) === '1';
    const url = query.get('model');
    setState('idle');
    if (!url) return;
    try {
        const response = await fetch(url);
        if (!response.ok) throw new Error(`${url}: ${response.status} ${response.statusText}`);
        await open(decodeURIComponent(new URL(url, location.href).pathname.split('/').pop()), await response.arrayBuffer());
    } catch (error) {
        say(String(error.message ?? error), true);
        setState('error');
    }
}
warmUp(); // the first drawing's worker loads while a file is chosen or fetched
fromAddress();
