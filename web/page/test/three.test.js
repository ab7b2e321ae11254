// The three.js adapter against native kvhlr: a scene of meshes with their own transforms, seen by a
// perspective and an orthographic camera, drawn to the same SVG as kvhlr draws the same meshes (written
// as an OBJ file, in world coordinates) with the same camera (a camera file). KVHLR names kvhlr.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import * as THREE from 'three';

import { cameraOf, drawScene, sceneMeshes } from 'kelvar-hlr/three';

const root = new URL('../../../', import.meta.url).pathname;
const kvhlr = process.env.KVHLR ?? join(root, 'build/cli/kvhlr');

function scene() {
    const scene = new THREE.Scene();
    const box = new THREE.Mesh(new THREE.BoxGeometry(1, 0.6, 0.8), new THREE.MeshBasicMaterial());
    box.position.set(0.2, 0, -0.1);
    box.rotation.set(0.3, 0.5, 0);
    const ball = new THREE.Mesh(new THREE.SphereGeometry(0.45, 24, 12), new THREE.MeshBasicMaterial());
    ball.position.set(0.6, 0.3, 0.2); // through the box
    ball.scale.set(1, 1.4, 1);
    const group = new THREE.Group();
    group.position.set(0, -0.2, 0);
    group.add(box, ball);
    const hidden = new THREE.Mesh(new THREE.BoxGeometry(5, 5, 5));
    hidden.visible = false; // not drawn: it would hide everything
    scene.add(group, hidden);
    return scene;
}

function objOf({ meshes }) {
    const text = [];
    let offset = 1;
    for (const { positions, indices, name } of meshes) {
        text.push(`o ${name}`);
        for (let i = 0; i < positions.length; i += 3)
            text.push(`v ${[...positions.subarray(i, i + 3)].map((x) => x.toPrecision(9)).join(' ')}`);
        for (let i = 0; i < indices.length; i += 3)
            text.push(`f ${[...indices.subarray(i, i + 3)].map((k) => k + offset).join(' ')}`);
        offset += positions.length / 3;
    }
    return text.join('\n') + '\n';
}

test('a scene drawn through the adapter is kvhlr\'s drawing of its meshes and camera', async () => {
    const work = mkdtempSync(join(tmpdir(), 'kvhlr-three-'));
    const perspective = new THREE.PerspectiveCamera(45, 1.5, 0.5, 20);
    perspective.position.set(2.5, 1.6, 3);
    const orthographic = new THREE.OrthographicCamera(-1.5, 1.5, 1, -1, 0.5, 20);
    orthographic.position.set(-2, 3, 2.5);
    const world = scene();
    writeFileSync(join(work, 'scene.obj'), objOf(sceneMeshes(world)));
    assert.equal(sceneMeshes(world).meshes.length, 2);
    for (const [name, camera] of [['perspective', perspective], ['orthographic', orthographic]]) {
        camera.lookAt(0.2, 0, 0);
        const camFile = join(work, `${name}.json`);
        writeFileSync(camFile, JSON.stringify(cameraOf(camera), (k, v) => (ArrayBuffer.isView(v) ? [...v] : v)));
        execFileSync(kvhlr, [join(work, 'scene.obj'), '--quiet', '--camera', camFile, '--hidden', '-o', join(work, `${name}.svg`)]);
        const drawing = await drawScene(world, camera, { hidden: true, worker: false });
        assert.ok(drawing.lines.some((l) => l.kind === 'hidden'), name);
        assert.equal(await drawing.toSVG(), readFileSync(join(work, `${name}.svg`), 'utf8'), name);
    }
});
