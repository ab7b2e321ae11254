#!/usr/bin/env python3
"""Reads kvhlr's sheets back: a 100 mm cube in front, top, right and iso views at 1:2 on A4 as SVG (page
size, view layers, aligned views, edges 50 mm long, pens per kind, numbered layers, the scale in the
title), as DXF (ezdxf's audit, units, lineweights, line types, the same 50 mm), as PDF pages (pdfinfo),
from standard input to standard output, and the pen's travel in plotter order against the library's."""

import math
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import ezdxf

SVG = "{http://www.w3.org/2000/svg}"
INKSCAPE = "{http://www.inkscape.org/namespaces/inkscape}"
VIEWS = ["front", "top", "right", "iso"]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


def run(kvhlr, *args, stdin=None):
    result = subprocess.run([kvhlr, "--quiet", *args], input=stdin, capture_output=True)
    expect(result.returncode == 0, "kvhlr %s exited with %d: %s" % (" ".join(args), result.returncode, result.stderr))
    return result.stdout


def cube_obj(side, corner=(10, 20, 30)):
    x0, y0, z0 = corner
    vertices = ["v %g %g %g" % (x0 + side * (i & 1), y0 + side * (i >> 1 & 1), z0 + side * (i >> 2 & 1)) for i in range(8)]
    quads = [(1, 3, 4, 2), (5, 6, 8, 7), (1, 2, 6, 5), (3, 7, 8, 4), (1, 5, 7, 3), (2, 4, 8, 6)]
    faces = ["f %d %d %d\nf %d %d %d" % (a, b, c, a, c, d) for a, b, c, d in quads]
    return "\n".join(vertices + faces) + "\n"


def points(element):
    return [tuple(float(v) for v in pair.split(",")) for pair in element.get("points").split()]


def box(elements):
    xs = [x for e in elements for x, _ in points(e)]
    ys = [y for e in elements for _, y in points(e)]
    return min(xs), min(ys), max(xs), max(ys)


def close(a, b):
    return abs(a - b) < 1e-6


def check_svg(path):
    root = ET.parse(path).getroot()
    # The views with the iso view in their upper right corner are taller than wide: A4 upright.
    expect((root.get("width"), root.get("height"), root.get("viewBox")) == ("210mm", "297mm", "0 0 210 297"),
           "not an upright A4 page: %s x %s" % (root.get("width"), root.get("height")))
    views = {g.get("id"): g for g in root if g.get("id", "").startswith("view-")}
    expect(list(views) == ["view-" + v for v in VIEWS], "view layers %s" % list(views))
    outlines, pens = {}, {}
    for view in VIEWS:
        for layer in views["view-" + view]:
            label = layer.get(INKSCAPE + "label")
            match = re.fullmatch(r"(\d+)-%s-([a-z-]+)" % view, label)
            expect(match and layer.get(INKSCAPE + "groupmode") == "layer", "layer %s of %s" % (label, view))
            number, kind = match.groups()
            pen = (layer.get("stroke-width"), layer.get("stroke-dasharray"))
            expect(pens.setdefault(number, pen) == pen, "pen %s is %s and %s" % (number, pens[number], pen))
            expected = {"hidden": ("0.3", "2 1"), "tangent": ("0.25", None), "hatching": ("0.25", None),
                        "section": ("0.7", None)}
            expect(pen == expected.get(kind, ("0.5", None)), "%s drawn with %s" % (label, pen))
            if kind == "silhouettes":
                outlines[view] = box(list(layer))
    # The cube's layers: visible and hidden lines; none for tangent edges, hatching or a section's outline,
    # which it has not, yet the hidden lines keep their pen's number.
    expect(pens == {"1": ("0.3", "2 1"), "2": ("0.5", None)}, "the pens %s: one hidden, one visible" % pens)
    for view in ("front", "top", "right"):
        left, top, right, bottom = outlines[view]
        expect(close(right - left, 50) and close(bottom - top, 50), "a 100 mm cube's %s view at 1:2 measures %g x %g mm"
               % (view, right - left, bottom - top))
    front, top, side = outlines["front"], outlines["top"], outlines["right"]
    expect(close(front[0], top[0]) and close(front[2], top[2]), "front and top views do not share x")
    expect(close(front[1], side[1]) and close(front[3], side[3]), "front and side views do not share y")
    expect(top[3] < front[1] and side[0] > front[2], "third angle puts the top view above, the right view right")
    titles = [t.text for t in root.iter(SVG + "text")]
    expect("Scale 1:2" in titles and "cube" in titles, "title block %s" % titles)


def pen_up_travel(path):
    """From the page's lower left corner through every polyline in the order written."""
    root = ET.parse(path).getroot()
    pen = (0.0, float(root.get("height")[:-2]))
    travel = 0.0
    for element in root.iter(SVG + "polyline"):
        line = points(element)
        travel += math.dist(pen, line[0])
        pen = line[-1]
    return travel


def check_dxf(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    expect(not auditor.has_errors and not auditor.has_fixes, "audit: %s %s" % (
        [e.message for e in auditor.errors], [f.message for f in auditor.fixes]))
    expect(doc.header["$INSUNITS"] == 4 and doc.header["$MEASUREMENT"] == 1, "units are not millimetres")
    layers = {layer.dxf.name: layer for layer in doc.layers}
    # The front view of a cube hides nothing: it has no hidden layer, the iso view has.
    expect("1-front-hidden" not in layers, "an empty layer")
    hidden = layers["1-iso-hidden"]
    expect(hidden.dxf.lineweight == 30 and layers["2-front-silhouettes"].dxf.lineweight == 50, "lineweights")
    pattern = doc.linetypes.get(hidden.dxf.linetype).pattern_tags.tags
    expect([t.value for t in pattern if t.code == 49] == [2.0, -1.0], "the hidden line type's pattern")
    hidden_lines = [e for e in doc.modelspace() if e.dxf.layer == "1-iso-hidden"]
    expect(hidden_lines and all(e.dxf.flags & 128 for e in hidden_lines), "dashes restart at every vertex")
    outline = [e for e in doc.modelspace() if e.dxf.layer == "2-front-silhouettes"]
    xs = [p[0] for e in outline for p in e.get_points("xy")]
    ys = [p[1] for e in outline for p in e.get_points("xy")]
    expect(close(max(xs) - min(xs), 50) and close(max(ys) - min(ys), 50), "the front view in the DXF is not 50 mm")


def pdf_pages(path):
    info = subprocess.run(["pdfinfo", "-f", "1", "-l", "9", path], capture_output=True, text=True).stdout
    return re.findall(r"Page +\d+ size: +([\d.]+) x ([\d.]+) pts", info)


def main():
    kvhlr = sys.argv[1]
    with tempfile.TemporaryDirectory() as directory:
        def path(name):
            return os.path.join(directory, name)
        for name, side in (("cube", 100), ("block", 300)):
            with open(path(name + ".obj"), "w") as f:
                f.write(cube_obj(side))
        sheet = ["--views", ",".join(VIEWS), "--paper", "A4", "--scale", "1:2", "--hidden", "--style", "drafting",
                 "--line", "hidden=0.3:2,1"]
        run(kvhlr, path("cube.obj"), "-o", path("cube.svg"), *sheet)
        check_svg(path("cube.svg"))
        run(kvhlr, path("cube.obj"), "-o", path("cube.dxf"), *sheet)
        check_dxf(path("cube.dxf"))

        run(kvhlr, path("cube.obj"), path("block.obj"), "-o", path("both.pdf"), "--views", "front,top", "--paper", "A4")
        expect(pdf_pages(path("both.pdf")) == [("595.276", "841.89")] * 2, "pages %s" % pdf_pages(path("both.pdf")))
        with open(path("cube.obj"), "rb") as f:
            piped = run(kvhlr, "-", "--format", "pdf", "--paper", "A3", "--orientation", "portrait", stdin=f.read())
        expect(piped.startswith(b"%PDF"), "standard output holds no PDF")

        for order in ("plotter", "library"):
            run(kvhlr, "--demo", "--views", "front,top,iso", "--order", order, "-o", path(order + ".svg"))
        plotter, library = pen_up_travel(path("plotter.svg")), pen_up_travel(path("library.svg"))
        expect(plotter <= library, "the pen travels %g mm in plotter order, %g mm as drawn" % (plotter, library))
        print("pen-up travel of the demo sheet: %.0f mm as drawn, %.0f mm in plotter order" % (library, plotter))
    print("sheets read back")


if __name__ == "__main__":
    main()
