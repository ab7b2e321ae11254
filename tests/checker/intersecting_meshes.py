"""Writes the meshes of the checker cases where surfaces cross or rest on each other into data/:

    intersecting_meshes.py [OUT_DIR]

Each file opens with a comment saying what it shows. Every body is closed and wound outward; the ones
that cross are turned off the axes so that, in the principal views too, the lines where they meet are
seen at an angle rather than edge-on. Coordinates are written with nine significant digits, all that
single precision holds.
"""

import math
import os
import sys


class Mesh:
    def __init__(self):
        self.points, self.triangles = [], []

    def add(self, points, triangles):
        base = len(self.points)
        self.points += points
        self.triangles += [tuple(base + i for i in t) for t in triangles]

    def write(self, path, comment):
        with open(path, "w") as out:
            for line in comment.strip().splitlines():
                out.write("# " + line + "\n")
            for p in self.points:
                out.write("v " + " ".join("%.9g" % c for c in p) + "\n")
            for t in self.triangles:
                out.write("f " + " ".join(str(i + 1) for i in t) + "\n")


def turned(p, x_degrees=0.0, y_degrees=0.0, z_degrees=0.0):
    """p turned about x, then y, then z."""
    x, y, z = p
    a = math.radians(x_degrees)
    y, z = y * math.cos(a) - z * math.sin(a), y * math.sin(a) + z * math.cos(a)
    a = math.radians(y_degrees)
    x, z = x * math.cos(a) + z * math.sin(a), -x * math.sin(a) + z * math.cos(a)
    a = math.radians(z_degrees)
    x, y = x * math.cos(a) - y * math.sin(a), x * math.sin(a) + y * math.cos(a)
    return (x, y, z)


def moved(offset, **turns):
    """What moves a point by `turns` (as turned() takes them) and then by `offset`."""
    return lambda p: tuple(a + b for a, b in zip(turned(p, **turns), offset))


def box(size, place=lambda p: p):
    """A box of the given side lengths centred on the origin, its corners moved by `place`."""
    sx, sy, sz = (s / 2 for s in size)
    corners = [place((x, y, z)) for x in (-sx, sx) for y in (-sy, sy) for z in (-sz, sz)]
    # Corner i has x = bit 2, y = bit 1, z = bit 0; each face wound counter-clockwise from outside.
    faces = [(0, 1, 3, 2), (4, 6, 7, 5), (0, 4, 5, 1), (2, 3, 7, 6), (0, 2, 6, 4), (1, 5, 7, 3)]
    return corners, [t for a, b, c, d in faces for t in ((a, b, c), (a, c, d))]


def ring_tube(centres, radius, sides, closed):
    """A tube of `sides` faces around a path; an open one gets flat caps at its ends."""
    count = len(centres)
    points, triangles = [], []
    for k, c in enumerate(centres):
        if closed:
            ahead, behind = centres[(k + 1) % count], centres[k - 1]
        else:
            ahead, behind = centres[min(k + 1, count - 1)], centres[max(k - 1, 0)]
        t = [a - b for a, b in zip(ahead, behind)]
        # Across the path: horizontal (y is up), then the third axis.
        n1 = (t[2], 0.0, -t[0])
        size = math.hypot(n1[0], n1[2])
        n1 = tuple(v / size for v in n1)
        n2 = (n1[1] * t[2] - n1[2] * t[1], n1[2] * t[0] - n1[0] * t[2], n1[0] * t[1] - n1[1] * t[0])
        size = math.sqrt(sum(v * v for v in n2))
        n2 = tuple(v / size for v in n2)
        for s in range(sides):
            a = 2 * math.pi * s / sides
            across = [math.cos(a) * u + math.sin(a) * v for u, v in zip(n1, n2)]
            points.append(tuple(p + radius * q for p, q in zip(c, across)))
    # Each ring turns from n1 to n2, so these windings face away from the path.
    for k in range(count if closed else count - 1):
        r0, r1 = k * sides, (k + 1) % count * sides
        for s in range(sides):
            a, b, c, d = r0 + s, r0 + (s + 1) % sides, r1 + (s + 1) % sides, r1 + s
            triangles += [(a, c, b), (a, d, c)]
    if not closed:
        for ring, centre, flip in ((0, centres[0], True), (count - 1, centres[-1], False)):
            middle = len(points)
            points.append(centre)
            for s in range(sides):
                a, b = ring * sides + s, ring * sides + (s + 1) % sides
                triangles.append((middle, a, b) if flip else (middle, b, a))
    return points, triangles


def cylinder_through_plate():
    mesh = Mesh()
    mesh.add(*box((4, 0.4, 3), lambda p: turned(p, x_degrees=20, z_degrees=5)))
    axis, centre = turned((0, 1, 0), x_degrees=-10, z_degrees=25), (0.2, 0, 0.1)
    ends = [tuple(c + s * a for c, a in zip(centre, axis)) for s in (-1.6, 1.6)]
    mesh.add(*ring_tube(ends, 0.6, 24, closed=False))
    return mesh, """
A cylinder (24 sides) through a plate, both turned off the axes (y up): where its side crosses the
plate's top and bottom faces it makes two closed loops, in front of the cylinder seen, behind it hidden.
"""


def boxes_pushed_together():
    mesh = Mesh()
    mesh.add(*box((2, 1.2, 1.6)))
    mesh.add(*box((1.4, 1, 1.2), moved((0.5, 0.75, 0.1), x_degrees=10, y_degrees=30)))
    return mesh, """
Two boxes pushed into each other (y up), the second turned about two axes and coming out of the first's
top and side: the lines where their faces cross run over faces of both, not along any edge.
"""


def box_on_plate():
    mesh = Mesh()
    mesh.add(*box((4, 0.4, 3)))
    mesh.add(*box((1.2, 1, 1), moved((0.1, 0.7, 1.3), y_degrees=20)))
    return mesh, """
A box resting on a plate (y up), turned about the vertical and reaching over the plate's front edge: its
bottom lies on the plate's top and the plate's front edge runs along its bottom. Surfaces only touch,
in a plane and along drawn edges, so there is no line where they meet.
"""


def folded_tube():
    sides, steps, size, rise = 12, 96, 2.0, 0.1
    centres = []
    for k in range(steps):
        t = 2 * math.pi * (k + 0.37) / steps  # off the two crossings, so no ring lies at one
        d = 1 + math.sin(t) ** 2
        centres.append((size * math.cos(t) / d, rise * math.sin(t), size * math.sin(t) * math.cos(t) / d))
    mesh = Mesh()
    mesh.add(*ring_tube(centres, 0.3, sides, closed=True))
    return mesh, """
One closed tube (12 sides, radius 0.3, y up) along a figure of eight whose two passes through the
middle lie only 0.2 apart: the mesh passes through itself there.
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "data")
    for make in (cylinder_through_plate, boxes_pushed_together, box_on_plate, folded_tube):
        mesh, comment = make()
        mesh.write(os.path.join(out, make.__name__ + ".obj"), comment)


if __name__ == "__main__":
    main()
