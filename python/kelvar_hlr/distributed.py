"""Drawings on a Dask cluster: a drawing set of many files, each view or sheet a task, and one view of a
model too big for one machine, split into screen tiles.

In:  model files and kvhlr's options as keywords (draw_files); a model, a camera and a tile count, with a
     folder every worker can read (prepare_tiles, draw_tiled).
Out: the drawing files, written as kvhlr writes them, and a summary (draw_files); one drawing's lines,
     joined back across the tiles' borders (draw_tiled).

Optional: it needs Dask's distributed scheduler (Debian's python3-distributed), which `import kelvar_hlr`
never loads. `python -m kelvar_hlr.distributed --scheduler ADDRESS FILES... -o DIR/ [kvhlr options]`
draws a set from the command line.
"""

import argparse
import ctypes
import glob
import hashlib
import json
import os
import resource
import shutil
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Dict, List, NamedTuple, Optional, Sequence

import numpy as np

try:
    import distributed
    import fsspec  # Dask's own way to files and object stores
except ImportError as error:
    raise ImportError("kelvar_hlr.distributed needs Dask's distributed scheduler: install python3-distributed "
                      "(Debian) or the Python package 'distributed'") from error

from . import Camera, Cancelled, Drawing, Plane, draw, load_mesh, load_model
from ._core import draw_pieces, join_pieces

# kvhlr's options as keywords: those that choose the camera, those draw() takes and those save() takes.
_CAMERA_KEYWORDS = {"view", "up_axis", "perspective", "section"}
_DRAW_KEYWORDS = {"hidden", "silhouettes", "sharp", "sharp_angle", "exact", "intersections", "hatch_spacing",
                  "hatch_angle", "tangent_edges", "centre_lines"}
_SAVE_KEYWORDS = {"paper", "scale", "units", "views", "style", "order", "dashes", "projection", "orientation",
                  "title", "margin", "gap", "fit_arcs"}
_FORMATS = ("svg", "dxf", "pdf", "json")


class Result(NamedTuple):
    """One task of a drawing set: the model file, the drawing file and the error that stopped it, if any."""

    input: str
    output: str
    error: Optional[str]


def _client_or_local(client):
    """The client given, the one already running in this process, or a local cluster's, which the caller
    closes (the second value)."""
    if client is not None:
        return client, None
    try:
        return distributed.default_client(), None
    except ValueError:
        local = distributed.Client(distributed.LocalCluster(dashboard_address=None))
        return local, local


def _close_local(local):
    """Closes a local cluster made for a call: its client first, which would otherwise try again and again
    to reach the scheduler closed under it, filling standard error with its failures."""
    if local is not None:
        cluster = local.cluster
        local.close()
        cluster.close()


def _targets(paths, out, views, file_format):
    """Where each (model, view) pair is drawn to: `out` is a folder (existing or ending in '/'), each
    model's name (and view, when there are several) giving its file's, or a name holding {name} (and
    {view}). Raises ValueError naming out when two drawings would go to one file."""
    folder = out.endswith("/") or os.path.isdir(out)
    if not folder and "{name}" not in out:
        raise ValueError(f"out: a drawing set goes to a folder or to a name with {{name}} in it, not {out}")
    if not folder and len(views) > 1 and "{view}" not in out:
        raise ValueError(f"out: several views need {{view}} in the name {out}")
    targets, seen = [], set()
    for path in paths:
        name = Path(path).stem
        for view in views:
            if folder:
                stem = name if len(views) == 1 else f"{name}-{view}"
                target = os.path.join(out, f"{stem}.{file_format}")
            else:
                target = out.replace("{name}", name).replace("{view}", view or "")
            if target in seen:
                raise ValueError(f"out: two drawings would both be drawn to {target}")
            seen.add(target)
            targets.append((str(path), view, target))
    return targets


def _split(options):
    """kvhlr's options as keywords into the camera's, draw()'s and save()'s. Raises TypeError naming an
    unknown one."""
    unknown = set(options) - _CAMERA_KEYWORDS - _DRAW_KEYWORDS - _SAVE_KEYWORDS - {"layers", "format"}
    if unknown:
        raise TypeError(f"unexpected keyword argument '{sorted(unknown)[0]}'")
    draw_options = {key: options[key] for key in _DRAW_KEYWORDS & set(options)}
    save_options = {key: options[key] for key in _SAVE_KEYWORDS & set(options)}
    # A part's layers are drawn (each line's part found) and written; the up axis places the camera and
    # the sheet's other views.
    if options.get("layers") is not None:
        save_options["layers"] = options["layers"]
        draw_options["part_layers"] = str(options["layers"]).lower() == "parts"
    if options.get("up_axis") is not None:
        save_options["up_axis"] = options["up_axis"]
    return draw_options, save_options


def _remove_stale_temporaries(target):
    """The temporary files (kvhlr's `.NAME.kvhlr-XXXXXX`) an earlier attempt at this target left when its
    worker was killed mid-write: Dask runs a task again only once the attempt before it is over."""
    folder, name = os.path.split(target)
    for stale in glob.glob(os.path.join(glob.escape(folder or "."), f".{glob.escape(name)}.kvhlr-*")):
        os.remove(stale)


def _draw_file(path, view, target, camera_options, draw_options, save_options):
    """One task: a model file's view (or sheet) drawn and written to target as kvhlr writes it."""
    try:
        model = load_model(path)
        up_axis = camera_options.get("up_axis")
        section = camera_options.get("section")
        plane = Plane.named(section, model, up_axis=up_axis) if section else None
        if plane is not None and view is None:
            camera = plane.camera(model, up_axis=up_axis)
        else:
            camera = Camera.view(view or "iso", model, up_axis=up_axis,
                                 perspective=camera_options.get("perspective"))
        drawing = draw(model, camera, section=plane, **draw_options)
        os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
        _remove_stale_temporaries(target)
        drawing.save(target, **save_options)
    except (OSError, ValueError, Cancelled) as error:
        return Result(path, target, str(error))
    return Result(path, target, None)


def draw_files(paths: Sequence[Any], out: str, client=None, *, progress: bool = True,
               **options: Any) -> List[Result]:
    """Draws every model file of `paths` as kvhlr draws it, each view (or sheet) a task on the cluster of
    `client` (default: the client running in this process, else a local cluster made for the call).

    out is a folder (each file named after its model, and its view where `view` lists several) or a name
    holding {name} (and {view}); format ('svg', 'dxf', 'pdf', 'json') the files' format, default SVG. The
    other keywords are kvhlr's options, named as in Python: view (a name, or a list of names: a file for
    each), up_axis, perspective, section (a name as kvhlr's --section takes it), the keywords of draw()
    (hidden, silhouettes, sharp, sharp_angle, exact, intersections, hatch_spacing, hatch_angle,
    tangent_edges, centre_lines), layers ('kinds' or 'parts') and those of Drawing.save() (paper, scale,
    units, views, style, ...). The files are the bytes kvhlr writes, each written whole or not at all, so
    a task run again after its worker died leaves one file.

    A file that cannot be drawn is reported by name while the others go on. With progress, Dask's
    progress bar is shown and a summary printed to standard error at the end. Returns a Result per file,
    in the order of paths (and views). Raises TypeError for an unknown keyword and ValueError for an out
    that would put two drawings in one file, before any task starts."""
    options = {key: value for key, value in options.items() if value is not None}
    draw_options, save_options = _split(options)
    file_format = str(options.get("format", "svg")).lower()
    if file_format not in _FORMATS:
        raise ValueError(f"format: expected one of {', '.join(_FORMATS)}, not {file_format}")
    views = options.get("view", [None])
    views = [views] if isinstance(views, str) else list(views)
    camera_options = {key: options[key] for key in (_CAMERA_KEYWORDS - {"view"}) & set(options)}
    targets = _targets([os.fspath(path) for path in paths], out, views, file_format)

    client, local = _client_or_local(client)
    try:
        start = time.perf_counter()
        futures = [client.submit(_draw_file, path, view, target, camera_options, draw_options, save_options,
                                 pure=False)
                   for path, view, target in targets]
        if progress:
            distributed.progress(futures)
        distributed.wait(futures)
        results = []
        for (path, _, target), future in zip(targets, futures):
            # A result is asked for, not read from the future's status: a worker killed after a task
            # finished loses the result it held, and the scheduler runs the task again.
            try:
                results.append(future.result())
            except Exception as error:  # its worker died too often (KilledWorker), or what draw() never raises
                results.append(Result(path, target, f"{type(error).__name__}: {error}"))
        if progress:
            _print_summary(results, time.perf_counter() - start)
        return results
    finally:
        _close_local(local)


def _print_summary(results, seconds):
    failed = [result for result in results if result.error]
    print(f"\n{len(results) - len(failed)} of {len(results)} drawings written in {seconds:.1f} s", file=sys.stderr)
    for result in failed:
        print(f"{result.input} ({result.output}): {result.error}", file=sys.stderr)



# --- One view in screen tiles ---
#
# A tile's drawing is exact: the lines in a tile are edges whose projections meet it, and every triangle
# that hides a point of the tile covers that point, so both are among the triangles whose projected boxes
# meet the tile. Each tile is drawn through the view's own camera into the hide pass's pieces, unjoined,
# cut at the tile's borders; the client makes whole the pieces a border cut and joins all tiles' pieces
# at once with the library's joiner, which then makes the choices it makes for the whole model.

_TRIANGLES_PER_CHUNK = 1 << 22  # triangles sorted into tiles at a time, so that preparing stays in bounds
_INDEX = "index.json"
_BORDER_SHIFT = 0.0314159
_SAMPLED_TRIANGLES = 1 << 20
_MOST_TILES = 4096


def _projected(camera, points):
    """The points on the camera's screen (-1..1 across its frame), and whether each lies before its eye
    (always, for a parallel projection)."""
    transform = camera.projection @ camera.model_view
    clip = points @ transform[:, :3].T + transform[:, 3]
    before = clip[:, 3] > 0
    with np.errstate(divide="ignore", invalid="ignore"):
        return clip[:, :2] / clip[:, 3:], before


def _screen(camera, vertices):
    """The vertices on the camera's screen. Raises ValueError naming camera when a vertex lies at or
    behind a perspective eye, where its box on the screen means nothing."""
    screen, before = _projected(camera, vertices)
    if not before.all():
        raise ValueError("camera: a tiled view needs the whole model in front of a perspective camera's eye")
    return screen


def _borders(centres, count):
    """Where `count` columns (or rows) divide the triangles' centres evenly along one axis, shifted by an
    odd share of a step so that they keep off a symmetric model's own coordinates."""
    return np.quantile(centres, (np.arange(1, count) + _BORDER_SHIFT) / count)


def _grid(tiles, corners):
    """Columns and rows for `tiles`: a count, split as its divisors allow so that the fullest tile holds
    the fewest triangles (of a sample, given by their corners on the screen, each counted in every tile
    its box meets), or (columns, rows); and the borders of each."""
    centres = corners.mean(axis=1)
    if isinstance(tiles, int) and not isinstance(tiles, bool):
        if not 1 <= tiles <= _MOST_TILES:
            raise ValueError(f"tiles: expected 1 to {_MOST_TILES} tiles, not {tiles}")
        low, high = _of_corners(np.minimum, corners), _of_corners(np.maximum, corners)

        def fullest(columns):
            rows = tiles // columns
            x, y = _borders(centres[:, 0], columns), _borders(centres[:, 1], rows)
            first_column, last_column = np.searchsorted(x, low[:, 0]), np.searchsorted(x, high[:, 0]) + 1
            first_row, last_row = np.searchsorted(y, low[:, 1]), np.searchsorted(y, high[:, 1]) + 1
            # A triangle's tiles as four corners of a table whose sums along both axes count each tile's.
            table = sum(np.bincount(row * (columns + 1) + column, minlength=(rows + 1) * (columns + 1)) * sign
                        for row, column, sign in ((first_row, first_column, 1), (first_row, last_column, -1),
                                                  (last_row, first_column, -1), (last_row, last_column, 1)))
            counts = table.reshape(rows + 1, columns + 1).cumsum(axis=0).cumsum(axis=1)
            return counts.max(), abs(columns - rows)

        columns = min((c for c in range(1, tiles + 1) if tiles % c == 0), key=fullest)
        rows = tiles // columns
    else:
        try:
            columns, rows = (int(count) for count in tiles)
        except (TypeError, ValueError):
            raise TypeError(f"tiles: expected a count or (columns, rows), not {tiles!r}") from None
        if columns < 1 or rows < 1 or columns * rows > _MOST_TILES:
            raise ValueError(f"tiles: expected at least one column and one row, {_MOST_TILES} tiles at most, "
                             f"not {tiles!r}")
    return columns, rows, _borders(centres[:, 0], columns), _borders(centres[:, 1], rows)


def _of_corners(function, corners):
    """function (np.minimum or np.maximum) of each triangle's three corners (rows of `corners`), a few
    times faster than numpy's reduction along so short an axis."""
    return function(function(corners[:, 0], corners[:, 1]), corners[:, 2])


def _axes(camera, points, screen):
    """The points' coordinates along each axis whose extent the library's tolerances follow: the model's
    three, the camera's view space's three (its depth is on no other) and the screen's two (`screen`,
    the points on it)."""
    yield from points.T
    for row in camera.model_view[:3]:
        yield points @ row[:3] + row[3]
    yield from screen.T


def _apexes(vertices, corners, camera, limits):
    """For each far triangle a tile holds only for its reach, a point behind it (a tenth of its longest
    side from its centre, against the normal its winding gives) that closes it into a small tetrahedron,
    wound as the triangle is, within the model's extent along every axis of _axes (limits: the least
    and the greatest coordinates along each); NaN where there is none. Unclosed, the far triangles would
    stretch the library's search grid for intersection lines over the whole model's extent for every
    tile: a third of a tile's memory."""
    points = vertices[corners]
    normals = np.cross(points[:, 1] - points[:, 0], points[:, 2] - points[:, 0])
    lengths = np.linalg.norm(normals, axis=1)
    sides = np.linalg.norm(points - np.roll(points, 1, axis=1), axis=2).max(axis=1)
    with np.errstate(divide="ignore", invalid="ignore"):
        apexes = points.mean(axis=1) - 0.1 * (sides / lengths)[:, None] * normals
        screen, before = _projected(camera, apexes)
        coordinates = np.stack(list(_axes(camera, apexes, screen)), axis=1)
    inside = (lengths > 0) & before & np.all((coordinates >= limits[0]) & (coordinates <= limits[1]), axis=1)
    apexes[~inside] = np.nan
    return apexes


def _camera_record(camera):
    return {"model_view": camera.model_view.tolist(), "projection": camera.projection.tolist(),
            "near": camera.near, "far": camera.far}


def _write_array(url, array):
    with fsspec.open(url, "wb") as out:
        np.save(out, array)


def _read_array(url):
    with fsspec.open(url, "rb") as source:
        return np.load(source)


def prepare_tiles(mesh, camera: Camera, tiles, store: str) -> Dict[str, Any]:
    """Writes the tiled copy of a model for draw_tiled: each tile's triangles (those whose box on the
    screen of `camera` meets the tile, a triangle in every tile it meets) with their vertices, as numpy
    files, and an index (index.json) of the camera, the tiles' borders and each tile's files and counts.

    mesh is a model file (read as load_mesh reads it) or a (vertices, triangles) pair of arrays; tiles a
    count (from 1 to 4096, split into the columns and rows whose fullest tile holds the fewest triangles)
    or (columns, rows); store a folder or any
    location fsspec opens (s3://..., with its file system installed) that every worker can read. The
    triangles are sorted a few million at a time. Returns the index."""
    vertices, triangles = load_mesh(mesh) if isinstance(mesh, (str, os.PathLike)) else mesh
    vertices = np.ascontiguousarray(vertices, dtype=np.float64)
    triangles = np.ascontiguousarray(triangles, dtype=np.uint32)
    if vertices.ndim != 2 or vertices.shape[1] != 3 or triangles.ndim != 2 or triangles.shape[1] != 3:
        raise ValueError("mesh: expected vertices (N, 3) and triangles (M, 3)")
    if not len(triangles):
        raise ValueError("mesh: no triangles to draw")
    if triangles.max() >= len(vertices):
        raise ValueError("mesh: a triangle refers to a vertex beyond the vertices")
    screen = _screen(camera, vertices)
    low, high = screen.min(axis=0), screen.max(axis=0)
    sample = triangles[::max(1, len(triangles) // _SAMPLED_TRIANGLES)]
    columns, rows, x_borders, y_borders = _grid(tiles, screen[sample])
    # A triangle within the library's tolerances of a tile may hide a line on its border.
    margin = 1e-6 * max(float(np.max(high - low)), 1e-300)
    members = [[] for _ in range(columns * rows)]
    # The library's tolerances follow the model's extent in space, in the camera's view space and on the
    # screen, so every tile also holds the triangles that reach furthest along each of these axes: its
    # tolerances are then the whole view's. Their lines outside the tile are cut away, and inside it they
    # are the tile's own.
    reach = {}
    for first in range(0, len(triangles), _TRIANGLES_PER_CHUNK):
        chunk = triangles[first:first + _TRIANGLES_PER_CHUNK]
        for axis, coordinates in enumerate(_axes(camera, vertices, screen)):
            values = coordinates[chunk]
            for end, pick, furthest in ((0, np.argmin, np.minimum), (1, np.argmax, np.maximum)):
                extremes = _of_corners(furthest, values)
                at = pick(extremes)
                value = extremes[at]
                best = reach.get((axis, end))
                if best is None or (value < best[0] if end == 0 else value > best[0]):
                    reach[(axis, end)] = (value, first + at)
        corners = screen[chunk]
        box_low, box_high = _of_corners(np.minimum, corners) - margin, _of_corners(np.maximum, corners) + margin
        column_low = np.searchsorted(x_borders, box_low[:, 0], "left")
        column_high = np.searchsorted(x_borders, box_high[:, 0], "right")
        row_low = np.searchsorted(y_borders, box_low[:, 1], "left")
        row_high = np.searchsorted(y_borders, box_high[:, 1], "right")
        for column in range(columns):
            in_column = np.flatnonzero((column_low <= column) & (column_high >= column))
            for row in range(rows):
                chosen = in_column[(row_low[in_column] <= row) & (row_high[in_column] >= row)]
                members[row * columns + column].append(chosen + first)
    fs, root = fsspec.core.url_to_fs(store)
    fs.makedirs(root, exist_ok=True)
    entries = []
    anchors = np.array(sorted({at for _, at in reach.values()}), dtype=np.int64)
    limits = np.array([[reach[(axis, end)][0] for axis in range(len(reach) // 2)] for end in (0, 1)])
    apexes = _apexes(vertices, triangles[anchors], camera, limits)
    # Each closed far triangle's box on the screen, its apex's point included (NaN for none).
    with np.errstate(invalid="ignore"):
        tips = _projected(camera, apexes)[0]
    anchor_corners = screen[triangles[anchors]]
    tetra_low = np.minimum(_of_corners(np.minimum, anchor_corners), tips)
    tetra_high = np.maximum(_of_corners(np.maximum, anchor_corners), tips)
    x_limits = np.concatenate([[-np.inf], x_borders, [np.inf]])
    y_limits = np.concatenate([[-np.inf], y_borders, [np.inf]])
    # A tile's triangles and vertices are marked rather than sorted out: in the order of the mesh's.
    chosen, used_mask = np.zeros(len(triangles), dtype=bool), np.zeros(len(vertices), dtype=bool)
    for tile, chunks in enumerate(members):
        chosen[:] = False
        for chunk in chunks:
            chosen[chunk] = True
        own = np.flatnonzero(chosen)
        far = ~chosen[anchors]
        tile_triangles = triangles[np.concatenate([own, anchors[far]])]
        used_mask[:] = False
        used_mask[tile_triangles] = True
        used = np.flatnonzero(used_mask)
        local = np.cumsum(used_mask, dtype=np.uint32)[tile_triangles] - 1
        # The far triangles closed by their apexes, each its own body, which the library's search for
        # intersection lines knows cannot cross itself.
        # A far triangle whose apex would reach into the tile stays open: the tetrahedron's own lines
        # and what it hid there are no part of the model. Open, it lies wholly outside the tile.
        column, row = tile % columns, tile // columns
        reaches = np.all((tetra_high[far] >= [x_limits[column] - margin, y_limits[row] - margin]) &
                         (tetra_low[far] <= [x_limits[column + 1] + margin, y_limits[row + 1] + margin]), axis=1)
        closed = ~np.isnan(apexes[far, 0]) & ~reaches
        corners = local[len(own):][closed]
        tips = len(used) + np.arange(len(corners))[:, None]
        sides = np.concatenate([corners, corners[:, [1, 0]], tips, corners[:, [2, 1]], tips, corners[:, [0, 2]], tips],
                               axis=1).reshape(-1, 3)
        _write_array(f"{store}/tile-{tile}-vertices.npy", np.concatenate([vertices[used], apexes[far][closed]]))
        _write_array(f"{store}/tile-{tile}-triangles.npy",
                     np.concatenate([local[:len(own)], local[len(own):][~closed], sides]).astype(np.uint32))
        # Each triangle's number in the mesh, by which the tiles' pieces are put in one run's order; the
        # sides that close a far triangle have none (-1).
        far_ids = anchors[far]
        closing = np.full((int(closed.sum()), 4), -1, dtype=np.int64)
        closing[:, 0] = far_ids[closed]
        _write_array(f"{store}/tile-{tile}-ids.npy", np.concatenate([own, far_ids[~closed], closing.ravel()]))
        entries.append({"triangles": len(tile_triangles), "vertices": len(used)})
        members[tile] = None
    index = {"source": _source_key(mesh), "camera": _camera_record(camera), "columns": columns, "rows": rows,
             "x_borders": x_borders.tolist(), "y_borders": y_borders.tolist(), "screen_box": [low.tolist(), high.tolist()],
             "triangles": len(triangles),
             "tiles": entries}
    with fsspec.open(f"{store}/{_INDEX}", "w") as out:
        json.dump(index, out)
    return index


def _clip(ends, low, high):
    """The pieces (segments, ends (N, 2, 2) on the screen) cut to the box from low to high (x, y): those
    that meet it, as (ends, cut, kept): cut[i] giving for piece i's first and last end the axis of the border it
    was cut at (0 x, 1 y), or -1 where it is the piece's own end. A piece lying along the box's upper x
    or y border is left to the next tile, so that no tile hands it back twice. kept tells which of the
    pieces given these are."""
    start, step = ends[:, 0], ends[:, 1] - ends[:, 0]
    t_in, t_out = np.zeros(len(start)), np.ones(len(start))
    # The border each piece is cut at, where it is: its axis and coordinate.
    in_axis, out_axis = np.zeros(len(start), dtype=np.int64), np.zeros(len(start), dtype=np.int64)
    in_border, out_border = np.zeros(len(start)), np.zeros(len(start))
    with np.errstate(divide="ignore", invalid="ignore", over="ignore"):
        for axis in (0, 1):
            for bound, sign in ((low[axis], 1.0), (high[axis], -1.0)):
                # sign * (start + t * step - bound) >= 0 within the box
                distance, rate = sign * (start[:, axis] - bound), sign * step[:, axis]
                t = -distance / rate
                enters, leaves = (rate > 0) & (t > t_in), (rate < 0) & (t < t_out)
                t_in[enters], in_axis[enters], in_border[enters] = t[enters], axis, bound
                t_out[leaves], out_axis[leaves], out_border[leaves] = t[leaves], axis, bound
                outside = (rate == 0) & (distance < 0)
                t_in[outside], t_out[outside] = 1.0, 0.0
    on_upper = np.zeros(len(start), dtype=bool)
    for axis in (0, 1):
        on_upper |= (start[:, axis] == high[axis]) & (ends[:, 1, axis] == high[axis])
    kept = (t_in < t_out) & ~on_upper
    t_in, t_out, start, step = t_in[kept, None], t_out[kept, None], start[kept], step[kept]
    out = np.stack([np.where(t_in <= 0.0, start, start + t_in * step),
                    np.where(t_out >= 1.0, start + step, start + t_out * step)], axis=1)
    cut = np.stack([np.where(t_in[:, 0] > 0.0, in_axis[kept], -1), np.where(t_out[:, 0] < 1.0, out_axis[kept], -1)],
                   axis=1)
    # Points cut at a border lie on it exactly, so that the neighbour's pieces meet them.
    for side, border in ((0, in_border[kept]), (1, out_border[kept])):
        at = np.flatnonzero(cut[:, side] >= 0)
        out[at, side, cut[at, side]] = border[at]
    return out, cut, kept


def _release_freed_memory():
    """Hands the memory the C library's allocator holds free back to the system, where it can (glibc's
    malloc_trim): a drawing frees most of what it took in pieces the allocator keeps, which the next tile
    on the worker would otherwise start above, counted against the worker's limit."""
    try:
        ctypes.CDLL("libc.so.6").malloc_trim(0)
    except (OSError, AttributeError):
        pass


def _reset_peak_memory():
    """Starts the process's peak memory afresh, where Linux allows it, so that a tile's peak is its own."""
    try:
        with open("/proc/self/clear_refs", "w") as clear:
            clear.write("5")
    except OSError:
        pass


def _peak_memory():
    """The process's peak resident memory in bytes since it started or was reset: Linux's VmHWM, which,
    unlike getrusage's, leaves out the parent's memory that a spawned worker process inherits a count of."""
    try:
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


def _run_places(places, ids):
    """The pieces' places (draw_pieces) in the whole model's terms, as (N, 3) keys whose order is one
    run's order of edges: (0, triangle, side) for a model edge, (2, first, second) for an intersection
    line, with the triangles' numbers in the mesh (`ids`, one a triangle of the tile); (1, -1, -1) for a
    piece of no such edge. A triangle that closes a far one sorts after all."""
    keys = np.full((len(places), 3), -1, dtype=np.int64)
    keys[:, 0] = 1
    last = np.iinfo(np.int64).max

    def mesh_ids(positions):
        found = ids[positions]
        return np.where(found < 0, last, found)

    edges, crossings = places[:, 0] == 0, places[:, 0] == 1
    keys[edges] = np.stack([np.zeros(int(edges.sum()), dtype=np.int64), mesh_ids(places[edges, 1]),
                            places[edges, 2]], axis=1)
    keys[crossings] = np.stack([np.full(int(crossings.sum()), 2, dtype=np.int64), mesh_ids(places[crossings, 1]),
                                mesh_ids(places[crossings, 2])], axis=1)
    return keys


def _draw_tile(store, tile, box, camera, options):
    """One task: a tile's triangles drawn through the whole view's camera into the hide pass's pieces,
    unjoined, cut to the tile's box (on the screen). Returns the pieces (ends, types, nodes, cut, places
    as _run_places gives them) with the tile's triangle count, seconds and the worker's peak memory."""
    start = time.perf_counter()
    _release_freed_memory()
    _reset_peak_memory()
    vertices = _read_array(f"{store}/tile-{tile}-vertices.npy")
    triangles = _read_array(f"{store}/tile-{tile}-triangles.npy")
    count = len(triangles)
    ends, types, nodes, places = draw_pieces(vertices, triangles, camera, **options) if count else \
        (np.zeros((0, 2, 2)), np.zeros(0, dtype=np.int32), np.zeros((0, 2), dtype=np.int64),
         np.zeros((0, 3), dtype=np.int64))
    ids = _read_array(f"{store}/tile-{tile}-ids.npy")
    if ids.shape != (count,):
        raise ValueError(f"{store}/tile-{tile}-ids.npy: {len(ids)} triangle numbers for the tile's {count} "
                         "triangles: the store is damaged (prepare_tiles writes it again)")
    del vertices, triangles
    inside, cut, kept = _clip(ends, box[:2], box[2:])
    pieces = (inside, types[kept], nodes[kept], cut, _run_places(places[kept], ids))
    peak = _peak_memory()
    _release_freed_memory()
    return pieces, {"tile": tile, "triangles": count, "pieces": len(pieces[1]), "cut": int((cut >= 0).any(axis=1).sum()),
                    "seconds": time.perf_counter() - start, "peak_bytes": peak, "worker": distributed.get_worker().address}


def _fuse(tile_pieces, tolerance):
    """The tiles' pieces (ends, types, nodes, cut, places, as _draw_tile gives them) made whole where a
    border cut one: two pieces of one type from different tiles, cut at one point of a border (within
    `tolerance` along it), become the piece between their other ends, as the whole model's drawing has
    it, in the place of the first. The nodes are told apart across the tiles (each tile's numbers after
    the tiles' before it); an end cut at a border with no piece on the other side is a node of its own.
    Returns (ends, types, nodes, places)."""
    ends = np.concatenate([pieces[0] for pieces in tile_pieces]).reshape(-1, 2)
    types = np.concatenate([pieces[1] for pieces in tile_pieces])
    bases = np.cumsum([0] + [int(pieces[2].max()) + 1 if len(pieces[2]) else 0 for pieces in tile_pieces])
    nodes = np.concatenate([pieces[2] + base for pieces, base in zip(tile_pieces, bases)]).ravel()
    cut = np.concatenate([pieces[3] for pieces in tile_pieces]).ravel()
    places = np.concatenate([pieces[4] for pieces in tile_pieces])
    tiles = np.repeat(np.arange(len(tile_pieces)), [len(pieces[1]) for pieces in tile_pieces])
    # End 2p is piece p's first, 2p + 1 its last; the cut ones meet their partners in order along a border.
    at = np.flatnonzero(cut >= 0)
    nodes[at] = bases[-1] + np.arange(len(at))
    axis = cut[at]
    along, across = ends[at, axis], ends[at, 1 - axis]
    order = np.lexsort((across, along, axis, types[at // 2]))
    at, along, across, axis = at[order], along[order], across[order], axis[order]
    link = {}
    for i in range(len(at) - 1):
        a, b = int(at[i]), int(at[i + 1])
        if a in link or axis[i] != axis[i + 1] or along[i] != along[i + 1] or types[a // 2] != types[b // 2] \
                or across[i + 1] - across[i] > tolerance or tiles[a // 2] == tiles[b // 2]:
            continue
        link[a], link[b] = b, a
    whole = np.ones(len(types), dtype=bool)
    whole[[end // 2 for end in link]] = False
    fused = []  # (first end, last end) of each chain of pieces made whole
    for head in sorted({end // 2 for end in link}):
        for free in (0, 1):
            if 2 * head + free not in link and 2 * head + 1 - free in link:
                leave = 2 * head + 1 - free
                while leave in link:
                    leave = link[leave] ^ 1
                if head < leave // 2:  # each chain once, from its lesser end
                    fused.append((2 * head + free, leave))
    fused = np.array(fused, dtype=np.int64).reshape(-1, 2)
    # Each from the first end of its first piece to the last end of its last, as the edge runs.
    fused[fused[:, 0] % 2 == 1] = fused[fused[:, 0] % 2 == 1][:, ::-1]
    return (np.concatenate([ends.reshape(-1, 2, 2)[whole], ends[fused]]),
            np.concatenate([types[whole], types[fused[:, 0] // 2]]),
            np.concatenate([nodes.reshape(-1, 2)[whole], nodes[fused]]),
            np.concatenate([places[whole], places[fused[:, 0] // 2]]))


def _in_run_order(ends, types, nodes, places):
    """The pieces (as _fuse gives them) in the order, and with their nodes numbered in the order, of one
    run over the whole model, on which the joiner's near ties depend: the edges in the order of their
    places, the pieces of each along it from its start, and the nodes as the run numbers them, each
    edge's start and end when first met and then its cuts along it. Returns (ends, types, nodes)."""
    # A piece of no known edge keeps its own place among the others of its kind.
    alone = places[:, 0] == 1
    places = places.copy()
    places[alone, 1] = np.flatnonzero(alone)
    edges, edge = np.unique(places, axis=0, return_inverse=True)
    edge = edge.ravel()
    # Along each edge by the pieces' ends projected on its direction (its pieces all run that way).
    direction = np.zeros((len(edges), 2))
    np.add.at(direction, edge, ends[:, 1] - ends[:, 0])
    along_from = np.einsum("ij,ij->i", ends[:, 0], direction[edge])
    along_to = np.einsum("ij,ij->i", ends[:, 1], direction[edge])
    order = np.lexsort((along_to, along_from, edge))
    ends, types, nodes, edge = ends[order], types[order], nodes[order], edge[order]
    first = np.searchsorted(edge, np.arange(len(edges)))
    last = np.append(first[1:], len(edge))[:len(first)] - 1
    # Met in this sequence: each edge's start and end, then its pieces' ends in order.
    met = np.concatenate([np.stack([nodes[first, 0], nodes[last, 1]], axis=1), nodes])
    rank = np.concatenate([np.stack([edge[first], np.zeros(len(first), dtype=np.int64)], axis=1),
                           np.stack([edge, 1 + np.arange(len(edge))], axis=1)])
    sequence = met[np.lexsort((rank[:, 1], rank[:, 0]))].ravel()
    unique, first_met = np.unique(sequence, return_index=True)
    number = np.empty(len(unique), dtype=np.int64)
    number[np.argsort(first_met)] = np.arange(len(unique))
    return ends, types, number[np.searchsorted(unique, nodes)]


class TiledDrawing(NamedTuple):
    """A view drawn in tiles and joined: its lines as Drawing's three arrays (line i is
    points[offsets[i]:offsets[i + 1]], of kind kinds[i]), its camera, and per tile its triangles, the
    unjoined pieces of lines it handed back and how many of them its borders cut, seconds, the worker that
    drew it and that worker's peak memory."""

    points: np.ndarray
    offsets: np.ndarray
    kinds: np.ndarray
    camera: Camera
    tiles: List[Dict[str, Any]]

    def save(self, path, **keywords: Any) -> None:
        """Writes the drawing as Drawing.save() does, with its keywords but views: a tiled drawing holds no
        mesh to draw other views from (ValueError naming views)."""
        if keywords.get("views") is not None:
            raise ValueError("views: a tiled drawing holds no mesh to draw other views from")
        drawing = Drawing.__new__(Drawing)
        # A Drawing's pickled state, with an empty mesh as its source.
        source = (np.zeros((0, 3)), np.zeros((0, 3), dtype=np.uint32), None, {}, "")
        # No curves, no provenance rows (nor B-rep edges), every line's occlusion level 0.
        drawing.__setstate__((self.camera, self.points, self.offsets, self.kinds, [], np.zeros(0, dtype=np.uint32),
                              [], source, np.zeros((0, 8)), np.zeros((0, 5), dtype=np.uint32),
                              np.zeros(len(self.kinds), dtype=np.int32), False))
        drawing.save(path, **keywords)


def _source_key(mesh):
    """What the tiled copy was made from: a file by its path, size and time of change; arrays by digest."""
    if isinstance(mesh, (str, os.PathLike)):
        status = os.stat(mesh)
        return f"{os.path.abspath(mesh)}:{status.st_size}:{status.st_mtime_ns}"
    digest = hashlib.sha1()
    for array in mesh:
        digest.update(np.ascontiguousarray(array).data)
    return digest.hexdigest()


def _stored_index(store):
    try:
        with fsspec.open(f"{store}/{_INDEX}", "r") as source:
            return json.load(source)
    except FileNotFoundError:
        return None


def draw_tiled(path, camera: Camera, tiles, client=None, *, store: Optional[str] = None,
               **options: Any) -> TiledDrawing:
    """Draws one view of a model too big for one worker: split into screen tiles (a count, or (columns,
    rows)), each tile drawn by a task from the tiled copy of the model in `store` (prepare_tiles), its
    lines cut at the tile's borders, and the pieces joined again across them. The store is prepared first
    unless it holds a copy of this model for this camera and these tiles; without a store, a temporary
    folder is used (for a local cluster) and removed after. The keywords are draw()'s (hidden, sharp,
    exact, ...; not section).

    Each tile hands back the hide pass's pieces unjoined (draw_pieces), cut to the tile; the pieces a
    border cut are made whole, all are put in the order of one run over the whole model, and joined at
    once by the library's joiner (join_pieces), as in draw() on the whole model. The result's lines are
    draw()'s, line for line (docs/distributed.md). Raises TypeError for an unknown keyword, ValueError for
    bad tiles, and what draw() raises."""
    if "section" in options or "progress" in options:
        raise TypeError(f"draw_tiled() got an unexpected keyword argument "
                        f"'{'section' if 'section' in options else 'progress'}'")
    temporary = tempfile.mkdtemp(prefix="kelvar-tiles-") if store is None else None
    store = temporary or store.rstrip("/")
    client, local = _client_or_local(client)
    try:
        index = _stored_index(store)
        if index is None or index["source"] != _source_key(path) or index["camera"] != _camera_record(camera) \
                or (not isinstance(tiles, int) and [index["columns"], index["rows"]] != list(tiles)) \
                or (isinstance(tiles, int) and index["columns"] * index["rows"] != tiles):
            index = prepare_tiles(path, camera, tiles, store)
        xs = np.concatenate([[-np.inf], index["x_borders"], [np.inf]])
        ys = np.concatenate([[-np.inf], index["y_borders"], [np.inf]])
        columns = index["columns"]
        boxes = [(xs[tile % columns], ys[tile // columns], xs[tile % columns + 1], ys[tile // columns + 1])
                 for tile in range(len(index["tiles"]))]
        futures = [client.submit(_draw_tile, store, tile, box, camera, options, pure=False)
                   for tile, box in enumerate(boxes)]
        results = client.gather(futures)
        screen_box = np.array(index["screen_box"])
        ends, types, nodes = _in_run_order(*_fuse([pieces for pieces, _ in results],
                                                  1e-9 * float(np.max(screen_box[1] - screen_box[0]))))
        points, offsets, kinds = join_pieces(ends, types, nodes, camera, screen_box, **options)
        return TiledDrawing(points, offsets, kinds, camera, [stats for _, stats in results])
    finally:
        _close_local(local)
        if temporary is not None:
            shutil.rmtree(temporary, ignore_errors=True)


def _arguments(argv):
    parser = argparse.ArgumentParser(
        prog="python -m kelvar_hlr.distributed",
        description="Draws model files on a Dask cluster as kvhlr draws them, each view or sheet a task.")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the Dask scheduler (tcp://HOST:PORT); default: a local cluster on this machine")
    parser.add_argument("inputs", nargs="+", metavar="FILES", help="model files")
    parser.add_argument("-o", "--output", required=True,
                        help="a folder (DIR/) or a name with {name} (and {view}) in it")
    parser.add_argument("--format", type=str.lower, choices=_FORMATS)
    parser.add_argument("--view", type=lambda text: text.lower().split(","),
                        help="a named view, or several separated by commas: a file for each")
    parser.add_argument("--views", type=lambda text: text.lower().split(","), help="the views of a sheet")
    parser.add_argument("--up-axis", type=str.lower, choices=["y", "z"])
    parser.add_argument("--perspective", type=float, metavar="DEGREES")
    parser.add_argument("--section", metavar="PLANE")
    parser.add_argument("--hatch-spacing", type=float)
    parser.add_argument("--hatch-angle", type=float)
    parser.add_argument("--hidden", action="store_true", default=None)
    parser.add_argument("--no-silhouettes", dest="silhouettes", action="store_false", default=None)
    parser.add_argument("--no-sharp", dest="sharp", action="store_false", default=None)
    parser.add_argument("--no-intersections", dest="intersections", action="store_false", default=None)
    parser.add_argument("--no-centre-lines", dest="centre_lines", action="store_false", default=None)
    parser.add_argument("--tangent-edges", action="store_true", default=None)
    parser.add_argument("--sharp-angle", type=float)
    parser.add_argument("--hide-test", choices=["exact", "specified"])
    parser.add_argument("--layers", choices=["kinds", "parts"])
    for name in ("paper", "orientation", "scale", "units", "projection", "style", "order", "dashes"):
        parser.add_argument(f"--{name}")
    parser.add_argument("--margin", type=float)
    parser.add_argument("--gap", type=float)
    parser.add_argument("--fit-arcs", type=float, metavar="MM")
    parser.add_argument("--no-title", dest="title", action="store_false", default=None)
    return parser.parse_args(argv)


def main(argv: Optional[List[str]] = None) -> int:
    arguments = vars(_arguments(argv))
    scheduler, paths, out = arguments.pop("scheduler"), arguments.pop("inputs"), arguments.pop("output")
    hide_test = arguments.pop("hide_test")
    if hide_test is not None:
        arguments["exact"] = hide_test == "exact"
    try:
        client = distributed.Client(scheduler) if scheduler else None
        results = draw_files(paths, out, client, **arguments)
    except (OSError, ValueError, TypeError) as error:
        print(f"kelvar_hlr.distributed: {error}", file=sys.stderr)
        return 2
    return 1 if any(result.error for result in results) else 0


if __name__ == "__main__":
    # Run as a script, this file is __main__, whose functions Dask would send by value with everything
    # they refer to; the package's module sends them by name.
    from kelvar_hlr.distributed import main as package_main

    sys.exit(package_main())
