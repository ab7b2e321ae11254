"""Views that look exactly along a face: kvhlr's exact hiding must draw each line as the views turned by a
hair either way draw it. Every part of tests/checker/edge_on_parts.py is drawn in the six principal views
and in views turned by +-0.01 degrees about the screen's x and y axes; a line visible in both turned
views of a pair must be visible in the exact view, and one hidden in both must be hidden there.

The kvhlr tool draws (KVHLR_BINARY), so that any build of it can be put to the test."""

import json
import math
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "checker"))
import edge_on_parts  # noqa: E402

KVHLR = os.environ.get("KVHLR_BINARY")
TURN = math.radians(0.01)
VIEWS = ("front", "back", "left", "right", "top", "bottom")

pytestmark = pytest.mark.skipif(not KVHLR, reason="KVHLR_BINARY is not set")


def draw(mesh, out, *options):
    subprocess.run([KVHLR, str(mesh), "--hidden", "--quiet", "--hide-test", "exact", "-o", str(out), *options],
                   check=True)
    return json.loads(out.read_text())


def turned_camera(drawing, axis, angle):
    """The drawing's camera turned about the screen's x (axis 0) or y (axis 1) axis through the point
    halfway between the near and far planes."""
    c, s = math.cos(angle), math.sin(angle)
    turn = np.eye(4)
    i, j = (1, 2) if axis == 0 else (2, 0)
    turn[i, i], turn[i, j], turn[j, i], turn[j, j] = c, -s, s, c
    to_centre = np.eye(4)
    to_centre[2, 3] = (drawing["near"] + drawing["far"]) / 2
    model_view = np.linalg.inv(to_centre) @ turn @ to_centre @ np.array(drawing["modelView"]).reshape(4, 4)
    return {"modelView": model_view.reshape(-1).tolist(), "projection": drawing["projection"],
            "near": drawing["near"], "far": drawing["far"]}


def segments(drawing, hidden):
    """The drawing's visible (or hidden) lines as rows a.x a.y b.x b.y."""
    rows = [np.concatenate([a, b]) for line in drawing["lines"] if (line["kind"] == 1) == hidden
            for a, b in zip(line["points"][:-1], line["points"][1:])]
    return np.array(rows, float).reshape(-1, 4)


def samples(rows, step, shortest):
    """Points every `step` along the segments, each with its segment's unit direction (x y dx dy). Segments
    shorter than `shortest` are left out: a turned view sees an edge along the direction of view as such."""
    out = []
    for row in rows:
        a, b = row[:2], row[2:]
        size = np.linalg.norm(b - a)
        if size < shortest:
            continue
        t = (np.arange(max(1, int(size / step))) + 0.5) / max(1, int(size / step))
        out.append(np.hstack([a + t[:, None] * (b - a), np.tile((b - a) / size, (len(t), 1))]))
    return np.concatenate(out) if out else np.zeros((0, 4))


def near(points, rows, tolerance):
    """Whether each sample lies within tolerance of a segment running its way (a line crossing it is no
    match)."""
    if len(points) == 0 or len(rows) == 0:
        return np.zeros(len(points), bool)
    a, d = rows[:, :2], rows[:, 2:] - rows[:, :2]
    squared = np.maximum((d * d).sum(1), 1e-300)
    unit = d / np.sqrt(squared)[:, None]
    found = np.zeros(len(points), bool)
    for k in range(0, len(points), 256):  # 256 samples against every segment at a time
        p, u = points[k:k + 256, None, :2], points[k:k + 256, None, 2:]
        t = np.clip(((p - a) * d).sum(2) / squared, 0, 1)
        close = ((p - (a + t[..., None] * d)) ** 2).sum(2) <= tolerance * tolerance
        found[k:k + 256] = (close & (np.abs(u[..., 0] * unit[:, 1] - u[..., 1] * unit[:, 0]) < 0.2)).any(1)
    return found


def disagreements(exact, pair, tolerance):
    """Samples of one turned view that both turned views draw alike and the exact view does not: visible
    ones it leaves out or draws hidden, hidden ones it draws visible or leaves out."""
    found = []
    for one, other in (pair, pair[::-1]):
        one_visible, one_hidden = segments(one, False), segments(one, True)
        visible = samples(one_visible, tolerance, 3 * tolerance)
        visible = visible[near(visible, segments(other, False), tolerance)]
        found += visible[~near(visible, segments(exact, False), tolerance)].tolist()
        # Hidden lines under visible ones are not asked for.
        hidden = samples(one_hidden, tolerance, 3 * tolerance)
        hidden = hidden[~near(hidden, one_visible, tolerance)]
        hidden = hidden[near(hidden, segments(other, True), tolerance) & ~near(hidden, segments(other, False),
                                                                                tolerance)]
        found += hidden[near(hidden, segments(exact, False), tolerance) |
                        ~near(hidden, segments(exact, True), tolerance)].tolist()
    return found


@pytest.mark.parametrize("part", edge_on_parts.PARTS)
def test_exact_views_draw_what_both_turned_views_draw(part, tmp_path):
    edge_on_parts.write(tmp_path / "part.obj", edge_on_parts.PARTS[part]())
    faults = []
    for view in VIEWS:
        exact = draw(tmp_path / "part.obj", tmp_path / f"{view}.json", "--view", view)
        points = np.concatenate([line["points"] for line in exact["lines"]])
        tolerance = 2e-3 * np.ptp(points, axis=0).max()
        for axis in (0, 1):
            pair = []
            for sign in (1, -1):
                camera = tmp_path / f"{view}_{axis}_{sign}.camera.json"
                camera.write_text(json.dumps(turned_camera(exact, axis, sign * TURN)))
                pair.append(draw(tmp_path / "part.obj", tmp_path / f"{view}_{axis}_{sign}.json", "--camera",
                                 str(camera)))
            wrong = disagreements(exact, pair, tolerance)
            if wrong:
                faults.append(f"{view}, turned about the screen's {'xy'[axis]} axis: {len(wrong)} samples, "
                              f"e.g. {wrong[0][:2]}")
    assert not faults, "\n".join(faults)
