// The check that two JSON drawings hold the same lines: the same kinds in the same order, every point
// within 1e-9 of the drawing's size (the module's arithmetic rounds as the native build's does, but
// its C library's functions may differ from the native one's in the last bits).
import assert from 'node:assert/strict';

export function assertSameLines(drawn, native) {
    assert.equal(drawn.lines.length, native.lines.length);
    const xs = native.lines.flatMap((l) => l.points.map((p) => p[0]));
    const ys = native.lines.flatMap((l) => l.points.map((p) => p[1]));
    const size = Math.max(Math.max(...xs) - Math.min(...xs), Math.max(...ys) - Math.min(...ys));
    drawn.lines.forEach((line, i) => {
        assert.equal(line.kind, native.lines[i].kind, `line ${i}`);
        assert.equal(line.points.length, native.lines[i].points.length, `line ${i}`);
        line.points.forEach((p, k) => {
            const q = native.lines[i].points[k];
            assert.ok(Math.abs(p[0] - q[0]) <= 1e-9 * size && Math.abs(p[1] - q[1]) <= 1e-9 * size, `line ${i} point ${k}`);
        });
    });
}
