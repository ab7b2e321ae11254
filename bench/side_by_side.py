#!/usr/bin/env python3
"""Times kvhlr and another line renderer on the same mesh files and cameras, in alternation, and prints
a Markdown table of medians with the machine's load.

    bench/side_by_side.py --kvhlr build/cli/kvhlr --peer PEER.sh [--runs 5] [--kvhlr-option=--no-intersections]
        MESH.obj:CAMERA.json ...

For each pair, kvhlr draws the mesh (and, where a binary STL of the same name lies beside it, that too) (`--timings`: reading, drawing and whole-run seconds, peak memory)
and the peer draws it as `sh PEER.sh MESH CAMERA OUT.json`, whose last line of output must be a JSON
record with `import_s` and `lineart_s`. Runs alternate between the two so that both see the same load.
kvhlr's whole run is its own `whole_s`; the process column adds its start and end (loading its libraries,
freeing what it holds), timed from outside.
A peer is not part of this repository: the comparison is for our own measurements."""
import argparse
import json
import os
import statistics
import subprocess
import tempfile
import time


def kvhlr_run(kvhlr, options, mesh, camera, out):
    start = time.monotonic()
    done = subprocess.run([kvhlr, mesh, "--camera", camera, "--quiet", "--timings", "-o", out] + options,
                          capture_output=True, text=True, check=True)
    return dict(json.loads(done.stderr.strip().splitlines()[-1]), process_s=time.monotonic() - start)


def peer_run(peer, mesh, camera, out, options=()):
    done = subprocess.run(["sh", peer, mesh, camera, out, *options], capture_output=True, text=True, check=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kvhlr", required=True)
    parser.add_argument("--peer", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--kvhlr-option", action="append", default=[], help="passed on to kvhlr (repeatable)")
    parser.add_argument("pairs", nargs="+", help="MESH:CAMERA")
    args = parser.parse_args()

    print(f"{os.cpu_count()} processors; load average before: {os.getloadavg()[0]:.2f}\n")
    print(f"kvhlr options: {' '.join(args.kvhlr_option) or 'none'}\n")
    print("| mesh | triangles | kvhlr whole run | kvhlr process | kvhlr reading | kvhlr drawing | kvhlr peak memory "
          "| kvhlr whole run, binary STL | peer import + compute | peer compute | kvhlr whole / peer |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        for pair in args.pairs:
            mesh, camera = pair.rsplit(":", 1)
            stl = os.path.splitext(mesh)[0] + ".stl"
            ours, ours_stl, theirs = [], [], []
            for _ in range(args.runs):
                ours.append(kvhlr_run(args.kvhlr, args.kvhlr_option, mesh, camera, os.path.join(work, "kvhlr.json")))
                if os.path.exists(stl):
                    ours_stl.append(kvhlr_run(args.kvhlr, args.kvhlr_option, stl, camera, os.path.join(work, "kvhlr.json")))
                theirs.append(peer_run(args.peer, mesh, camera, os.path.join(work, "peer.json")))
            triangles = sum(1 for line in open(mesh) if line.startswith("f "))

            def median(runs, key):
                return statistics.median(run[key] for run in runs)

            peak = median(ours, "peak_mb")
            stl_whole = f"{median(ours_stl, 'whole_s'):.2f} s" if ours_stl else "–"
            peer = statistics.median(t['import_s'] + t['lineart_s'] for t in theirs)
            print(f"| {os.path.basename(mesh)} | {triangles:,} | {median(ours, 'whole_s'):.2f} s "
                  f"| {median(ours, 'process_s'):.2f} s "
                  f"| {median(ours, 'reading_s'):.2f} s | {median(ours, 'drawing_s'):.2f} s "
                  f"| {peak:.0f} MB ({peak * 2**20 / triangles:.0f} B/triangle) "
                  f"| {stl_whole} "
                  f"| {peer:.2f} s "
                  f"| {median(theirs, 'lineart_s'):.2f} s | {median(ours, 'whole_s') / peer:.2f} |")
    print(f"\nload average after: {os.getloadavg()[0]:.2f}; medians of {args.runs} runs each")


if __name__ == "__main__":
    main()
