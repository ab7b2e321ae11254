// A three.js scene drawn exactly: its visible meshes, each with its world transform, as a THREE
// PerspectiveCamera or OrthographicCamera sees them, through draw(). Vector output of a scene: a
// plotter-ready SVG, a DXF, the JSON drawing file.
//
// In:  a THREE.Scene (or any Object3D), a THREE camera, draw()'s options.
// Out: a Drawing; its toSVG() is the scene's line drawing.

import { Camera, draw } from './index.js';

// Each visible mesh's triangles in world coordinates: {meshes: [{positions, indices, name}]}, a part
// each, in the scene's order. Positions keep three.js's single precision.
export function sceneMeshes(scene) {
    scene.updateMatrixWorld(true);
    const meshes = [];
    scene.traverseVisible((object) => {
        const position = object.isMesh ? object.geometry?.getAttribute('position') : undefined;
        if (position == null) return;
        const e = object.matrixWorld.elements; // column by column
        const positions = new Float32Array(position.count * 3);
        for (let i = 0; i < position.count; ++i) {
            const x = position.getX(i), y = position.getY(i), z = position.getZ(i);
            const w = e[3] * x + e[7] * y + e[11] * z + e[15];
            positions[3 * i] = (e[0] * x + e[4] * y + e[8] * z + e[12]) / w;
            positions[3 * i + 1] = (e[1] * x + e[5] * y + e[9] * z + e[13]) / w;
            positions[3 * i + 2] = (e[2] * x + e[6] * y + e[10] * z + e[14]) / w;
        }
        const index = object.geometry.getIndex();
        const indices = index ? Uint32Array.from(index.array) : Uint32Array.from({ length: position.count }, (_, i) => i);
        meshes.push({ positions, indices, name: object.name || `mesh ${meshes.length}` });
    });
    return { meshes, name: scene.name || 'scene' };
}

// row-major 16 numbers of a three.js Matrix4 (whose elements are column by column).
function rows(matrix) {
    const e = matrix.elements;
    return [0, 1, 2, 3].flatMap((r) => [e[r], e[r + 4], e[r + 8], e[r + 12]]);
}

// The camera as three.js renders with it: its view and projection matrices, its near and far planes.
export function cameraOf(camera) {
    if (!camera?.isPerspectiveCamera && !camera?.isOrthographicCamera)
        throw new TypeError('camera: a THREE.PerspectiveCamera or THREE.OrthographicCamera is needed');
    camera.updateMatrixWorld(true);
    return Camera.fixed({ modelView: rows(camera.matrixWorldInverse), projection: rows(camera.projectionMatrix),
        near: camera.near, far: camera.far });
}

// The scene's drawing as `camera` sees it (draw()'s options apply).
export function drawScene(scene, camera, options = {}) {
    return draw(sceneMeshes(scene), cameraOf(camera), options);
}
