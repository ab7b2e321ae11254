"""One view of a model too big for a worker (kelvar_hlr.distributed.draw_tiled): a 20M-triangle mesh drawn
in 8 tiles by local worker processes limited to 1 GB each, which Dask would kill past it, gives the
drawing one process makes of the whole mesh."""

import os
import resource
import time

import numpy as np
import pytest

distributed = pytest.importorskip("distributed", reason="Dask's distributed scheduler (python3-distributed)")
import kelvar_hlr as kh  # noqa: E402
from kelvar_hlr._core import draw_pieces  # noqa: E402
from kelvar_hlr.distributed import draw_tiled, prepare_tiles  # noqa: E402
from meshes import sphere  # noqa: E402

TRIANGLES = int(os.environ.get("KVHLR_TILED_TRIANGLES", 20_000_000))
PIXELS = 4096  # the comparison's resolution: a line may move by a 4096th of the drawing


def peak_mb():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024


def boxes(count):
    """A row of `count` boxes along x, each turned a little more about y: sharp edges at every angle."""
    corners = np.array([[x, y, z] for z in (0, 1) for y in (0, 1) for x in (0, 1)], dtype=float) - 0.5
    faces = np.array([[0, 2, 1], [1, 2, 3], [4, 5, 6], [5, 7, 6], [0, 1, 4], [1, 5, 4], [2, 6, 3], [3, 6, 7],
                      [0, 4, 2], [2, 4, 6], [1, 3, 5], [3, 7, 5]])
    angles = np.linspace(0, np.pi / 2, count)
    turn = np.stack([np.stack([np.cos(angles), np.zeros(count), np.sin(angles)], -1), np.tile([0.0, 1, 0], (count, 1)),
                     np.stack([-np.sin(angles), np.zeros(count), np.cos(angles)], -1)], 1)
    vertices = np.einsum("bij,vj->bvi", turn, corners * [0.3, 1.6, 0.3]) + np.stack(
        [np.linspace(-3.6, 3.6, count), np.zeros(count), np.full(count, 1.6)], -1)[:, None]
    return vertices.reshape(-1, 3), (np.arange(count)[:, None, None] * 8 + faces).reshape(-1, 3)


def scene(triangles):
    """Five spheres in a row that hide each other in the iso view, and boxes before them."""
    parts = [sphere(int(np.sqrt(triangles / 20)), [2.0 * k - 4, 0.3 * (k % 2), -0.4 * k], 1.3) for k in range(5)]
    parts.append(boxes(24))
    vertices, triangles, base = [], [], 0
    for part_vertices, part_triangles in parts:
        vertices.append(part_vertices)
        triangles.append(part_triangles + base)
        base += len(part_vertices)
    return np.concatenate(vertices), np.concatenate(triangles).astype(np.uint32)


def rasters(points, offsets, kinds, frame):
    """Each kind's lines as pixels of the frame (low x, low y, size), sampled at a third of a pixel."""
    images = {}
    last = np.zeros(len(points), dtype=bool)
    last[offsets[1:] - 1] = True
    kind_of_point = np.repeat(kinds, np.diff(offsets))
    start, end, kind = points[:-1][~last[:-1]], points[1:][~last[:-1]], kind_of_point[:-1][~last[:-1]]
    pixel = frame[2] / PIXELS
    steps = np.maximum(np.ceil(np.linalg.norm(end - start, axis=1) / pixel * 3), 1).astype(np.int64)
    segment = np.repeat(np.arange(len(start)), steps + 1)
    t = (np.arange(len(segment)) - np.repeat(np.cumsum(steps + 1) - steps - 1, steps + 1)) / steps[segment]
    samples = start[segment] + t[:, None] * (end - start)[segment]
    cells = np.clip(((samples - frame[:2]) / pixel).astype(np.int64), 0, PIXELS - 1)
    for value in np.unique(kind):
        image = np.zeros((PIXELS + 2, PIXELS + 2), dtype=bool)
        chosen = cells[kind[segment] == value]
        image[chosen[:, 1] + 1, chosen[:, 0] + 1] = True
        images[int(value)] = image
    return images


def grown(image):
    out = image.copy()
    for dy in (-1, 0, 1):
        for dx in (-1, 0, 1):
            out[1:-1, 1:-1] |= image[1 + dy:image.shape[0] - 1 + dy, 1 + dx:image.shape[1] - 1 + dx]
    return out


def lengths(points, offsets, kinds):
    segment_lengths = np.linalg.norm(np.diff(points, axis=0), axis=1)
    segment_lengths[offsets[1:-1] - 1] = 0.0  # between lines
    per_point = np.append(segment_lengths, 0.0)
    kind_of_point = np.repeat(kinds, np.diff(offsets))
    return {int(kind): float(per_point[kind_of_point == kind].sum()) for kind in np.unique(kinds)}


def canonical(points, offsets, kinds):
    """Each line as (kind, its points) the same whichever way it runs and, if closed, wherever it starts:
    from its least point, on towards the lesser of its neighbours."""
    lines = []
    for kind, first, stop in zip(kinds, offsets[:-1], offsets[1:]):
        line = points[first:stop]
        if len(line) > 2 and (line[0] == line[-1]).all():
            ring = np.roll(line[:-1], -np.lexsort(line[:-1].T[::-1])[0], axis=0)
            if tuple(ring[-1]) < tuple(ring[1]):
                ring = np.roll(ring[::-1], 1, axis=0)
            line = np.concatenate([ring, ring[:1]])
        elif tuple(line[-1]) < tuple(line[0]):
            line = line[::-1]
        lines.append((int(kind), line))
    return lines


def unmatched(own, theirs, tolerance):
    """The lines of theirs with no line of own of their kind within `tolerance` point for point (each line
    of own matched once), and the lines of own left over."""
    groups = {}
    for kind, line in own:
        groups.setdefault((kind, len(line)), []).append(line)
    missing = 0
    for kind, line in theirs:
        group = groups.get((kind, len(line)), [])
        near = [i for i, other in enumerate(group) if np.abs(other - line).max() <= tolerance]
        if near:
            group.pop(near[0])
        else:
            missing += 1
    return missing, sum(len(group) for group in groups.values())


def test_a_view_too_big_for_each_worker_drawn_in_tiles_is_the_whole_drawing(tmp_path):
    vertices, triangles = scene(TRIANGLES)
    camera = kh.Camera.view("iso", vertices)
    start = time.perf_counter()
    whole = kh.draw(vertices, triangles, camera, hidden=True)
    print(f"one process: {time.perf_counter() - start:.1f} s, peak {peak_mb()} MB")
    expected = (whole.points, whole.offsets, whole.kinds)
    del whole
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, memory_limit="1GB",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        start = time.perf_counter()
        tiled = draw_tiled((vertices, triangles), camera, 8, client, store=str(tmp_path / "tiles"), hidden=True)
        print(f"8 tiles: {time.perf_counter() - start:.1f} s;", tiled.tiles)
    # The tiles together hold every triangle, those on borders more than once, and each worker stayed
    # under its limit (Dask ends a worker that passes it, and the task would have failed).
    counts = [tile["triangles"] for tile in tiled.tiles]
    assert len(counts) == 8 and sum(counts) >= len(triangles) and max(counts) < len(triangles) / 6
    assert max(tile["peak_bytes"] for tile in tiled.tiles) < 1e9

    # The same stretches of each kind, within a pixel of a 4096-pixel image.
    low = expected[0].min(axis=0)
    frame = np.append(low - 1e-3, np.max(expected[0].max(axis=0) - low) * 1.001)
    own, theirs = rasters(tiled.points, tiled.offsets, tiled.kinds, frame), rasters(*expected, frame)
    assert own.keys() == theirs.keys() and {0, 1, 3} <= own.keys()
    for kind in own:
        assert not (own[kind] & ~grown(theirs[kind])).any() and not (theirs[kind] & ~grown(own[kind])).any(), kind
    # Line for line, either way round and a closed line from any start, within a billionth of the
    # drawing's size. The tiles' pieces are the whole model's (the test below), and the client hands them
    # to the joiner in one run's order and numbering, which its near ties follow; a tile's border point
    # left in a line, or pieces joined in the wrong order, would leave most apart.
    own_lines, their_lines = canonical(tiled.points, tiled.offsets, tiled.kinds), canonical(*expected)
    missing, extra = unmatched(own_lines, their_lines, 1e-9 * frame[2])
    print(f"lines: {len(own_lines)} tiled, {len(their_lines)} whole, {missing} of these not among the tiled, "
          f"{extra} tiled ones left over")
    assert missing == extra == 0
    # Each kind's length within a hundredth of a percent.
    own_lengths, their_lengths = lengths(tiled.points, tiled.offsets, tiled.kinds), lengths(*expected)
    print("lengths, tiled and whole:", own_lengths, their_lengths)
    for kind, length in their_lengths.items():
        assert own_lengths[kind] == pytest.approx(length, rel=1e-4), kind


def test_a_tiles_pieces_are_the_whole_models_bit_for_bit(tmp_path):
    # The library's tolerances follow the model's extent along every axis, the depth from the camera
    # included: a tile that held less of it cut edges where intersection lines run up to 1e-7 of the
    # screen away, which turned near ties of the joining.
    vertices, triangles = scene(50_000)
    camera = kh.Camera.view("iso", vertices)
    ends, types, _, _ = draw_pieces(vertices, triangles, camera, hidden=True)
    whole = {(kind, piece.tobytes()) for kind, piece in zip(types, ends)}
    whole |= {(kind, piece[::-1].tobytes()) for kind, piece in zip(types, ends)}
    index = prepare_tiles((vertices, triangles), camera, 4, str(tmp_path))
    xs = np.concatenate([[-np.inf], index["x_borders"], [np.inf]])
    ys = np.concatenate([[-np.inf], index["y_borders"], [np.inf]])
    for tile in range(4):
        tile_ends, tile_types, _, _ = draw_pieces(np.load(tmp_path / f"tile-{tile}-vertices.npy"),
                                               np.load(tmp_path / f"tile-{tile}-triangles.npy"), camera, hidden=True)
        # The pieces within the tile, where all that hides them is in it.
        column, row = tile % index["columns"], tile // index["columns"]
        within = np.all((tile_ends.min(axis=1) >= [xs[column], ys[row]]) &
                        (tile_ends.max(axis=1) <= [xs[column + 1], ys[row + 1]]), axis=1)
        own = [(kind, piece.tobytes()) for kind, piece in zip(tile_types[within], tile_ends[within])]
        assert len(own) > 50 and all(piece in whole for piece in own), tile
