#!/usr/bin/env python3
"""Reads kvhlr's SVG output with an XML parser and checks it against the JSON drawing of the same run:
one layer group per line kind, one element per line, the points with y negated, all inside the view box."""

import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
INKSCAPE = "{http://www.inkscape.org/namespaces/inkscape}"
LAYER_KIND = {"hidden": 1, "silhouettes": 0, "convex-sharp": 3, "concave-sharp": 2, "other-visible": 5}


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(kvhlr, *args):
    result = subprocess.run([kvhlr, "--demo", "--quiet", *args], capture_output=True, text=True)
    if result.returncode != 0:
        fail("kvhlr %s exited with %d: %s" % (" ".join(args), result.returncode, result.stderr))


def polyline_points(element):
    return [tuple(float(v) for v in pair.split(",")) for pair in element.get("points").split()]


def check(svg_path, drawing, segments):
    root = ET.parse(svg_path).getroot()
    if root.tag != SVG + "svg":
        fail("root element is %s" % root.tag)
    for size in ("width", "height"):
        if not root.get(size, "").endswith("mm"):
            fail("%s is not in millimetres" % size)
    left, top, width, height = (float(v) for v in root.get("viewBox").split())
    layers = [g for g in root if g.tag == SVG + "g"]
    if [g.get("id") for g in layers] != list(LAYER_KIND):
        fail("layer groups %s" % [g.get("id") for g in layers])
    lines_by_kind = {}
    for line in drawing["lines"]:
        lines_by_kind.setdefault(line["kind"], []).append(line["points"])
    for group in layers:
        if group.get(INKSCAPE + "groupmode") != "layer" or not group.get(INKSCAPE + "label"):
            fail("group %s is not a labelled layer" % group.get("id"))
        kind = LAYER_KIND[group.get("id")]
        expected = lines_by_kind.get(kind, [])
        dashed_by_style = group.get("stroke-dasharray") is not None
        if dashed_by_style != (kind == 1 and not segments):
            fail("group %s: dash style present: %s" % (group.get("id"), dashed_by_style))
        children = list(group)
        if len(children) != len(expected):
            fail("group %s holds %d elements for %d lines" % (group.get("id"), len(children), len(expected)))
        if kind == 1 and segments:
            if any(e.tag != SVG + "path" or not e.get("d").startswith("M") for e in children):
                fail("a hidden line is not a dash path")
            continue
        # Runs may hand the same lines over in different orders: compare them as sorted lists.
        scale = max(width, height)
        def key(points):
            return tuple((round(x / scale, 7), round(y / scale, 7)) for x, y in points)
        drawn = sorted(key(polyline_points(e)) for e in children)
        wanted = sorted(key((x, -y) for x, y in points) for points in expected)
        if drawn != wanted:
            fail("group %s does not hold the drawing's lines with y negated" % group.get("id"))
        for x, y in (p for e in children for p in polyline_points(e)):
            if not (left <= x <= left + width and top <= y <= top + height):
                fail("point (%g, %g) outside the view box" % (x, y))
    if not lines_by_kind.get(1) or not lines_by_kind.get(0):
        fail("the demo lacks hidden lines or silhouettes")


def main():
    kvhlr = sys.argv[1]
    with tempfile.TemporaryDirectory() as directory:
        paths = {name: os.path.join(directory, name) for name in ("demo.json", "demo.svg", "dashes.svg")}
        run(kvhlr, "-o", paths["demo.json"])
        run(kvhlr, "-o", paths["demo.svg"])
        run(kvhlr, "-o", paths["dashes.svg"], "--dashes", "segments")
        with open(paths["demo.json"]) as f:
            drawing = json.load(f)
        check(paths["demo.svg"], drawing, segments=False)
        check(paths["dashes.svg"], drawing, segments=True)
    print("SVG output reads back")


if __name__ == "__main__":
    main()
