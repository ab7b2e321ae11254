#!/usr/bin/env python3
"""Reads kvhlr's fitted SVG output with an XML parser and checks it against the JSON drawing of the same
run: the page 200 mm on its longer side, one numbered layer per line kind, one polyline per line (or per
dash with --dashes segments), the drawing's points carried onto the page, all on the page."""

import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
INKSCAPE = "{http://www.inkscape.org/namespaces/inkscape}"
VISIBLE_SILHOUETTE, HIDDEN, VISIBLE_CONCAVE_SHARP, VISIBLE_CONVEX_SHARP, OTHER_VISIBLE, VISIBLE_INTERSECTION = \
    0, 1, 2, 3, 5, 6  # the line kinds of the JSON drawing (kelvar_hlr.Kind)
SECTION_OUTLINE, HATCHING = 7, 8  # a section view's
VISIBLE_TANGENT = 9
LAYER_KIND = {"hidden": HIDDEN, "silhouettes": VISIBLE_SILHOUETTE, "convex-sharp": VISIBLE_CONVEX_SHARP,
              "concave-sharp": VISIBLE_CONCAVE_SHARP, "other-visible": OTHER_VISIBLE,
              "intersections": VISIBLE_INTERSECTION, "tangent": VISIBLE_TANGENT, "hatching": HATCHING,
              "section": SECTION_OUTLINE}


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(kvhlr, *args):
    result = subprocess.run([kvhlr, "--demo", "--quiet", *args], capture_output=True, text=True)
    if result.returncode != 0:
        fail("kvhlr %s exited with %d: %s" % (" ".join(args), result.returncode, result.stderr))


def polyline_points(element):
    return [tuple(float(v) for v in pair.split(",")) for pair in element.get("points").split()]


def page_map(drawing, page_height):
    """The fitted page's map from the drawing plane to SVG's millimetres (y down)."""
    xs = [p[0] for line in drawing["lines"] for p in line["points"]]
    ys = [p[1] for line in drawing["lines"] for p in line["points"]]
    side = max(max(xs) - min(xs), max(ys) - min(ys))
    margin = 0.02 * side
    mm = 200 / (side + 2 * margin)
    return lambda x, y: ((x - min(xs) + margin) * mm, page_height - (y - min(ys) + margin) * mm)


def same_line(a, b):
    """Equal to a micrometre, whichever way each is drawn."""
    def close(p, q):
        return len(p) == len(q) and all(abs(x - u) < 1e-3 and abs(y - v) < 1e-3 for (x, y), (u, v) in zip(p, q))
    return close(a, b) or close(a, b[::-1])


def check(svg_path, drawing, segments):
    root = ET.parse(svg_path).getroot()
    if root.tag != SVG + "svg":
        fail("root element is %s" % root.tag)
    width, height = (float(root.get(size).removesuffix("mm")) for size in ("width", "height"))
    if abs(max(width, height) - 200) > 1e-6 or root.get("viewBox").split() != ["0", "0", root.get("width")[:-2], root.get("height")[:-2]]:
        fail("the page is %s x %s, view box %s" % (width, height, root.get("viewBox")))
    layers = [g for g in root if g.tag == SVG + "g"]
    lines_by_kind = {}
    for line in drawing["lines"]:
        lines_by_kind.setdefault(line["kind"], []).append(line["points"])
    # A layer for each kind the drawing holds, in the writers' order, and none that would be empty.
    if [g.get("id") for g in layers] != [layer for layer, kind in LAYER_KIND.items() if kind in lines_by_kind]:
        fail("layer groups %s" % [g.get("id") for g in layers])
    to_page = page_map(drawing, height)
    for group in layers:
        label = group.get(INKSCAPE + "label")
        if group.get(INKSCAPE + "groupmode") != "layer" or not label.split("-")[0].isdigit():
            fail("group %s is not a layer with a numbered label: %s" % (group.get("id"), label))
        kind = LAYER_KIND[group.get("id")]
        expected = lines_by_kind.get(kind, [])
        dashed_by_style = group.get("stroke-dasharray") is not None
        if dashed_by_style != (kind == HIDDEN and not segments):
            fail("group %s: dash style present: %s" % (group.get("id"), dashed_by_style))
        children = list(group)
        for x, y in (p for e in children for p in polyline_points(e)):
            if not (0 <= x <= width and 0 <= y <= height):
                fail("point (%g, %g) off the page" % (x, y))
        if kind == HIDDEN and segments:
            if len(children) <= len(expected):
                fail("%d hidden lines cut into only %d dashes" % (len(expected), len(children)))
            continue
        drawn = [polyline_points(e) for e in children]
        for points in expected:
            wanted = [to_page(x, y) for x, y in points]
            match = next((i for i, line in enumerate(drawn) if same_line(line, wanted)), None)
            if match is None:
                fail("group %s lacks a line of the drawing, carried onto the page" % group.get("id"))
            del drawn[match]
        if drawn:
            fail("group %s holds %d lines more than the drawing" % (group.get("id"), len(drawn)))
    if not lines_by_kind.get(HIDDEN) or not lines_by_kind.get(VISIBLE_SILHOUETTE):
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
