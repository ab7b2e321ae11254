#!/usr/bin/env python3
"""Draws section sheets of the example models with kvhlr (several view sets, papers, scales, both
projection methods, a plan) as SVG and measures, on each, that every cutting-plane mark and every text
off the title block keeps at least 1 mm from every other text, from the lines of every view (a mark
from those of other views: its own chain line crosses its view), from the frame and the title block.
Also that a section looking as a principal view does shares the heights (or widths) of the views in
line with it. Usage: check_clearance.py KVHLR MODELS [--cad]"""

import math
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
CLEAR_MM = 1.0
EM_PER_CAPITAL = 0.75  # a sans-serif capital's width, at most about, in font sizes (em)

SECTION_SHEETS = [
    ["bunny.obj", "--views", "front,top,right,section:A", "--section", "left", "--paper", "A3"],
    ["bunny.obj", "--views", "front,top,section:B", "--section", "front", "--paper", "A4", "--projection", "first"],
    ["--demo", "--views", "front,top,section:A", "--plan", "5", "--paper", "A3"],
    ["--demo", "--views", "front,top,right,iso,section:A", "--section", "right", "--paper", "A4"],
    ["--demo", "--views", "top,front,section:C", "--section", "front", "--scale", "1:2"],
    ["--demo", "--views", "front,left,section:A", "--section", "top"],
    ["regr01_house.obj", "--up-axis", "z", "--units", "cm", "--views", "front,top,left,section:A", "--plan", "100",
     "--paper", "A3"],
    ["sphere_with_hole.obj", "--views", "front,top,right,section:A", "--section-point", "1.5,1.5,1.5",
     "--section-normal", "1,1,0", "--paper", "A4", "--projection", "first"],
    ["teapots.obj", "--views", "front,top,section:A", "--section", "top", "--paper", "letter"],
]
CAD_SHEETS = [
    ["bracket.step", "--views", "front,top,right,section:A", "--section", "left", "--paper", "A3"],
    ["bracket.step", "--views", "front,top,right,section:A", "--section", "left", "--paper", "A2"],
    ["bracket.step", "--views", "front,right,section:A", "--section", "top", "--paper", "A4", "--hidden"],
]

# Sheets with room for the section's view in the projection.
IN_PROJECTION = ["--demo --views front,top,section:A --plan 5 --paper A3",
                 "bracket.step --views front,top,right,section:A --section left --paper A2"]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def segment_distance(p, q, a, b):
    """The least distance between segments pq and ab."""
    def point_to_segment(x, s, t):
        dx, dy = t[0] - s[0], t[1] - s[1]
        length2 = dx * dx + dy * dy
        u = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x[0] - s[0]) * dx + (x[1] - s[1]) * dy) / length2))
        return math.hypot(x[0] - s[0] - u * dx, x[1] - s[1] - u * dy)

    def side(o, s, t):
        return (s[0] - o[0]) * (t[1] - o[1]) - (s[1] - o[1]) * (t[0] - o[0])

    if side(p, q, a) * side(p, q, b) < 0 and side(a, b, p) * side(a, b, q) < 0:
        return 0.0
    return min(point_to_segment(p, a, b), point_to_segment(q, a, b), point_to_segment(a, p, q),
               point_to_segment(b, p, q))


def box_edges(box):
    x0, y0, x1, y1 = box
    corners = [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
    return [(corners[i], corners[(i + 1) % 4]) for i in range(4)]


def inside(point, box):
    return box[0] <= point[0] <= box[2] and box[1] <= point[1] <= box[3]


def box_to_segment(box, a, b):
    if inside(a, box) or inside(b, box):
        return 0.0
    return min(segment_distance(p, q, a, b) for p, q in box_edges(box))


def boxes_apart(a, b):
    dx = max(0.0, max(a[0], b[0]) - min(a[2], b[2]))
    dy = max(0.0, max(a[1], b[1]) - min(a[3], b[3]))
    return math.hypot(dx, dy)


class Sheet:
    """The SVG sheet's layers (view, name, segments) and texts (view, box), in page millimetres."""

    def __init__(self, path):
        root = ET.parse(path).getroot()
        self.width = float(root.get("width")[:-2])
        self.layers = []
        self.texts = []
        for group in root.iter(SVG + "g"):
            view = group.get("id")[5:] if group.get("id", "").startswith("view-") else None
            if view is None and group.get("id") != "title":
                continue
            for layer in ([group] if view is None else group.findall(SVG + "g")):
                segments = []
                for line in layer.findall(SVG + "polyline"):
                    points = [tuple(map(float, pair.split(","))) for pair in line.get("points").split()]
                    segments += list(zip(points, points[1:]))
                self.layers.append((view or "", layer.get("id"), segments))
                for text in layer.findall(SVG + "text"):
                    size = float(text.get("font-size"))
                    x, y = float(text.get("x")), float(text.get("y"))  # baseline start, y down
                    width = EM_PER_CAPITAL * size * len(text.text)
                    self.texts.append((view or "", text.text, (x, y - 0.72 * size, x + width, y)))

    def views_box(self, view):
        """The box of a view's model lines: without its marks, and without its centre lines, which reach
        past the outline where a view has them."""
        points = [p for v, name, segments in self.layers
                  if v == view and "cutting-plane" not in name and "centre" not in name
                  for s in segments for p in s]
        xs, ys = [p[0] for p in points], [p[1] for p in points]
        return min(xs), min(ys), max(xs), max(ys)


def check(sheet, label):
    frame = [s for v, name, segments in sheet.layers if name == "title" for s in segments]
    if frame:  # the frame holds the title block: every mark and text lies inside it
        xs = [p[0] for s in frame for p in s]
        ys = [p[1] for s in frame for p in s]
        inner = (min(xs) + CLEAR_MM, min(ys) + CLEAR_MM, max(xs) - CLEAR_MM, max(ys) - CLEAR_MM)
    marks = [(v, name, s) for v, name, segments in sheet.layers if "cutting-plane" in name for s in segments]
    texts = [t for t in sheet.texts if t[0]]
    for view, text, box in texts:
        if frame and not (inside(box[:2], inner) and inside(box[2:], inner)):
            fail("%s: '%s' of %s leaves the frame" % (label, text, view))
        for other in sheet.texts:
            if other[2] is not box and boxes_apart(box, other[2]) < CLEAR_MM:
                fail("%s: '%s' of %s is %.2f mm from '%s' of %s" %
                     (label, text, view, boxes_apart(box, other[2]), other[1], other[0]))
        for v, name, segments in sheet.layers:
            for a, b in segments:
                if box_to_segment(box, a, b) < CLEAR_MM:
                    fail("%s: '%s' of %s is %.2f mm from a line of %s" % (label, text, view, box_to_segment(box, a, b), name))
    for view, name, (p, q) in marks:
        if frame and not (inside(p, inner) and inside(q, inner)):
            fail("%s: a mark of %s leaves the frame" % (label, name))
        for v, other, segments in sheet.layers:
            if v == view and ("cutting-plane" in other or name.endswith("cutting-plane")):
                continue  # a mark's own pieces meet, and its chain line crosses its own view
            for a, b in segments:
                if segment_distance(p, q, a, b) < CLEAR_MM:
                    fail("%s: a mark of %s is %.2f mm from a line of %s" % (label, name, segment_distance(p, q, a, b), other))


def check_in_projection(sheet, label):
    """A section from the left stands left of the front view, its heights in line; a plan above the top
    view, its widths in line with the front view's."""
    section, front = sheet.views_box("section-A"), sheet.views_box("front")
    plan = "--plan" in label
    across, along = (0, 2) if plan else (1, 3)  # the coordinates that line up (SVG y runs down)
    if abs(section[across] - front[across]) > 0.01 or abs(section[along] - front[along]) > 0.01:
        fail("%s: the section's view %s is not in line with the front view %s" % (label, section, front))
    beyond = section[3] < sheet.views_box("top")[1] if plan else section[2] < front[0]
    if not beyond:
        fail("%s: the section's view %s is not where its sight puts it" % (label, section))


def main():
    kvhlr, models = sys.argv[1], sys.argv[2]
    sheets = SECTION_SHEETS + (CAD_SHEETS if "--cad" in sys.argv[3:] else [])
    with tempfile.TemporaryDirectory() as folder:
        for i, args in enumerate(sheets):
            args = [os.path.join(models, a) if a.endswith((".obj", ".step")) else a for a in args]
            path = os.path.join(folder, "sheet%d.svg" % i)
            result = subprocess.run([kvhlr, "--quiet", *args, "-o", path], capture_output=True, text=True)
            label = " ".join(sheets[i])
            if result.returncode != 0:
                fail("%s exited with %d: %s" % (label, result.returncode, result.stderr))
            sheet = Sheet(path)
            check(sheet, label)
            if label in IN_PROJECTION:
                check_in_projection(sheet, label)
            labels = [t for t in sheet.texts if t[1].startswith("SECTION")]
            if len(labels) != 1 or not any("cutting-plane" in name for _, name, _ in sheet.layers):
                fail("%s: expected one section label and a cutting-plane line" % label)
    # In projection: the bracket's section from the left on A2 stands left of the front view, heights
    # in line; the demo's plan above its top view, widths in line.
    print("%d passed, 0 failed" % len(sheets))


if __name__ == "__main__":
    main()
