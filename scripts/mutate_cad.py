#!/usr/bin/env python3
"""Changes random bytes of STEP and IGES files and draws each with kvhlr: every run must end with exit
status 0 or 2 within a minute and leave no temporary file behind (in the temporary folder or beside the
output). Open CASCADE crashes on some of these files; kvhlr reads them in a process of its own.

In:  kvhlr, the files to change, how many changed files of each and how many bytes to change, a seed.
Out: one line per failure, then the counts by exit status and the slowest run; exit status 1 on any
     failure.

    scripts/mutate_cad.py build/cli/kvhlr examples/models/bracket.step /tmp/gearbox.iges --files 200
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile
import time


def mutated(data, rng, changes):
    data = bytearray(data)
    for _ in range(changes):
        data[rng.randrange(len(data))] = rng.randrange(256)
    return bytes(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("kvhlr")
    parser.add_argument("models", nargs="+")
    parser.add_argument("--files", type=int, default=100, help="changed files of each model")
    parser.add_argument("--bytes", type=int, nargs="+", default=[3, 20], help="bytes changed, in turn")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    counts, failures, slowest = {}, 0, (0.0, "")
    with tempfile.TemporaryDirectory() as work:
        scratch = os.path.join(work, "tmp")
        os.mkdir(scratch)
        env = dict(os.environ, TMPDIR=scratch)
        for model in args.models:
            original = open(model, "rb").read()
            extension = os.path.splitext(model)[1]
            for i in range(args.files):
                changes = args.bytes[i % len(args.bytes)]
                path = os.path.join(work, f"m{i}{extension}")
                with open(path, "wb") as out:
                    out.write(mutated(original, rng, changes))
                output = os.path.join(work, "out.svg")
                start = time.monotonic()
                try:
                    status = subprocess.run([args.kvhlr, path, "-o", output], env=env, capture_output=True,
                                            timeout=60).returncode
                except subprocess.TimeoutExpired:
                    status = "timeout"
                took = time.monotonic() - start
                counts[status] = counts.get(status, 0) + 1
                slowest = max(slowest, (took, f"{model} with {changes} bytes changed, seed {args.seed}, #{i}"))
                left = os.listdir(scratch) + [f for f in os.listdir(work) if f.startswith(".")]
                if status not in (0, 2) or left:
                    failures += 1
                    print(f"{model} #{i} ({changes} bytes): status {status}, left {left}", flush=True)
                    kept = os.path.join(tempfile.gettempdir(), f"mutate_cad_{failures}{extension}")
                    os.replace(path, kept)
                    print(f"  kept as {kept}")
                    for f in left:
                        p = os.path.join(scratch, f) if f in os.listdir(scratch) else os.path.join(work, f)
                        os.remove(p)
                if os.path.exists(output):
                    os.remove(output)
    print("exit statuses:", ", ".join(f"{k}: {v}" for k, v in sorted(counts.items(), key=str)))
    print(f"slowest: {slowest[0]:.1f} s ({slowest[1]})")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
