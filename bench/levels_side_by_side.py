#!/usr/bin/env python3
"""Compares kvhlr's occlusion levels with another line renderer's, level range by level range, and prints a
Markdown table.

    bench/levels_side_by_side.py --kvhlr build/cli/kvhlr --peer PEER.sh [--levels 3] [--view iso]
        [--up-axis z] [--kvhlr-option=--sharp-angle=150] MESH.obj ...

For each mesh, kvhlr first draws it in the view asked for, and that drawing's camera is given to both. Then for
each deepest level L from 1 to --levels, kvhlr draws the hidden lines of levels 1 to L (`--hidden-levels L`)
and the peer draws its hidden lines of occlusion levels 1 to L (`sh PEER.sh MESH CAMERA OUT.json --hidden
--max-level L`, kind 1 in kvhlr's JSON drawing format). The table gives each one's hidden length and how much
of each lies within 0.2% of the drawing's size of the other's hidden lines (points every 0.1%): where the
two agree on the levels, both shares are near 1 at every L. A peer is not part of this repository: the
comparison is for our own measurements."""
import argparse
import json
import math
import os
import subprocess
import tempfile


def hidden_lines(path):
    with open(path) as f:
        drawing = json.load(f)
    return [line["points"] for line in drawing["lines"] if line["kind"] == 1 and len(line["points"]) >= 2]


def length(lines):
    return sum(math.dist(a, b) for line in lines for a, b in zip(line, line[1:]))


class SegmentGrid:
    """The segments of some lines, filed in square cells `reach` wide, for "is any within reach of p?"."""

    def __init__(self, lines, reach):
        self.reach = reach
        self.cells = {}
        for line in lines:
            for a, b in zip(line, line[1:]):
                lo = (min(a[0], b[0]) - reach, min(a[1], b[1]) - reach)
                hi = (max(a[0], b[0]) + reach, max(a[1], b[1]) + reach)
                for i in range(math.floor(lo[0] / reach), math.floor(hi[0] / reach) + 1):
                    for j in range(math.floor(lo[1] / reach), math.floor(hi[1] / reach) + 1):
                        self.cells.setdefault((i, j), []).append((a, b))

    def near(self, p):
        for a, b in self.cells.get((math.floor(p[0] / self.reach), math.floor(p[1] / self.reach)), ()):
            dx, dy = b[0] - a[0], b[1] - a[1]
            squared = dx * dx + dy * dy
            t = 0.0 if squared == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / squared))
            if math.dist(p, (a[0] + t * dx, a[1] + t * dy)) <= self.reach:
                return True
        return False


def covered_share(lines, other, reach, spacing):
    """The share of points every `spacing` along `lines` that lie within `reach` of `other`'s lines."""
    grid = SegmentGrid(other, reach)
    near = total = 0
    for line in lines:
        for a, b in zip(line, line[1:]):
            steps = max(1, math.ceil(math.dist(a, b) / spacing))
            for k in range(steps):
                t = (k + 0.5) / steps
                total += 1
                near += grid.near((a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])))
    return near / total if total else 1.0


def drawing_size(path):
    with open(path) as f:
        points = [p for line in json.load(f)["lines"] for p in line["points"]]
    if not points:
        return 1.0
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return max(max(xs) - min(xs), max(ys) - min(ys)) or 1.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kvhlr", required=True)
    parser.add_argument("--peer", required=True, help="the peer's script (sh PEER.sh MESH CAMERA OUT.json ...)")
    parser.add_argument("--levels", type=int, default=3, help="the deepest level range compared (1 to this)")
    parser.add_argument("--view", default="iso")
    parser.add_argument("--up-axis", choices=["y", "z"], default="y",
                        help="the meshes' vertical axis, for the view (the camera file then holds it)")
    parser.add_argument("--kvhlr-option", action="append", default=[], help="passed on to kvhlr (repeatable)")
    parser.add_argument("meshes", nargs="+")
    args = parser.parse_args()
    if args.levels < 1:
        parser.error("--levels must be 1 or more")

    print("| mesh | levels | kvhlr hidden length | peer hidden length | kvhlr near peer | peer near kvhlr |")
    print("|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        for mesh in args.meshes:
            name = os.path.splitext(os.path.basename(mesh))[0]
            camera = os.path.join(work, name + "_camera.json")
            subprocess.run([args.kvhlr, mesh, "--view", args.view, "--up-axis", args.up_axis, "--quiet", "-o",
                            camera] + args.kvhlr_option, check=True)
            size = drawing_size(camera)
            for level in range(1, args.levels + 1):
                ours = os.path.join(work, f"{name}_{level}_kvhlr.json")
                theirs = os.path.join(work, f"{name}_{level}_peer.json")
                subprocess.run([args.kvhlr, mesh, "--camera", camera, "--hidden-levels", str(level), "--quiet",
                                "-o", ours] + args.kvhlr_option, check=True)
                subprocess.run(["sh", args.peer, mesh, camera, theirs, "--hidden", "--max-level", str(level)],
                               check=True, capture_output=True)
                mine, peer = hidden_lines(ours), hidden_lines(theirs)
                reach, spacing = 2e-3 * size, 1e-3 * size
                print(f"| {name} | 1-{level} | {length(mine):.4g} | {length(peer):.4g} "
                      f"| {covered_share(mine, peer, reach, spacing):.3f} "
                      f"| {covered_share(peer, mine, reach, spacing):.3f} |", flush=True)


if __name__ == "__main__":
    main()
