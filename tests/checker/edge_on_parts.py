"""Writes boxy parts whose faces lie square to the axes, for the views that look exactly along a face:

    edge_on_parts.py OUT_DIR [NAME ...]

writes OUT_DIR/NAME.obj for each part named (every part when none is). In a principal view each of
their faces is seen square on or exactly edge-on, and many outlines lie in a face seen edge-on: an
extruded block with a tab flush with its back, a housing with a thin tab flush with its bottom, steps,
a recess, a slot, three plates stacked flush at one side, a field of square cells at stepped heights
joined by vertical walls, and fields on a grid of points whose heights take a few levels only (flat
plateaus joined by slopes). The fields' heights are drawn from seeded random numbers, so every run
writes the same files. y is up.
"""

import os
import random
import sys


def cross(o, a, b):
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])


def ear_clip(polygon):
    """The triangles (index triples) of a simple counter-clockwise polygon of (u, v) points."""
    left = list(range(len(polygon)))
    triangles = []
    while len(left) > 3:
        for k in range(len(left)):
            i, j, l = left[k - 1], left[k], left[(k + 1) % len(left)]
            a, b, c = polygon[i], polygon[j], polygon[l]
            if cross(a, b, c) <= 0:
                continue
            if any(cross(a, b, polygon[m]) >= 0 and cross(b, c, polygon[m]) >= 0 and cross(c, a, polygon[m]) >= 0
                   for m in left if m not in (i, j, l)):
                continue
            triangles.append((i, j, l))
            left.pop(k)
            break
        else:
            raise ValueError("the profile is not a simple counter-clockwise polygon")
    return triangles + [tuple(left)]


def extrude(profile, z0, z1, across_y=False):
    """A closed solid wound outward: the counter-clockwise profile in the xy plane, from z0 to z1 along
    z, or (across_y) the profile in the xz plane swept along y."""
    n = len(profile)
    points = [(u, v, z) for z in (z0, z1) for (u, v) in profile]
    triangles = [t for a, b, c in ear_clip(profile) for t in ((a, c, b), (a + n, b + n, c + n))]
    for i in range(n):
        j = (i + 1) % n
        triangles += [(i, j, j + n), (i, j + n, i + n)]
    if across_y:  # (u, v, z) -> (u, z, v) mirrors, so every triangle turns the other way
        points = [(u, z, v) for u, v, z in points]
        triangles = [(a, c, b) for a, b, c in triangles]
    return points, triangles


def box(x0, y0, z0, x1, y1, z1):
    return extrude([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], z0, z1)


def stepped_field(nx, nz, cell, height):
    """An open surface over nx by nz square cells, each flat at height(i, k), joined by vertical walls."""
    points, triangles, index = [], [], {}

    def at(i, k, h):
        if (i, k, h) not in index:
            index[(i, k, h)] = len(points)
            points.append((i * cell, h, -k * cell))
        return index[(i, k, h)]

    for i in range(nx):
        for k in range(nz):
            h = height(i, k)
            a, b, c, d = at(i, k, h), at(i + 1, k, h), at(i + 1, k + 1, h), at(i, k + 1, h)
            triangles += [(a, b, c), (a, c, d)]
            # The walls towards +x and -z (k + 1), wound to face the lower cell.
            for (di, dk), (p, q) in (((1, 0), ((i + 1, k), (i + 1, k + 1))), ((0, 1), ((i + 1, k + 1), (i, k + 1)))):
                if i + di >= nx or k + dk >= nz or height(i + di, k + dk) == h:
                    continue
                g = height(i + di, k + dk)
                corners = [at(*p, h), at(*q, h), at(*q, g), at(*p, g)]
                if g > h:
                    corners.reverse()
                triangles += [tuple(corners[:3]), (corners[0], corners[2], corners[3])]
    return points, triangles


def grid_field(seed, nx=14, nz=11, cell=1.3):
    """A surface on an (nx + 1) by (nz + 1) grid of points whose heights take four levels, one per block
    of 3 by 3 points: flat plateaus joined by slopes, the cells split along alternating diagonals."""
    rng = random.Random(seed)
    level = {(i, k): rng.choice([0.0, 1.5, 3.0, 4.5]) for i in range(nx // 3 + 1) for k in range(nz // 3 + 1)}
    points = [(i * cell, level[(i // 3, k // 3)], -k * cell) for k in range(nz + 1) for i in range(nx + 1)]
    triangles = []
    for k in range(nz):
        for i in range(nx):
            a, b, c, d = (k * (nx + 1) + i, k * (nx + 1) + i + 1, (k + 1) * (nx + 1) + i + 1,
                          (k + 1) * (nx + 1) + i)
            triangles += [(a, b, c), (a, c, d)] if (i + k + seed) % 2 else [(a, b, d), (b, c, d)]
    return points, triangles


def random_heights(seed, levels):
    rng = random.Random(seed)
    chosen = {}
    return lambda i, k: chosen.setdefault((i, k), rng.choice(levels))


PARTS = {
    "tab": lambda: [extrude([(0, 0), (60, 0), (60, 20), (40, 20), (40, 35), (0, 35)], 0, 30)],
    "housing_tab": lambda: [box(0, 0, 0, 70, 30, 40), box(20, 30, 0, 50, 45, 3)],
    "steps": lambda: [extrude([(0, 0), (60, 0), (60, 10), (45, 10), (45, 20), (30, 20), (30, 30), (0, 30)],
                              0, 25)],
    "recess": lambda: [extrude([(0, 0), (50, 0), (50, 30), (35, 30), (35, 18), (15, 18), (15, 30), (0, 30)],
                               0, 40)],
    "slot": lambda: [extrude([(0, 0), (50, 0), (50, 30), (28, 30), (28, 5), (22, 5), (22, 30), (0, 30)], 0, 20,
                             across_y=True)],
    "plates": lambda: [box(0, 0, 0, 60, 8, 40), box(20, 8, 0, 60, 16, 30), box(35, 16, 10, 60, 24, 30)],
    "stepped_field": lambda: [stepped_field(10, 8, 0.57, random_heights(2, [0.0, 0.3, 0.7, 1.1]))],
    "grid_field0": lambda: [grid_field(100)],
    "grid_field1": lambda: [grid_field(101)],
}


def write(path, bodies):
    """The bodies into one OBJ file, without object lines: kvhlr and the checker both weld it whole."""
    with open(path, "w") as out:
        base = 1
        for points, triangles in bodies:
            for p in points:
                out.write("v %.9g %.9g %.9g\n" % p)
            for t in triangles:
                out.write("f %d %d %d\n" % tuple(base + i for i in t))
            base += len(points)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out, names = sys.argv[1], sys.argv[2:] or list(PARTS)
    os.makedirs(out, exist_ok=True)
    for name in names:
        if name not in PARTS:
            sys.exit(f"edge_on_parts.py: no part named {name!r}; the parts: {', '.join(PARTS)}")
        write(os.path.join(out, name + ".obj"), PARTS[name]())


if __name__ == "__main__":
    main()
