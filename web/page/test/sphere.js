// A UV sphere of about `triangles` triangles as a binary STL file, for big drawings.
export function sphereStl(triangles) {
    const rings = Math.max(2, Math.round(Math.sqrt(triangles / 2))), segments = Math.max(3, Math.round(triangles / 2 / rings));
    const at = (i, j) => {
        const t = (Math.PI * i) / rings, p = (2 * Math.PI * j) / segments;
        return [Math.sin(t) * Math.cos(p), Math.cos(t), Math.sin(t) * Math.sin(p)];
    };
    const facets = [];
    for (let i = 0; i < rings; ++i)
        for (let j = 0; j < segments; ++j) {
            const a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            if (i > 0) facets.push([a, c, d]);
            if (i + 1 < rings) facets.push([a, b, c]);
        }
    const bytes = Buffer.alloc(84 + 50 * facets.length);
    bytes.writeUInt32LE(facets.length, 80);
    facets.forEach((f, n) => f.forEach((v, k) => v.forEach((x, m) => bytes.writeFloatLE(x, 84 + 50 * n + 12 + 12 * k + 4 * m))));
    return bytes;
}
