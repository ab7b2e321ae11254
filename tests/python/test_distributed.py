"""Drawing sets on a Dask cluster (kelvar_hlr.distributed.draw_files): a local cluster of worker processes
with memory limits writes the files kvhlr writes, byte for byte, reports a file it cannot draw by name
while the others go on, and runs a task again when its worker is killed, leaving neither a lost nor a
doubled file. Without Dask, the package still imports and the module names what to install."""

import importlib.util
import os
import signal
import subprocess
import sys
import threading
import time
from pathlib import Path

import numpy as np
import pytest
from meshes import sphere

KVHLR = os.environ.get("KVHLR_BINARY")
MODELS = sorted(str(path) for path in (Path(__file__).resolve().parents[2] / "examples" / "models").glob("*")
                if path.suffix in (".obj", ".step"))
VIEWS = ["front", "top", "right", "iso"]

needs_cluster = pytest.mark.skipif(KVHLR is None or importlib.util.find_spec("distributed") is None,
                                   reason="kvhlr or Dask's distributed scheduler (python3-distributed) is missing")


def test_the_package_imports_without_dask_and_the_module_names_what_to_install():
    run = subprocess.run([sys.executable, "-c", """
import sys
sys.modules["distributed"] = None  # as if it were not installed
import kelvar_hlr
assert "dask" not in sys.modules
try:
    import kelvar_hlr.distributed
except ImportError as error:
    print(error)
"""], capture_output=True, text=True, check=True)
    assert "install python3-distributed" in run.stdout


@pytest.fixture(scope="module")
def client():
    import distributed

    with distributed.LocalCluster(n_workers=3, threads_per_worker=1, memory_limit="1GB",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        yield client


def tool_files(folder, models, views, *options):
    for view in views:
        subprocess.run([KVHLR, *models, "-q", "--view", view, "-o", f"{folder}/{{name}}-{view}.svg", *options],
                       check=True)
    return {path.name: path.read_bytes() for path in Path(folder).iterdir()}


@needs_cluster
def test_a_drawing_set_is_the_files_kvhlr_writes_and_a_bad_file_stops_only_itself(tmp_path, client):
    from kelvar_hlr.distributed import draw_files
    broken = tmp_path / "broken.obj"
    broken.write_text("v 0 0 0\nf 1 2 3\n")
    results = draw_files(MODELS + [str(broken)], str(tmp_path / "set") + "/", client, view=VIEWS, hidden=True)
    expected = tool_files(tmp_path / "tool", MODELS, VIEWS, "--hidden")
    assert len(expected) == 4 * len(MODELS)
    assert {path.name: path.read_bytes() for path in (tmp_path / "set").iterdir()} == expected
    failed = [result for result in results if result.error]
    assert [result.input for result in failed] == [str(broken)] * 4 and "broken.obj" in failed[0].error

    # The command line, on the same cluster: a sheet of four views for each model, the bad file named.
    sheet = ["--views", ",".join(VIEWS), "--paper", "A3", "--style", "drafting", "--hidden"]
    run = subprocess.run([sys.executable, "-m", "kelvar_hlr.distributed", "--scheduler", client.scheduler.address,
                          MODELS[0], str(broken), "-o", str(tmp_path / "sheets" / "{name}.dxf"), *sheet],
                         capture_output=True, text=True)
    assert run.returncode == 1 and "broken.obj" in run.stderr and "1 of 2 drawings" in run.stderr
    subprocess.run([KVHLR, MODELS[0], "-q", "-o", str(tmp_path / "tool.dxf"), *sheet], check=True)
    assert [path.read_bytes() for path in (tmp_path / "sheets").iterdir()] == [(tmp_path / "tool.dxf").read_bytes()]


def sphere_obj(path, stacks):
    vertices, triangles = sphere(stacks, [0.0, 0.0, 0.0], 1.0)
    with open(path, "w") as out:
        np.savetxt(out, vertices, fmt="v %.9g %.9g %.9g")
        np.savetxt(out, triangles + 1, fmt="f %d %d %d")


@needs_cluster
def test_a_worker_killed_while_drawing_costs_neither_a_file_nor_a_double(tmp_path, client):
    from kelvar_hlr.distributed import draw_files
    models = []
    for name in ("ball_a", "ball_b"):
        sphere_obj(tmp_path / f"{name}.obj", 200)  # 160,000 triangles: half a second a view
        models.append(str(tmp_path / f"{name}.obj"))
    outcome = {}
    drawing = threading.Thread(target=lambda: outcome.update(
        results=draw_files(models, str(tmp_path / "set") + "/", client, view=VIEWS, hidden=True, progress=False)))
    drawing.start()
    pids = client.run(os.getpid)
    killed = None
    deadline = time.monotonic() + 60
    while killed is None and time.monotonic() < deadline:
        # A worker drawing its second view: killed, it takes a drawing under way and a finished one's
        # result with it, and both tasks run again.
        held = client.has_what()
        busy = [worker for worker, keys in client.processing().items() if keys and held.get(worker)]
        if busy:
            time.sleep(0.2)  # well into the drawing
            killed = busy[0]
            os.kill(pids[killed], signal.SIGKILL)
        time.sleep(0.01)
    drawing.join()
    assert killed is not None
    assert [result.error for result in outcome["results"] if result.error] == []
    expected = tool_files(tmp_path / "tool", models, VIEWS, "--hidden")
    # Exactly the files asked for, each whole: no temporary left beside them.
    assert {path.name: path.read_bytes() for path in (tmp_path / "set").iterdir()} == expected


def test_a_drawings_pieces_joined_again_are_the_drawing_and_bad_pieces_are_named():
    # Two overlapping spheres before a box: silhouettes, hidden lines, intersection lines and sharp edges
    # meet, as they do at a tile's borders.
    import kelvar_hlr as kh
    from kelvar_hlr._core import draw_pieces, join_pieces
    first, second = sphere(40, [0, 0, 0], 1.0), sphere(40, [0.9, 0.3, -0.6], 1.0)
    box = (np.array([[x, y, z] for z in (0, 1) for y in (0, 1) for x in (0, 1)], dtype=float) * [0.4, 2.5, 0.4]
           + [-0.6, -1.2, 1.2], np.array([[0, 2, 1], [1, 2, 3], [4, 5, 6], [5, 7, 6], [0, 1, 4], [1, 5, 4],
                                          [2, 6, 3], [3, 6, 7], [0, 4, 2], [2, 4, 6], [1, 3, 5], [3, 7, 5]]))
    vertices = np.concatenate([first[0], second[0], box[0]])
    triangles = np.concatenate([first[1], second[1] + len(first[0]), box[1] + len(first[0]) + len(second[0])])
    camera = kh.Camera.view("iso", vertices)
    whole = kh.draw(vertices, triangles, camera, hidden=True)
    ends, types, nodes, places = draw_pieces(vertices, triangles, camera, hidden=True)
    transform = camera.projection @ camera.model_view
    clip = vertices @ transform[:, :3].T + transform[:, 3]
    screen = clip[:, :2] / clip[:, 3:]
    screen_box = [screen.min(axis=0), screen.max(axis=0)]
    shares = []
    points, offsets, kinds = join_pieces(ends, types, nodes, camera, screen_box, hidden=True,
                                         progress=shares.append)
    assert len(set(shares)) > 2 and shares == sorted(shares) and shares[-1] == 1.0  # a bar that moves
    assert len(kinds) == len(whole.kinds) > 10 and {0, 1, 3, 6} <= set(kinds.tolist())
    assert np.array_equal(points, whole.points) and np.array_equal(offsets, whole.offsets)
    assert np.array_equal(kinds, whole.kinds)
    # Handed back in any order and numbering, as tiles hand them back, the pieces are put in the run's
    # again by their places: the joiner's near ties follow both.
    from kelvar_hlr.distributed import _in_run_order, _run_places
    rng = np.random.default_rng(7)
    order, numbers = rng.permutation(len(types)), rng.permutation(int(nodes.max()) + 1)
    assert set(places[:, 0].tolist()) == {0, 1}
    again = _in_run_order(ends[order], types[order], numbers[nodes[order]],
                          _run_places(places[order], np.arange(len(triangles))))
    assert np.array_equal(again[0], ends) and np.array_equal(again[2], np.unique(nodes, return_inverse=True)[1]
                                                             .reshape(-1, 2))
    # Without hidden lines the same pieces draw the visible ones alone.
    assert 1 not in join_pieces(ends, types, nodes, camera, screen_box)[2]
    with pytest.raises(ValueError, match="nodes"):
        join_pieces(ends, types, nodes[:, :1], camera, screen_box)
    with pytest.raises(ValueError, match="screen_box"):
        join_pieces(ends, types, nodes, camera, [[0, 0], [0, 1]])
    with pytest.raises(ValueError, match="unjoined"):
        draw_pieces(vertices, triangles, camera, exact=False)
