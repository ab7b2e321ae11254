// The checks that two JSON drawings hold the same lines: the same kinds in the same order, every point
// within 1e-9 of the drawing's size (the module's arithmetic rounds as the native build's does, but
// its C library's functions may differ from the native one's in the last bits).
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

// The weaker check where the hidden-line pass breaks a tie otherwise: a point found a few units in the last
// place away from the native one (emscripten's C and C++ libraries are not the native ones; turn angles
// worked out as glibc rounds them were tried and changed nothing) makes lines joined or split elsewhere,
// or keeps a piece of 1e-18, but every kind's total length is the same within 1e-9 of the size.
export function assertSameLength(drawn, native, what = 'the drawing') {
    const lengths = (drawing) => {
        const byKind = {};
        for (const { kind, points } of drawing.lines)
            for (let k = 1; k < points.length; ++k)
                byKind[kind] = (byKind[kind] ?? 0) + Math.hypot(points[k][0] - points[k - 1][0], points[k][1] - points[k - 1][1]);
        return byKind;
    };
    const [a, b] = [lengths(drawn), lengths(native)];
    const size = sizeOf(native);
    assert.deepEqual(Object.keys(a).sort(), Object.keys(b).sort(), `${what}: kinds`);
    for (const kind of Object.keys(b))
        assert.ok(Math.abs(a[kind] - b[kind]) <= 1e-9 * size, `${what}: kind ${kind} ${a[kind]} long against ${b[kind]}`);
}
