// The check that two JSON drawings hold the same lines: the same kinds in the same order, every point
// within 1e-9 of the drawing's size (the module's arithmetic and its std::hypot round as the native
// build's do, but other functions of its C library may differ from the native one's in the last bits).
import assert from 'node:assert/strict';

function sizeOf(drawing) {
    const xs = drawing.lines.flatMap((l) => l.points.map((p) => p[0]));
    const ys = drawing.lines.flatMap((l) => l.points.map((p) => p[1]));
    return Math.max(Math.max(...xs) - Math.min(...xs), Math.max(...ys) - Math.min(...ys));
}

export function assertSameLines(drawn, native, what = 'the drawing') {
    assert.equal(drawn.lines.length, native.lines.length, `${what}: lines`);
    const size = sizeOf(native);
    drawn.lines.forEach((line, i) => {
        assert.equal(line.kind, native.lines[i].kind, `${what}: line ${i}`);
        assert.equal(line.points.length, native.lines[i].points.length, `${what}: line ${i}`);
        line.points.forEach((p, k) => {
            const q = native.lines[i].points[k];
            assert.ok(Math.abs(p[0] - q[0]) <= 1e-9 * size && Math.abs(p[1] - q[1]) <= 1e-9 * size, `${what}: line ${i} point ${k}`);
        });
    });
}
