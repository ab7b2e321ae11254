"""Measures how a tiled view scales: the test scene of tests/python/test_distributed_tiles.py (five
spheres and a row of boxes) drawn whole in this process, then prepared and drawn in 2 to 64 tiles on a
local cluster of worker processes, one thread each. Prints one line of JSON a run.

    PYTHONPATH=build/python python3 docs/measure_tiles.py TRIANGLES [TILES ...] [--workers N]
"""

import argparse
import json
import resource
import shutil
import sys
import tempfile
import time
from pathlib import Path

import distributed

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "python"))
import kelvar_hlr as kh  # noqa: E402
from kelvar_hlr.distributed import _peak_memory, draw_tiled, prepare_tiles  # noqa: E402
from test_distributed_tiles import scene  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("triangles", type=int)
    parser.add_argument("tiles", type=int, nargs="*", default=[2, 4, 8, 16, 32, 64])
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--whole", action="store_true", help="also draw the whole view in this process")
    args = parser.parse_args()
    vertices, triangles = scene(args.triangles)
    camera = kh.Camera.view("iso", vertices)
    if args.whole:
        start = time.perf_counter()
        drawing = kh.draw(vertices, triangles, camera, hidden=True)
        print(json.dumps({"tiles": 1, "triangles": len(triangles), "seconds": time.perf_counter() - start,
                          "lines": len(drawing), "peak_mb": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss >> 10}),
              flush=True)
        del drawing
    with distributed.LocalCluster(n_workers=args.workers, threads_per_worker=1, memory_limit=0,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        idle = max(client.run(_peak_memory).values()) >> 20
        for tiles in args.tiles:
            store = tempfile.mkdtemp(prefix="kelvar-measure-")
            try:
                start = time.perf_counter()
                prepare_tiles((vertices, triangles), camera, tiles, store)
                prepared = time.perf_counter()
                tiled = draw_tiled((vertices, triangles), camera, tiles, client, store=store, hidden=True)
                done = time.perf_counter()
            finally:
                shutil.rmtree(store)
            counts = [tile["triangles"] for tile in tiled.tiles]
            print(json.dumps({
                "tiles": tiles, "triangles": len(triangles), "prepare_seconds": round(prepared - start, 1),
                "draw_seconds": round(done - prepared, 1),
                "tile_seconds_max": round(max(t["seconds"] for t in tiled.tiles), 1),
                "triangles_in_tiles": sum(counts), "largest_tile": max(counts),
                "worker_peak_mb": max(t["peak_bytes"] for t in tiled.tiles) >> 20, "idle_worker_mb": idle,
                "pieces": sum(t["pieces"] for t in tiled.tiles), "cut_pieces": sum(t["cut"] for t in tiled.tiles),
                "lines": len(tiled.kinds)}), flush=True)


if __name__ == "__main__":
    main()
