// The package in Node: drawings as kvhlr makes them, meshes from typed arrays, sheets and their files,
// errors that name what is at fault, and cancelling. KVHLR names the native kvhlr to compare with.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

import { Camera, draw } from '../lib/index.js';
import { assertSameLines } from './sameLines.js';

const root = new URL('../../../', import.meta.url);
const kvhlr = process.env.KVHLR ?? fileURLToPath(new URL('build/cli/kvhlr', root));
const bunny = { file: readFileSync(new URL('examples/models/bunny.obj', root)), name: 'bunny.obj' };

// A unit cube, each triangle with corners of its own (an STL-like soup) unless `welded`.
function cube(Positions = Float64Array, welded = true) {
    const corners = [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0], [0, 0, 1], [1, 0, 1], [1, 1, 1], [0, 1, 1]];
    const faces = [[0, 3, 2], [0, 2, 1], [4, 5, 6], [4, 6, 7], [0, 1, 5], [0, 5, 4],
        [2, 3, 7], [2, 7, 6], [1, 2, 6], [1, 6, 5], [3, 0, 4], [3, 4, 7]];
    if (welded) return { positions: Positions.from(corners.flat()), indices: Uint32Array.from(faces.flat()) };
    return { positions: Positions.from(faces.flat().flatMap((c) => corners[c])),
        indices: Uint32Array.from(faces.flat().map((_, i) => i)) };
}

test('the bunny, iso with hidden lines, is native kvhlr\'s drawing', async () => {
    const json = join(mkdtempSync(join(tmpdir(), 'kvhlr-')), 'bunny.json');
    execFileSync(kvhlr, [fileURLToPath(new URL('examples/models/bunny.obj', root)), '--quiet', '--view', 'iso', '--hidden', '-o', json]);
    const drawing = await draw(bunny, Camera.view('iso'), { hidden: true });
    assertSameLines(JSON.parse(await drawing.toJSON()), JSON.parse(readFileSync(json, 'utf8')));
    assert.ok(drawing.lines.some((l) => l.kind === 'hidden'));
});

test('a mesh from typed arrays draws alike from single or double precision, welded or not', async () => {
    const reference = await draw(cube(), Camera.view('iso'), { hidden: true });
    // The cube seen from a corner: its outline, a closed hexagon; three convex edges inside, three hidden.
    const segments = (kind) => reference.lines.filter((l) => l.kind === kind)
        .reduce((n, l) => n + l.points.length / 2 - 1, 0);
    assert.deepEqual(['silhouettes', 'convex-sharp', 'hidden'].map(segments), [6, 3, 3]);
    for (const mesh of [cube(Float32Array), cube(Float64Array, false), { ...cube(), indices: [...cube().indices] }])
        assert.equal(await (await draw(mesh, Camera.view('iso'), { hidden: true })).toJSON(), await reference.toJSON());
});

test('sheets: views on paper as SVG and DXF; a JSON file holds one view', async () => {
    const drawing = await draw(cube(), Camera.view('iso'), { views: ['front', 'top', 'right', 'iso'], paper: 'A4',
        style: 'drafting', date: '2026-01-02' });
    assert.deepEqual(drawing.views.map((v) => v.name), ['front', 'top', 'right', 'iso']);
    const svg = await drawing.toSVG();
    assert.match(svg, /width="297mm" height="210mm"|width="210mm" height="297mm"/);
    assert.match(svg, /2026-01-02/);
    assert.match(await drawing.toDXF(), /AC1015/);
    await assert.rejects(drawing.toJSON(), /output/);
    const cut = await draw(cube(), Camera.view('front'), { section: 'front', hatchSpacing: 0.1 });
    assert.ok(cut.lines.some((l) => l.kind === 'hatching') && cut.lines.some((l) => l.kind === 'section'));
});

test('bad input is refused with the option or file at fault named', async () => {
    const refusals = [
        [{ positions: [0, 0, 0, 1, 0, 0, 0, 1, 0], indices: [0, 1, 3] }, {}, /indices.*index 3/],
        [{ positions: [0, 0, 0, 1, 0], indices: [0, 1, 2] }, {}, /positions/],
        [{ positions: [0, 0, 0, 1, 0, NaN, 0, 1, 0], indices: [0, 1, 2] }, {}, /positions.*vertex 1 is not finite/],
        [cube(), { paper: 'B7' }, /paper/],
        [cube(), { scale: '1:0' }, /scale/],
        [cube(), { sharpAngle: 400 }, /sharp_angle/],
        [cube(), { hiden: true }, /unknown option 'hiden'/],
        [{ file: new TextEncoder().encode('v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 7\n'), name: 'broken.obj' }, {}, /broken\.obj.*line 4/],
        [{ file: new Uint8Array(10), name: 'part.ply' }, {}, /part\.ply.*OBJ and binary STL/],
        [{ file: new Uint8Array(90), name: 'short.stl' }, {}, /short\.stl.*binary STL/],
        // Refused by its size before it is read (the zeros are never touched).
        [{ file: new Uint8Array(84 + 50 * 15e6), name: 'huge.stl' }, {}, /huge\.stl: 15000000 triangles need about 5\.3 GB/],
    ];
    for (const [input, options, message] of refusals)
        await assert.rejects(draw(input, Camera.view('iso'), options), message, message.source);
    await assert.rejects(draw(cube(), Camera.view('sideways')), /view/);
    await assert.rejects(draw(cube(), { modelView: new Array(16).fill(0), projection: new Array(16).fill(0), near: 1, far: 2 }), /camera/);
});

test('a drawing is cancelled from its progress, and the next one is whole', async () => {
    const shares = [];
    await assert.rejects(draw(bunny, Camera.view('iso'), { hidden: true, onProgress: (share) => {
        shares.push(share);
        return false;
    } }), { name: 'AbortError' });
    assert.ok(shares.length >= 1);
    const controller = new AbortController();
    await assert.rejects(draw(bunny, Camera.view('iso'), { onProgress: () => controller.abort(), signal: controller.signal }),
        { name: 'AbortError' });
    const after = await draw(bunny, Camera.view('iso'), { hidden: true, intersections: false, onProgress: () => true });
    assert.ok(after.lines.length > 100);
});
