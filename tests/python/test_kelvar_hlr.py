"""The kelvar_hlr module: drawings as the kvhlr tool makes them, clear errors, cancelling, threads and
meshes of a million triangles."""

import ast
import itertools
import json
import os
import pickle
import re
import signal
import subprocess
import sys
import threading
import time
import tracemalloc
import xml.etree.ElementTree as ET
from concurrent.futures import ProcessPoolExecutor, ThreadPoolExecutor
from pathlib import Path

import numpy as np
import pytest

import kelvar_hlr as kh

CUBE = os.path.join(os.environ["KVHLR_TEST_DATA"], "cube.obj")
KVHLR = os.environ.get("KVHLR_BINARY")
WRITE_CAD = os.environ.get("KVHLR_WRITE_CAD")
DEMO = kh._demo_mesh()
DEMO_ISO = kh.Camera.view("iso", DEMO[0])


def lines_of(drawing):
    return [(line.kind, line.points.tolist()) for line in drawing.lines]


def sphere(triangle_count):
    """A latitude-longitude sphere with a ring of vertices at each pole (degenerate triangles there)."""
    stacks = int(np.sqrt(triangle_count / 4))
    slices = 2 * stacks
    polar, azimuth = np.meshgrid(np.pi * np.arange(stacks + 1) / stacks,
                                 2 * np.pi * np.arange(slices) / slices, indexing="ij")
    vertices = np.stack([np.sin(polar) * np.cos(azimuth), np.sin(polar) * np.sin(azimuth), np.cos(polar)],
                        axis=-1).reshape(-1, 3)
    i, j = np.meshgrid(np.arange(stacks), np.arange(slices), indexing="ij")
    at = lambda i, j: i * slices + j % slices
    triangles = np.stack([np.stack([at(i, j), at(i + 1, j), at(i + 1, j + 1)], axis=-1),
                          np.stack([at(i, j), at(i + 1, j + 1), at(i, j + 1)], axis=-1)], axis=2)
    return vertices, triangles.reshape(-1, 3).astype(np.uint32)


def box_stack(layers):
    """Boxes in a 12 x 12 grid, `layers` deep along z: seen from the front, every box hides others."""
    corners = np.array([[x, y, z] for z in (0, 1) for y in (0, 1) for x in (0, 1)], dtype=float)
    box = np.array([[0, 2, 1], [1, 2, 3], [4, 5, 6], [5, 7, 6], [0, 1, 4], [1, 5, 4], [2, 6, 3], [3, 6, 7],
                    [0, 4, 2], [2, 4, 6], [1, 3, 5], [3, 7, 5]])
    k, j, i = np.meshgrid(np.arange(layers), np.arange(12), np.arange(12), indexing="ij")
    lows = np.stack([0.25 * i + 0.01 * k, 0.25 * j, 0.15 * k], axis=-1).reshape(-1, 1, 3)
    vertices = (lows + corners * [0.2, 0.2, 0.1]).reshape(-1, 3)
    triangles = (np.arange(len(lows)).reshape(-1, 1, 1) * 8 + box).reshape(-1, 3)
    return vertices, triangles


@pytest.mark.parametrize("model", [sphere(4e4), box_stack(20)], ids=["smooth sphere", "sharp box stack"])
def test_a_cancel_ends_the_drawing_at_once_in_every_stage(model):
    vertices, triangles = model
    camera = kh.Camera.view("iso", vertices)
    start = time.perf_counter()
    shares = []
    kh.draw(vertices, triangles, camera, hidden=True, progress=shares.append)
    whole = time.perf_counter() - start
    assert shares == sorted(shares) and shares[-1] == 1
    for mark in (0.2, 0.5, 0.8):
        start = time.perf_counter()
        try:
            kh.draw(vertices, triangles, camera, hidden=True,
                    progress=lambda share: time.perf_counter() - start > mark * whole)
        except kh.Cancelled:
            # From the request (the drawing's age passing the mark) to the return: the half second a
            # cancel may take, which leaves room for a busy machine.
            assert time.perf_counter() - start - mark * whole < 0.5, (mark, whole)


def test_ctrl_c_ends_a_section_while_it_is_hatched():
    vertices, triangles = box_stack(20)
    plane = kh.Plane([1.6, 1.5, 0.0], [0.3, 1.0, 0.0])
    done = []  # when the hook was told the library's work is done, and the section's after it

    def progress(share):
        if share == 1:
            done.append(time.perf_counter())
        if len(done) == 2:
            raise KeyboardInterrupt
    # Near the bound on hatch lines: about half a million, a third of a second's work.
    with pytest.raises(KeyboardInterrupt):
        kh.draw(vertices, triangles, plane.camera(vertices), section=plane, hatch_spacing=7e-5, progress=progress)
    assert time.perf_counter() - done[0] < 0.5


@pytest.fixture(scope="module")
def million():
    return sphere(1e6)


@pytest.mark.skipif(KVHLR is None, reason="the kvhlr tool is not built")
@pytest.mark.parametrize("model, view, perspective, hidden, exact", [
    ("cube", "iso", None, False, True),
    ("demo", "iso", None, True, True),
    ("demo", "front", 40.0, True, False),
])
def test_draws_what_the_tool_draws(tmp_path, model, view, perspective, hidden, exact):
    tool_file, own_file = tmp_path / "tool.json", tmp_path / "own.json"
    subprocess.run([KVHLR, "--demo" if model == "demo" else CUBE, "-q", "-o", str(tool_file), "--view", view,
                    "--hide-test", "exact" if exact else "specified"]
                   + (["--perspective", str(perspective)] if perspective else [])
                   + (["--hidden"] if hidden else []), check=True)
    vertices, triangles = DEMO if model == "demo" else kh.load_mesh(CUBE)
    camera = kh.Camera.from_file(tool_file)
    fitted = kh.Camera.view(view, vertices, perspective=perspective)
    for matrix in ("model_view", "projection"):
        np.testing.assert_array_equal(getattr(fitted, matrix), getattr(camera, matrix))
    drawing = kh.draw(vertices, triangles, camera, hidden=hidden, exact=exact)
    expected = json.loads(tool_file.read_text())
    assert lines_of(drawing) == [(line["kind"], line["points"]) for line in expected["lines"]]
    drawing.save(own_file)
    assert json.loads(own_file.read_text()) == expected


@pytest.mark.skipif(KVHLR is None, reason="the kvhlr tool is not built")
@pytest.mark.parametrize("extension, options, arguments", [
    ("svg", {}, []),
    ("svg", dict(paper="A4", views=["front", "top", "right", "iso"], style="drafting", name="demo"),
     ["--paper", "A4", "--views", "front,top,right,iso", "--style", "drafting"]),
    ("dxf", dict(scale="2:1", views=["front", "left"], projection="first", order="library", dashes="segments",
                 name="demo"),
     ["--scale", "2:1", "--views", "front,left", "--projection", "first", "--order", "library",
      "--dashes", "segments"]),
    # Names in any case, as kvhlr's own; margins and gaps.
    ("svg", dict(paper="a3", views=["FRONT", "Top"], projection="First", orientation="LANDSCAPE", margin=5,
                 gap=30, name="demo"),
     ["--paper", "A3", "--views", "front,top", "--projection", "first", "--orientation", "landscape",
      "--margin", "5", "--gap", "30"]),
    ("json", dict(order="plotter"), ["--order", "plotter"]),
    ("dxf", dict(paper="A4", units="Cm", name="demo"), ["--paper", "A4", "--units", "cm"]),
    ("json", dict(views=["top"]), ["--views", "top"]),  # the one view a JSON drawing holds, drawn again
])
def test_saves_the_sheets_the_tool_writes(tmp_path, extension, options, arguments):
    tool_file, own_file = tmp_path / f"tool.{extension}", tmp_path / f"own.{extension}"
    subprocess.run([KVHLR, "--demo", "-q", "--hidden", "-o", str(tool_file)] + arguments, check=True)
    drawing = kh.draw(V, T, DEMO_ISO, hidden=True, weld=False)  # the tool welds each body of the part alone
    drawing.save(own_file, **options)
    assert own_file.read_bytes() == tool_file.read_bytes()
    if extension != "json":
        assert getattr(drawing, f"to_{extension}")(**options) == tool_file.read_text()
    if not options:
        assert drawing._repr_svg_() == tool_file.read_text()


# A CAD part read whole keeps its faces apart: the sheet shows its true edges, tangent edges and part
# layers as kvhlr draws them. Merged into one mesh (load_mesh), the roof's 4-degree ridge is lost.
@pytest.mark.skipif(KVHLR is None or WRITE_CAD is None, reason="kvhlr or its CAD models (Open CASCADE) not built")
# The model's up axis (z) and name (in the title block) come from its file, as kvhlr takes them.
@pytest.mark.parametrize("name, options, sheet, arguments", [
    ("gentle_roof", {}, {}, []),
    ("filleted_block", dict(tangent_edges=True, weld=False), {}, ["--tangent-edges", "thin"]),
    ("two_parts", dict(part_layers=True, hidden=True), {}, ["--layers", "parts", "--hidden"]),
    ("two_parts", {}, dict(layers="Parts", hidden=True), ["--layers", "parts", "--hidden"]),
])
def test_cad_parts_draw_their_true_edges_as_the_tool_does(tmp_path, name, options, sheet, arguments):
    step, tool_file = tmp_path / f"{name}.step", tmp_path / "tool.svg"
    subprocess.run([WRITE_CAD, name, str(step)], check=True)
    subprocess.run([KVHLR, str(step), "-q", "--paper", "A4", "--views", "front,top,iso", "-o", str(tool_file)]
                   + arguments, check=True)
    model = kh.load_model(step)
    camera = kh.Camera.view("iso", model)
    np.testing.assert_array_equal(camera.model_view, kh.Camera.view("iso", model.vertices, up_axis="z").model_view)
    drawing = kh.draw(model, camera, **options)
    assert drawing.to_svg(paper="A4", views=["front", "top", "iso"], **sheet) == tool_file.read_text()
    kinds = set(drawing.kinds.tolist())
    assert (kh.Kind.VISIBLE_TANGENT in kinds) == ("tangent_edges" in options)
    if options.get("part_layers"):
        assert sorted(set(drawing.parts)) == model.part_names == ["base", "pin.pin-left", "pin.pin-right"]
    if name == "gentle_roof":
        merged = kh.draw(*kh.load_mesh(step), camera)
        assert kh.Kind.VISIBLE_CONVEX_SHARP in kinds and len(merged) < len(drawing)


@pytest.mark.skipif(KVHLR is None, reason="the kvhlr tool is not built")
@pytest.mark.parametrize("extension, options, arguments", [
    ("json", {}, ["--section", "front"]),
    ("svg", dict(paper="A4", views=["front", "top", "section:A"], name="cube"),
     ["--paper", "A4", "--views", "front,top,section:A", "--section", "front"]),
])
def test_sections_are_drawn_and_laid_out_as_the_tool_does(tmp_path, extension, options, arguments):
    tool_file, own_file = tmp_path / f"tool.{extension}", tmp_path / f"own.{extension}"
    subprocess.run([KVHLR, CUBE, "-q", "-o", str(tool_file)] + arguments, check=True)
    vertices, triangles = kh.load_mesh(CUBE)
    plane = kh.Plane.named("front", vertices)
    drawing = kh.draw(vertices, triangles, plane.camera(vertices), section=plane)
    assert {kh.Kind.SECTION_OUTLINE, kh.Kind.HATCHING} <= set(drawing.kinds.tolist())
    drawing.save(own_file, **options)
    assert own_file.read_bytes() == tool_file.read_bytes()


def test_a_section_of_an_open_mesh_warns_of_the_body_it_cannot_cap():
    vertices, triangles = kh.load_mesh(CUBE)
    plane = kh.Plane.named("front", vertices)
    side = (vertices - plane.point) @ np.array(plane.normal)
    crossing = np.flatnonzero((side[triangles].min(axis=1) < 0) & (side[triangles].max(axis=1) > 0))
    with pytest.warns(UserWarning, match="body 1 is not closed where the plane cuts it"):
        drawing = kh.draw(vertices, np.delete(triangles, crossing[0], axis=0), plane.camera(vertices),
                          section=plane)
    assert kh.Kind.HATCHING not in drawing.kinds.tolist()


@pytest.mark.parametrize("options, error, message", [
    (dict(paper="B7"), ValueError, "paper: unknown paper 'B7'"),
    (dict(paper=4), TypeError, "paper must be a str, not int"),
    (dict(paper="A4", units="furlong"), ValueError, "units: unknown unit 'furlong': name mm, cm, m, in or ft"),
    (dict(scale="half"), ValueError, "scale: expected a scale"),
    (dict(scale=0), ValueError, "scale: expected a scale"),
    (dict(views=["front", "aside"]), ValueError, "views: unknown view 'aside'"),
    (dict(paper="A4", scale="100:1"), ValueError, "do not fit"),
    (dict(order="random"), ValueError, "order must be one of plotter, library"),
    (dict(dashes="dots"), ValueError, "dashes must be one of style, segments"),
    (dict(style="no/such/style.json"), OSError, "no/such/style.json"),
    (dict(colour="red"), TypeError, "unexpected keyword argument 'colour'"),
])
def test_bad_sheet_keywords_raise_clear_errors(tmp_path, options, error, message):
    drawing = kh.draw(V, T, DEMO_ISO)
    with pytest.raises(error, match=message):
        drawing.to_svg(**options)
    with pytest.raises(error, match=message):
        drawing.save(tmp_path / "x.svg", **options)
    assert not (tmp_path / "x.svg").exists()


# Options that change nothing warn as kvhlr warns of them (the kit's list of idle options).
@pytest.mark.parametrize("call, message", [
    (lambda path: kh.draw(V, T, DEMO_ISO).save(path / "x.json", style="drafting", order="plotter"),
     "^style has no effect here: a JSON drawing has no pens$"),
    (lambda path: kh.draw(V, T, DEMO_ISO).to_svg(orientation="portrait"), "^orientation has no effect here"),
    (lambda path: kh.draw(V, T, DEMO_ISO, hatch_angle=30), "^hatch_angle has no effect here"),
    (lambda path: kh.draw(kh.load_model(CUBE), DEMO_ISO, tangent_edges=True),
     "^tangent_edges has no effect here: it acts on STEP and IGES files$"),
    (lambda path: kh.load_mesh(CUBE, cad_time_limit=60), "^cad_time_limit has no effect here: it acts on STEP"),
])
def test_options_that_change_nothing_warn(tmp_path, call, message):
    with pytest.warns(UserWarning, match=message) as warnings:
        call(tmp_path)
    assert len(warnings) == 1


def test_a_drawing_is_a_sequence_of_lines_and_three_arrays():
    drawing = kh.draw(V, T, DEMO_ISO, hidden=True)
    lines = drawing.lines
    assert [line.kind for line in drawing] == [line.kind for line in lines] == list(drawing.kinds)
    assert {type(line.kind) for line in drawing} == {kh.Kind}
    assert drawing[-1].points.tolist() == lines[-1].points.tolist()
    assert [line.kind for line in drawing[1:9:3]] == list(drawing.kinds[1:9:3])
    assert [line.kind for line in drawing[::-1]] == list(drawing.kinds[::-1]) and drawing[5:2] == []
    hidden = next(line for line in drawing if line.kind == kh.Kind.HIDDEN)
    assert repr(hidden) == f"<Line kind=HIDDEN, {len(hidden.points)} points>"
    with pytest.raises(IndexError):
        drawing[len(drawing)]
    points, offsets = drawing.points, drawing.offsets
    assert offsets[0] == 0 and offsets[-1] == len(points) and len(offsets) == len(drawing) + 1
    for i, line in enumerate(drawing):
        np.testing.assert_array_equal(points[offsets[i]:offsets[i + 1]], line.points)


def test_a_style_is_a_preset_a_file_or_a_dict(tmp_path):
    style = {"base": "drafting", "lines": {"hidden": {"width": 0.3, "dashes": [2, 1]}}}
    (tmp_path / "style.json").write_text(json.dumps(style))
    drawing = kh.draw(V, T, DEMO_ISO, hidden=True)
    assert drawing.to_svg(style=style) == drawing.to_svg(style=tmp_path / "style.json") != drawing.to_svg(style="Drafting")


def draw_demo(view):
    return kh.draw(V, T, kh.Camera.view(view, V), hidden=True)


def test_cameras_and_drawings_pickle_and_come_back_from_other_processes():
    drawing = kh.draw(V, T, DEMO_ISO, hidden=True)
    for copy in (pickle.loads(pickle.dumps(drawing)), ProcessPoolExecutor(1).submit(draw_demo, "iso").result()):
        assert lines_of(copy) == lines_of(drawing)
        np.testing.assert_array_equal(copy.camera.model_view, DEMO_ISO.model_view)
        # The mesh and the options come along: the other views of a sheet are drawn as from the original.
        assert copy.to_svg(views=["front", "top"]) == drawing.to_svg(views=["front", "top"])
    camera = pickle.loads(pickle.dumps(DEMO_ISO))
    assert (camera.near, camera.far) == (DEMO_ISO.near, DEMO_ISO.far)
    np.testing.assert_array_equal(camera.projection, DEMO_ISO.projection)
    plane = kh.Plane.named("z=0", V)
    section = kh.draw(V, T, plane.camera(V), section=plane, hatch_spacing=0.5, sharp=False)
    sheet = dict(paper="A3", views=["front", "section:A"])
    assert pickle.loads(pickle.dumps(section)).to_svg(**sheet) == section.to_svg(**sheet)
    state = list(drawing.__getstate__())
    state[5] = np.array([0], dtype=np.uint32)  # a part of one line, in a drawing of many lines without parts
    with pytest.raises(ValueError, match="not the state of a Drawing"):
        kh.Drawing.__new__(kh.Drawing).__setstate__(tuple(state))


def test_hidden_levels_reach_the_arrays_the_pickle_and_the_layers():
    every = kh.draw(V, T, DEMO_ISO, hidden_levels="all")
    levels = every.levels
    assert list(levels) == [line.level for line in every]
    assert set(levels[every.kinds == kh.Kind.HIDDEN]) >= {1, 2} and not levels[every.kinds != kh.Kind.HIDDEN].any()
    np.testing.assert_array_equal(pickle.loads(pickle.dumps(every)).levels, levels)
    first = kh.draw(V, T, DEMO_ISO, hidden_levels=1)
    assert set(first.levels[first.kinds == kh.Kind.HIDDEN]) == {1}
    svg = every.to_svg(style="illustration")
    assert 'hidden-1"' in svg and 'hidden-2"' in svg and 'id="hidden"' not in svg
    with pytest.raises(ValueError, match="hidden_levels"):
        kh.draw(V, T, DEMO_ISO, hidden_levels=1, exact=False)


@pytest.mark.skipif(WRITE_CAD is None, reason="no CAD models (Open CASCADE) built")
def test_models_and_their_drawings_pickle_with_their_parts(tmp_path):
    step = tmp_path / "two_parts.step"
    subprocess.run([WRITE_CAD, "two_parts", str(step)], check=True)
    model = kh.load_model(step)
    copy = pickle.loads(pickle.dumps(model))
    assert copy.part_names == model.part_names and copy.name == model.name == "two_parts"
    np.testing.assert_array_equal(copy.triangles, model.triangles)
    drawing = kh.draw(model, kh.Camera.view("iso", model.vertices, up_axis="z"), part_layers=True,
                      tangent_edges=True, hidden=True)
    unpickled = pickle.loads(pickle.dumps(drawing))
    assert unpickled.parts == drawing.parts and len(set(drawing.parts)) == 3
    assert lines_of(unpickled) == lines_of(drawing)
    sheet = dict(paper="A4", views=["front", "iso"], up_axis="z")
    assert unpickled.to_dxf(**sheet) == drawing.to_dxf(**sheet)  # a layer per part, drawn again


@pytest.mark.skipif(WRITE_CAD is None or KVHLR is None, reason="no CAD models (Open CASCADE) built")
def test_cad_lines_name_their_brep_edges_as_the_tool_does(tmp_path):
    step = tmp_path / "filleted_block.step"
    subprocess.run([WRITE_CAD, "filleted_block", str(step)], check=True)
    for out in ("b.json", "b.svg"):
        subprocess.run([KVHLR, str(step), "-q", "--hidden", "--provenance", "--tangent-edges", "thin", "-o",
                        str(tmp_path / out)], check=True)
    record = json.loads((tmp_path / "b.json").read_text())
    # The page names the same B-rep edges, on its lines and on its true curves (the corners' arcs).
    shapes = [e for e in ET.parse(tmp_path / "b.svg").getroot().iter() if e.tag.endswith(("polyline", "path"))]
    assert {int(n) for e in shapes for n in e.get("data-edge", "").split()} == \
        {n for line in record["lines"] for n in line["brepEdges"] if n > 0}
    assert any(e.tag.endswith("path") and e.get("data-edge") for e in shapes)
    model = pickle.loads(pickle.dumps(kh.load_model(step)))  # its B-rep edges pickle with it
    drawing = kh.draw(model, kh.Camera.view("iso", model), hidden=True, provenance=True, tangent_edges=True)
    np.testing.assert_array_equal(drawing.brep_edges, [edge for line in record["lines"] for edge in line["brepEdges"]])
    assert (drawing.brep_edges > 0).any() and (drawing.brep_edges == -1).any()
    offsets, i = drawing.offsets, len(drawing) // 2
    np.testing.assert_array_equal(drawing[i].brep_edges, drawing.brep_edges[offsets[i] - i:offsets[i + 1] - i - 1])
    np.testing.assert_array_equal(pickle.loads(pickle.dumps(drawing)).brep_edges, drawing.brep_edges)
    vertices, triangles = kh.load_mesh(CUBE)
    assert kh.draw(vertices, triangles, kh.Camera.view("iso", vertices), provenance=True).brep_edges.size == 0


@pytest.mark.skipif(WRITE_CAD is None, reason="no CAD reader (Open CASCADE) built")
def test_circles_are_true_curves_with_centre_marks_and_arcs_fit_meshes():
    model = kh.load_model(Path(__file__).resolve().parents[2] / "examples" / "models" / "bracket.step")
    drawing = kh.draw(model, kh.Camera.view("top", model))
    curves = drawing.curves
    whole = curves[curves[:, 7] - curves[:, 6] > 6.283]
    assert sorted(set(np.round(whole[:, 3], 6))) == [5, 6.5]
    assert kh.Kind.CENTRE_LINE in drawing.kinds.tolist()
    np.testing.assert_array_equal(pickle.loads(pickle.dumps(drawing)).curves, curves)
    plain = kh.draw(model, kh.Camera.view("top", model), centre_lines=False)
    assert kh.Kind.CENTRE_LINE not in plain.kinds.tolist()
    # A 256-sided cylinder seen end-on: one circle, and its centre mark when asked.
    turn = np.linspace(0, 2 * np.pi, 256, endpoint=False)
    ring = np.column_stack([10 * np.cos(turn), 10 * np.sin(turn)])
    vertices = np.vstack([np.column_stack([ring, np.zeros(256)]), np.column_stack([ring, np.full(256, 20)])])
    triangles = [[i, (i + 1) % 256, 256 + (i + 1) % 256] for i in range(256)]
    triangles += [[i, 256 + (i + 1) % 256, 256 + i] for i in range(256)]
    cylinder = kh.draw(vertices, triangles, kh.Camera.view("top", vertices, up_axis="z"))
    assert cylinder.curves.shape == (0, 8)
    dxf = cylinder.to_dxf(fit_arcs=0.01, centre_lines=True)
    assert dxf.count("\nCIRCLE\n") == 1 and "centre" in dxf
    assert "centre" not in cylinder.to_dxf(fit_arcs=0.01)


@pytest.mark.skipif(WRITE_CAD is None, reason="no CAD reader (Open CASCADE) built")
def test_a_cad_file_that_needs_more_than_its_limit_is_refused_naming_it(monkeypatch):
    monkeypatch.setenv("KVHLR_CAD_READER_FAULT", "loop")  # the reader loops, as on some damaged files
    with pytest.raises(ValueError, match="^cad_time_limit: reading .* took more than the 1 s"):
        kh.load_model(Path(__file__).resolve().parents[2] / "examples" / "models" / "bracket.step", cad_time_limit=1)


def test_look_at_keeps_the_eye_where_it_is_and_fits_only_when_asked():
    centre, size = (V.min(axis=0) + V.max(axis=0)) / 2, V.max(axis=0) - V.min(axis=0)
    eye = centre + 2 * size
    for perspective in (None, 40.0):
        camera = kh.Camera.look_at(eye, centre, [0, 1, 0], V, perspective=perspective)
        np.testing.assert_allclose(camera.model_view @ [*eye, 1], [0, 0, 0, 1], atol=1e-12)
    fitted = kh.Camera.look_at(centre + [1, 1, 1], centre, [0, 1, 0], V, fit=True)
    np.testing.assert_allclose(fitted.model_view, DEMO_ISO.model_view, atol=1e-12)
    np.testing.assert_array_equal(fitted.projection, DEMO_ISO.projection)


def test_a_perspective_camera_inside_the_model_draws_what_lies_beyond_its_near_plane():
    # A room (a box seen from inside) with a table in it; the eye stands in the room.
    room, table = (V.min(axis=0) - 20), (V.max(axis=0) + 20)
    inward = [[0, 1, 2], [1, 3, 2], [4, 6, 5], [5, 6, 7], [0, 4, 1], [1, 4, 5], [2, 3, 6], [3, 7, 6],
              [0, 2, 4], [2, 6, 4], [1, 5, 3], [3, 5, 7]]
    corners = np.array([[x, y, z] for z in (room[2], table[2]) for y in (room[1], table[1])
                        for x in (room[0], table[0])])
    vertices, triangles = np.concatenate([corners, V]), np.concatenate([inward, T + 8])
    camera = kh.Camera.look_at(table - 5, V.mean(axis=0), [0, 1, 0], vertices, perspective=70)
    drawing = kh.draw(vertices, triangles, camera, hidden=True)
    frame = 1 / camera.projection[0, 0] * -(camera.model_view @ [*V.mean(axis=0), 1])[2]
    assert len(drawing) > 0 and np.all(np.abs(drawing.points) <= frame * (1 + 1e-9))
    assert kh.Kind.VISIBLE_CONVEX_SHARP in set(drawing.kinds)  # the part on the table


def test_box_corners_fit_as_their_vertices():
    vertices, _ = kh.load_mesh(CUBE)
    corners = kh.Camera.view("trimetric", [vertices.min(axis=0), vertices.max(axis=0)], up_axis="z")
    np.testing.assert_array_equal(corners.model_view,
                                  kh.Camera.view("trimetric", vertices, up_axis="z").model_view)


def test_bodies_passing_through_each_other_meet_in_intersection_lines():
    vertices, triangles = kh.load_mesh(CUBE)
    corner = vertices.min(axis=0)
    size = vertices.max(axis=0) - corner
    # A second cube, half as large, pushed halfway into the first through one face.
    second = corner + (vertices - corner) * 0.5 + size * np.array([0.75, 0.25, 0.25])
    both = np.concatenate([vertices, second]), np.concatenate([triangles, triangles + len(vertices)])
    camera = kh.Camera.view("iso", both[0])
    assert kh.Kind.VISIBLE_INTERSECTION in {line.kind for line in kh.draw(*both, camera).lines}
    assert kh.Kind.VISIBLE_INTERSECTION not in {line.kind for line in
                                                kh.draw(*both, camera, intersections=False).lines}


V, T = DEMO
SECTION = kh.Plane.named("z=0", V)
NAN = V.copy()
NAN[5, 1] = np.nan


class Mesh:
    def __init__(self, **arrays):
        self.__dict__.update(arrays)


@pytest.mark.parametrize("mesh", [
    (V[T],),
    (Mesh(vertices=V, faces=T),),
    (Mesh(vectors=V[T]),),
    (V[T].reshape(-1, 3), np.arange(3 * len(T)).reshape(-1, 3)),
], ids=["corner array", "vertices and faces", "numpy-stl vectors", "soup arrays"])
def test_soups_and_mesh_objects_are_welded_into_the_indexed_drawing(mesh):
    # The camera by position or by name.
    assert lines_of(kh.draw(*mesh, DEMO_ISO, hidden=True)) == lines_of(kh.draw(V, T, DEMO_ISO, hidden=True))
    assert lines_of(kh.draw(*mesh, camera=DEMO_ISO)) == lines_of(kh.draw(V, T, DEMO_ISO))


def test_a_soup_left_unwelded_draws_every_triangle_alone():
    kinds = set(kh.draw(V[T].reshape(-1, 3), np.arange(3 * len(T)).reshape(-1, 3), DEMO_ISO, hidden=True,
                        weld=False).kinds)
    assert kinds == {kh.Kind.VISIBLE_SILHOUETTE, kh.Kind.HIDDEN}  # outlines of loose triangles only
    with pytest.raises(ValueError, match=r"vertices and faces, or vectors, or be an \(M, 3, 3\) array"):
        kh.draw(np.zeros((4, 3)), DEMO_ISO)


@pytest.mark.parametrize("vertices, triangles, message", [
    (V[:, :2], T, r"vertices must be an array of shape \(N, 3\), not \(952, 2\)"),
    (V, T.ravel(), r"triangles must be an array of shape \(N, 3\)"),
    (V.astype(complex), T, "vertices must hold real numbers, not complex128"),
    (V, T.astype(float), "triangles must hold integer indices, not float64"),
    (V, [[0, 1, 2], [0, -1, 2]], "triangle 1 holds the negative index -1"),
    (V, [[0, 1, 952]], "triangle 0 refers to vertex 952, but there are 952 vertices"),
    (V, [[0, 1, 2**32]], "refers to vertex 4294967296"),  # would wrap round to vertex 0 in 32 bits
    (NAN, T, "vertex 5 is not finite"),
    (V + 1e3, T, "lies behind the eye"),  # moved past the eye of the iso view
])
def test_bad_arrays_raise_value_errors(vertices, triangles, message):
    with pytest.raises(ValueError, match=message):
        kh.draw(vertices, triangles, DEMO_ISO)


@pytest.mark.parametrize("call, error, message", [
    # The kit's checks, each error naming the argument at fault.
    (lambda: kh.draw(V, T, DEMO_ISO, sharp_angle=200), ValueError, "^sharp_angle: the angle"),
    (lambda: kh.Camera.view("sideways", V), ValueError, "^name: unknown view 'sideways'; the views are front, back"),
    (lambda: kh.Camera.view("top", V, up_axis="x"), ValueError, "^up_axis: "),
    (lambda: kh.Camera.view("top", V, perspective=180), ValueError, "^perspective: the field of view"),
    (lambda: kh.Camera.view("top", V, fill=0), ValueError, "^fill: "),
    (lambda: kh.Camera.look_at([1, 2, 3], [1, 2, 3], [0, 1, 0], V), ValueError, "^eye: "),
    (lambda: kh.Camera(np.eye(2), np.eye(4), 1, 2), ValueError, "model_view must be a 4x4 matrix"),
    (lambda: kh.Camera(np.zeros((4, 4)), np.eye(4), 1, 2), ValueError, "^camera: the modelView transform is singular"),
    (lambda: kh.draw(V, T, kh.Camera.view("iso", V, perspective=40)).to_svg(scale="1:2"), ValueError,
     "^scale: a perspective has no scale"),
    (lambda: kh.load_mesh("/nonexistent/part.obj"), OSError, "/nonexistent/part.obj"),
    (lambda: kh.Camera.from_file(CUBE), OSError, "not a valid JSON camera"),
    (lambda: kh.draw(V, T, DEMO_ISO).save("drawing.png"), ValueError, "drawing.png"),
    (lambda: kh.draw(V, T, DEMO_ISO).save("/nonexistent/drawing.svg"), OSError, "/nonexistent/drawing.svg"),
    (lambda: kh.Camera(np.eye(4), np.eye(4), 0, 2), ValueError, "^camera: the near and far depths must be positive"),
    (lambda: kh.Camera(np.eye(4), np.eye(4), 1, np.inf), ValueError, "^camera: the near and far depths"),
    (lambda: kh.Camera.look_at([9, 9, 9], [0, 0, 0], [0, 1, 0], V, perspective=180), ValueError, "field of view"),
    (lambda: kh.Camera.look_at([9, 9, 9], [0, 0, 0], [0, 1, 0], V, perspective=0), ValueError, "field of view"),
    (lambda: kh.Camera.look_at([9, 9, 9], [0, 0, 0], [0, 1, 0], V, fill=0), ValueError, "fill"),
    # Mistakes in draw's arguments, each named.
    (lambda: kh.draw(V, T, DEMO_ISO, True), TypeError, "^draw\\(\\) takes at most 3 positional arguments"),
    (lambda: kh.draw(V, T, "iso"), TypeError, "^camera must be a Camera, not str"),
    (lambda: kh.draw(kh.load_model(CUBE), DEMO_ISO, True), TypeError, "^draw\\(\\) takes 2 positional arguments"),
    (lambda: kh.draw(V, camera=DEMO_ISO, vertices=V), TypeError, "^draw\\(\\) got two values for 'vertices'"),
    (lambda: kh.draw(V, T, DEMO_ISO, hiden=True), TypeError, "unexpected keyword argument 'hiden'"),
    (lambda: kh.draw(V, T, DEMO_ISO, hidden="yes"), TypeError, "^hidden must be a bool, not str"),
    (lambda: kh.draw(V, T, DEMO_ISO, section="front"), TypeError, "^section must be a Plane or None"),
    (lambda: kh.draw(V, T, DEMO_ISO, part_layers=True), ValueError, "^part_layers: only a Model"),
    (lambda: kh.Camera.view("iso", V, up_axis="w"), ValueError, "^up_axis: "),
    # The CAD reader's limits, refused as kvhlr refuses them.
    (lambda: kh.load_model(CUBE, cad_memory_limit=100), ValueError, "^cad_memory_limit: must be at least 256"),
    (lambda: kh.load_model(CUBE, cad_memory_limit=2**44), ValueError, "^cad_memory_limit: must be at most"),
    (lambda: kh.load_mesh(CUBE, cad_time_limit=-1), ValueError, "^cad_time_limit: must not be negative"),
    (lambda: kh.load_model(CUBE, cad_time_limit=10**9), ValueError, "^cad_time_limit: must be at most 31536000"),
    (lambda: kh.load_model(CUBE, cad_memory_limit=512.5), TypeError, "^cad_memory_limit must be a whole number"),
    # Sheet keywords kvhlr has as options.
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(margin=-1), ValueError, "^margin: expected a length in mm"),
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(paper="A4", margin=150), ValueError, "^margin: "),
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(layers="parts"), ValueError, "^layers: only a Model"),
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(style={"base": "bold"}), ValueError, '^style: "base" names a preset'),
    # An orthographic camera is not cut at its near plane.
    (lambda: kh.draw(V, T, kh.Camera.look_at(V.mean(axis=0), V.max(axis=0), [0, 1, 0], V)), ValueError,
     "reaches the near plane"),
    # Section views.
    (lambda: kh.Plane([0, 0, 0], [0, 0, 0]), ValueError, "^normal: "),
    (lambda: kh.Plane.named("w=1", V), ValueError, "^name: expected x=NUMBER"),
    (lambda: kh.draw(V, T, DEMO_ISO, section=kh.Plane([0, 0, 500], [0, 0, 1])), ValueError,
     "^section: the cutting plane misses the model"),
    (lambda: kh.draw(V, T, kh.Camera.view("top", V), section=kh.Plane([0, 0, 0], [0, 0, 1])), ValueError,
     "^section: the cutting plane is seen edge-on"),
    (lambda: kh.draw(V, T, DEMO_ISO, section=kh.Plane([0, 0, 0], [0, 0, 1]), hatch_spacing=-1), ValueError,
     "^hatch_spacing: "),
    (lambda: kh.Plane.named("front", np.zeros((0, 3))), ValueError, "^bounds: no points"),
    # What kvhlr refuses in its sheets (the kit's checks).
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(views=["front", "section:A"]), ValueError,
     "^views: a section view needs its plane"),
    (lambda: kh.draw(V, T, DEMO_ISO).to_svg(views=["front", "top", "front"]), ValueError,
     "^views: the view 'front' is named twice"),
    (lambda: kh.draw(V, T, SECTION.camera(V), section=SECTION).to_svg(views=["front", "top"]), ValueError,
     "^views: name the section's view once"),
    (lambda: kh.draw(V, T, DEMO_ISO).save("x.json", views=["front", "top"]), ValueError,
     "^path: a JSON drawing holds one view and no page"),
    (lambda: kh.draw(V, T, DEMO_ISO).save("x.json", paper="A4"), ValueError, "^path: a JSON drawing"),
])
def test_bad_input_raises_clear_errors(call, error, message):
    with pytest.raises(error, match=message):
        call()


class Stop(Exception):
    pass


def raise_(exception):
    def progress(share):
        raise exception
    return progress


@pytest.mark.parametrize("progress, error", [
    (lambda share: share > 0.5, kh.Cancelled),
    (raise_(Stop()), Stop),
    (raise_(KeyboardInterrupt()), KeyboardInterrupt),
    (lambda share: kh.draw(V, T, DEMO_ISO), RuntimeError),
])
def test_progress_cancels(progress, error):
    with pytest.raises(error):
        kh.draw(V, T, DEMO_ISO, progress=progress)
    assert len(kh.draw(V, T, DEMO_ISO)) > 0  # nothing is left held


def test_progress_is_told_the_share_done_without_a_call_per_report():
    shares = []
    kh.draw(V, T, DEMO_ISO, hidden=True, progress=shares.append)
    # The library reports thousands of times for the demo part.
    assert 0 < len(shares) < 100 and min(shares) >= 0 and max(shares) == 1


def test_threads_draw_at_once():
    # Each way of drawing beside the others, each with a progress callback (the hook the kit forwards
    # the library's reports to): a section, plain meshes, and hidden lines with either hide test.
    plane = kh.Plane.named("z=0", V)
    jobs = [(plane.camera(V), dict(section=plane)), (DEMO_ISO, dict(hidden=True)),
            (kh.Camera.view("front", V), dict(hidden=True, exact=False)), (kh.Camera.view("top", V), {})]
    draw = lambda camera, options: lines_of(kh.draw(V, T, camera, progress=lambda share: False, **options))
    alone = [draw(*job) for job in jobs]
    with ThreadPoolExecutor(len(jobs)) as pool:
        together = list(pool.map(lambda job: [draw(*job) for _ in range(8)], jobs))
    assert together == [[lines] * 8 for lines in alone]


@pytest.mark.parametrize("point_type, index_type", [(np.float64, np.uint32), (np.float32, np.int64)])
def test_million_triangles_are_copied_once_while_other_threads_run(million, point_type, index_type):
    vertices, triangles = million[0].astype(point_type), million[1].astype(index_type)
    camera = kh.Camera.view("iso", vertices)
    ticks, done = [], threading.Event()

    def tick():
        while not done.wait(0.01):
            ticks.append(1)

    ticker = threading.Thread(target=tick)
    tracemalloc.start()
    ticker.start()
    start = time.perf_counter()
    try:
        drawing = kh.draw(vertices, triangles, camera)
    finally:
        seconds = time.perf_counter() - start
        done.set()
        ticker.join()
        numpy_peak = tracemalloc.get_traced_memory()[1]
        tracemalloc.stop()
    assert len(drawing) > 0
    # numpy converts while it copies into the library's arrays: no temporary array of the mesh's size.
    assert numpy_peak < 1e6
    # The interpreter was free for the other thread while the library worked (holding it allows a tick
    # or two; a busy machine may take a tick's time again to wake the thread).
    assert len(ticks) > 0.1 * seconds / 0.01


def test_ctrl_c_stops_saving_and_keeps_the_old_file(tmp_path):
    # 40,000 separate small triangles seen from above: as many closed outlines to write.
    cells = np.stack(np.meshgrid(np.arange(200.0), np.arange(200.0)), -1).reshape(-1, 1, 2)
    corners = (cells + [[0, 0], [0.5, 0], [0, 0.5]]).reshape(-1, 2)
    vertices = np.column_stack([corners, np.zeros(len(corners))])
    triangles = np.arange(len(vertices)).reshape(-1, 3)
    drawing = kh.draw(vertices, triangles, kh.Camera.view("top", vertices, up_axis="z"), weld=False)
    target = tmp_path / "drawing.pdf"  # the slowest to write: the signal comes while it is written
    target.write_text("old")

    sent = []

    def interrupt_once_writing():  # the file being written appears beside the old one
        while len(list(tmp_path.iterdir())) < 2:
            time.sleep(0.001)
        sent.append(time.monotonic())
        os.kill(os.getpid(), signal.SIGINT)

    interrupter = threading.Thread(target=interrupt_once_writing)
    interrupter.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            drawing.save(target, order="plotter")
        assert time.monotonic() - sent[0] < 0.5
    finally:
        interrupter.join()
    assert target.read_text() == "old"
    assert list(tmp_path.iterdir()) == [target]


# Ctrl-C in every stage but writing (above): reading a mesh file, welding and drawing, cutting a section,
# and the views of a sheet drawn and laid out. A child process starts the stage; the signal comes 0.1 s
# later, and KeyboardInterrupt must reach the child's Python code within half a second of it.
INTERRUPTED = """
import sys, time
import numpy as np
import kelvar_hlr as kh
from test_kelvar_hlr import sphere
{setup}
print("go", flush=True)
try:
    {stage}
    print("finished", flush=True)
except KeyboardInterrupt:
    print(time.monotonic(), flush=True)
"""


@pytest.mark.parametrize("setup, stage", [
    ('vertices, triangles = sphere(1e6)\n'
     'open("m.obj", "w").write(("v %r %r %r\\n" * len(vertices)) % tuple(vertices.ravel().tolist())\n'
     '                         + ("f %d %d %d\\n" * len(triangles)) % tuple((triangles + 1).ravel().tolist()))',
     'kh.load_mesh("m.obj")'),
    ('vertices, triangles = sphere(1e6)\ncamera = kh.Camera.view("iso", vertices)',
     'kh.draw(vertices, triangles, camera, hidden=True)'),
    ('vertices, triangles = sphere(1e6)\nplane = kh.Plane([0, 0, 0], [0, 0, 1])',
     'kh.draw(vertices, triangles, plane.camera(vertices), section=plane)'),
    ('vertices, triangles = sphere(3e5)\ndrawing = kh.draw(vertices, triangles, kh.Camera.view("iso", vertices))',
     'drawing.to_svg(paper="A3", views=["front", "top", "right", "iso"])'),
], ids=["reading", "drawing", "section", "sheet views"])
def test_ctrl_c_stops_every_stage_within_half_a_second(tmp_path, setup, stage):
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED.format(setup=setup, stage=stage)], cwd=tmp_path,
                             env=dict(os.environ, PYTHONPATH=os.pathsep.join(
                                 [os.environ.get("PYTHONPATH", ""), str(Path(__file__).parent)])),
                             stdout=subprocess.PIPE, text=True)
    assert child.stdout.readline() == "go\n"
    time.sleep(0.1)
    sent = time.monotonic()
    child.send_signal(signal.SIGINT)
    answer = child.stdout.readline()
    child.wait()
    assert answer != "finished\n", "the stage ended before the signal came"
    assert float(answer) - sent < 0.5


def test_stub_declares_what_the_module_holds():
    """python/kelvar_hlr/_core.pyi, which type checkers and editors read, names the compiled module's
    classes and functions, each class's members and each function's arguments, as the module has them."""
    stub = ast.parse((Path(__file__).resolve().parents[2] / "python" / "kelvar_hlr" / "_core.pyi").read_text())

    def public(names):
        return {name for name in names if not name.startswith("_")}

    def arguments_of(header):
        return [a for a in re.findall(r"(?:\(|, )(\w+):", header) if a != "self"]

    def signatures(function, name):
        # pybind11 puts the signatures first in the docstring: "draw(vertices: handle, ...) -> ...", one
        # numbered line each for an overloaded function.
        return [line.split(" -> ")[0] for line in function.__doc__.splitlines()
                if re.match(rf"(\d+\. )?{name}\(", line) and "(*args, **kwargs)" not in line]

    def check_keywords(function, forms):
        # Each keyword a form of the stub declares is one the function reads (given its stub default, it is
        # refused for its value at most, never as unknown); and a keyword no form declares is refused.
        vertices, triangles = [[0, 0, 0], [1, 0, 0], [0, 1, 0]], [[0, 1, 2]]
        camera = kh.Camera.view("top", vertices)
        for form in forms:
            for argument, default in zip(form.args.kwonlyargs, form.args.kw_defaults):
                try:
                    function(vertices, triangles, camera, **{argument.arg: ast.literal_eval(default)})
                except (TypeError, ValueError) as error:
                    assert "unexpected keyword" not in str(error), (form.name, argument.arg)
        with pytest.raises(TypeError, match="unexpected keyword argument 'no_such_keyword'"):
            function(vertices, triangles, camera, no_such_keyword=True)

    def check(body, holder, names):
        declared = {}
        for node in body:
            if isinstance(node, (ast.FunctionDef, ast.ClassDef, ast.AnnAssign)):
                name = node.target.id if isinstance(node, ast.AnnAssign) else node.name
                declared.setdefault(name, []).append(node)
        assert public(declared) == names, holder
        for name, nodes in declared.items():
            held = getattr(holder, name)
            if isinstance(nodes[0], ast.ClassDef):
                check(nodes[0].body, held, public(vars(held)))
            elif isinstance(nodes[0], ast.FunctionDef) and "property" not in map(ast.unparse, nodes[0].decorator_list):
                headers = signatures(held, name)
                if not headers:  # draw(*args, **kwargs) reads its own arguments: the stub spells out its forms
                    check_keywords(held, nodes)
                    continue
                assert len(nodes) == len(headers), name
                for node, header in zip(nodes, headers):
                    arguments = node.args.posonlyargs + node.args.args + node.args.kwonlyargs
                    in_stub = [a.arg for a in arguments if a.arg != "self"]
                    if "**kwargs" in header:  # the stub spells out the keywords the module takes as **kwargs
                        in_stub = in_stub[:len(arguments_of(header))]
                    assert in_stub in [arguments_of(h) for h in headers], name

    check(stub.body, kh._core, public(dir(kh._core)))


def test_readme_example_runs_as_written(tmp_path):
    readme = Path(__file__).resolve().parents[2] / "README.md"
    example = readme.read_text().split("```python\n", 1)[1].split("```", 1)[0]
    os.symlink(readme.parent / "examples", tmp_path / "examples")
    subprocess.run([sys.executable, "-c", example], cwd=tmp_path, check=True, capture_output=True)
    assert (tmp_path / "bunny.svg").read_text().startswith("<?xml")


MODELS = Path(os.environ["KVHLR_TEST_DATA"]).parents[2] / "examples" / "models"


@pytest.mark.skipif(KVHLR is None, reason="the kvhlr tool is not built")
def test_provenance_names_every_lines_body_and_edges_as_the_tool_does(tmp_path):
    at_at = MODELS / "at_at.obj"
    subprocess.run([KVHLR, str(at_at), "-q", "--bodies", "--hidden", "--provenance", "-o", str(tmp_path / "a.json")],
                   check=True)
    record = json.loads((tmp_path / "a.json").read_text())
    model = kh.load_model(str(at_at))
    drawing = kh.draw(model, kh.Camera.view("iso", model), hidden=True, provenance=True)
    assert drawing.part_names == record["bodies"]
    assert all(0 <= line["body"] < len(record["bodies"]) for line in record["lines"])
    # Edges name the file's vertices (counted from 0 as its `v` lines come), though reading welds them.
    faces = [[int(corner.split("/")[0]) - 1 for corner in row.split()[1:]]
             for row in at_at.read_text().splitlines() if row.startswith("f ")]
    sides = {frozenset(pair) for face in faces for pair in itertools.combinations(face, 2)}
    assert all(frozenset(edge) in sides for line in record["lines"] if "otherBody" not in line for edge in line["edges"])
    np.testing.assert_array_equal(drawing.bodies, [line["body"] for line in record["lines"]])
    np.testing.assert_array_equal(drawing.edges, [edge for line in record["lines"] for edge in line["edges"]])
    line = drawing[len(drawing) // 2]
    offsets = drawing.offsets
    i = len(drawing) // 2
    np.testing.assert_array_equal(line.edges, drawing.edges[offsets[i] - i:offsets[i + 1] - i - 1])
    copy = pickle.loads(pickle.dumps(drawing))
    np.testing.assert_array_equal(copy.edges, drawing.edges)
    np.testing.assert_array_equal(copy.bodies, drawing.bodies)
    assert kh.draw(model, kh.Camera.view("iso", model)).bodies.size == 0

    # Arrays name the caller's own vertices, though the drawing welds them: the cube's corners repeated.
    vertices, triangles = kh.load_mesh(CUBE)
    doubled = np.concatenate([vertices, vertices])
    drawn = kh.draw(doubled, triangles + len(vertices), kh.Camera.view("iso", doubled), provenance=True)
    sides = {frozenset((t[k], t[(k + 1) % 3])) for t in (triangles + len(vertices)).tolist() for k in range(3)}
    assert all(frozenset(edge) in sides for edge in drawn.edges.tolist())


@pytest.mark.skipif(KVHLR is None, reason="the kvhlr tool is not built")
def test_provenance_lets_a_page_select_each_parts_lines(tmp_path):
    # The house and a shed beside it, two objects read as bodies.
    house = (MODELS / "regr01_house.obj").read_text()
    count = sum(1 for row in house.splitlines() if row.startswith("v "))
    shed = [f"v {x} {y} {z}" for x in (2000, 2400) for y in (0, 300) for z in (0, 250)]
    faces = [(1, 3, 4, 2), (5, 6, 8, 7), (1, 2, 6, 5), (3, 7, 8, 4), (1, 5, 7, 3), (2, 4, 8, 6)]
    model = tmp_path / "yard.obj"
    model.write_text("o house\n" + house + "\no shed\n" + "\n".join(shed) + "\n" +
                     "\n".join("f " + " ".join(str(count + v) for v in face) for face in faces) + "\n")
    common = [KVHLR, str(model), "-q", "--bodies", "--up-axis", "z", "--provenance"]
    subprocess.run(common + ["-o", str(tmp_path / "yard.svg")], check=True)
    subprocess.run(common + ["-o", str(tmp_path / "yard.json")], check=True)
    record = json.loads((tmp_path / "yard.json").read_text())
    assert record["bodies"] == ["house", "shed"]
    svg = "{http://www.w3.org/2000/svg}"
    page = ET.parse(tmp_path / "yard.svg").getroot()
    for body, name in enumerate(record["bodies"]):
        # What document.querySelectorAll('[data-part="NAME"] polyline') finds in a browser.
        selected = page.findall(f".//{svg}g[@data-part='{name}']/{svg}polyline")
        assert len(selected) == sum(line["body"] == body for line in record["lines"]) > 0
        # Each line's data-edge names the model edges its JSON line gives.
        in_svg = {frozenset(map(int, e.split("-"))) for p in selected for e in p.get("data-edge", "").split()}
        in_json = {frozenset(e) for line in record["lines"] if line["body"] == body for e in line["edges"] if e[0] >= 0}
        assert in_svg == in_json and in_json
    refused = subprocess.run(common + ["--hide-test", "specified", "-o", str(tmp_path / "x.svg")],
                             capture_output=True, text=True)
    assert refused.returncode != 0 and "--provenance" in refused.stderr
