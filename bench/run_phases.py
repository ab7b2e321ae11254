#!/usr/bin/env python3
"""Runs kvhlr_phases over a table of scenes, sizes, projections and hidden-line settings, one
process per drawing, and writes the results as JSON lines and as a Markdown table.

    bench/run_phases.py build/bench/kvhlr_phases --out phases.jsonl [--sizes 1e4,1e5,1e6,4e6]
        [--scenes sphere,gear,stack,terrain] [--hide-tests specified,exact] [--projections orthographic,perspective]
        [--hidden off,on] [--per-million] [--timeout 900] [--memory-gb 16]

With --per-million the stages' columns give wall seconds per million triangles, so that sizes compare.
A stage a drawing does not have (exact hiding renews no stroke network) is shown as "–".

A drawing that runs out of time or memory is recorded as such rather than stopping the table."""
import argparse
import json
import resource
import subprocess
import sys

PHASES = ["model_build", "projected_build", "tree_build", "hide_pass", "extraction", "renewal", "joining", "teardown"]


def run(driver, scene, size, perspective, hidden, exact, timeout, memory_gb):
    args = [driver, scene, size] + (["--perspective"] if perspective else []) + (["--hidden"] if hidden else []) \
        + (["--exact"] if exact else [])
    row = {"scene": scene, "requested": size, "projection": "perspective" if perspective else "orthographic",
           "hidden": hidden, "exact": exact}
    try:
        # A cap on the address space turns a drawing too large for the machine into a clean failure
        # (the driver reports the allocation that failed) rather than a machine out of memory.
        limit = int(memory_gb * 2**30)
        done = subprocess.run(args, capture_output=True, text=True, timeout=timeout,
                              preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
    except subprocess.TimeoutExpired:
        return dict(row, failure=f"over {timeout} s")
    if done.returncode != 0:
        return dict(row, failure=(done.stderr.strip() or f"exit status {done.returncode}")[-200:])
    return json.loads(done.stdout)


def table(rows, per_million=False):
    head = ["scene", "triangles", "projection", "hidden", "hide test", "whole s", "CPU s", "peak MB", "lines", "longest gap s"]
    unit = " s/M" if per_million else " s"
    lines = ["| " + " | ".join(head + [p.replace("_", " ") + unit for p in PHASES]) + " |",
             "|" + "---|" * (len(head) + len(PHASES))]
    for r in rows:
        if "failure" in r:
            cells = [r["scene"], r["requested"], r["projection"], "on" if r["hidden"] else "off",
                     "exact" if r["exact"] else "specified", r["failure"]]
            cells += [""] * (len(head) + len(PHASES) - len(cells))
        else:
            cells = [r["scene"], f"{r['triangles']:,}", r["projection"], "on" if r["hidden"] else "off",
                     "exact" if r["exact"] else "specified", f"{r['seconds']:.2f}", f"{r['cpu_seconds']:.2f}", f"{r['peak_mb']:.0f}", f"{r['lines']:,}",
                     f"{r['longest_progress_gap']:.2f}"]
            scale = 1e6 / r["triangles"] if per_million else 1.0
            cells += [f"{r[p] * scale:.3f}" if p in r else "–" for p in PHASES]
        lines.append("| " + " | ".join(str(c) for c in cells) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("driver")
    parser.add_argument("--out", required=True)
    parser.add_argument("--sizes", default="1e4,1e5,1e6,4e6")
    parser.add_argument("--scenes", default="sphere,gear,stack,terrain")
    parser.add_argument("--hide-tests", default="specified,exact")
    parser.add_argument("--projections", default="orthographic,perspective")
    parser.add_argument("--hidden", default="off,on")
    parser.add_argument("--per-million", action="store_true", help="stage times per million triangles")
    parser.add_argument("--timeout", type=float, default=900)
    parser.add_argument("--memory-gb", type=float, default=16, help="address-space cap per drawing")
    options = parser.parse_args()
    rows = []
    with open(options.out, "w") as out:
        for size in options.sizes.split(","):
            for scene in options.scenes.split(","):
                for perspective in [p == "perspective" for p in options.projections.split(",")]:
                    for hidden in [h == "on" for h in options.hidden.split(",")]:
                        for hide_test in options.hide_tests.split(","):
                            row = run(options.driver, scene, size, perspective, hidden, hide_test == "exact",
                                      options.timeout, options.memory_gb)
                            rows.append(row)
                            out.write(json.dumps(row) + "\n")
                            out.flush()
                            print(table([row], options.per_million).splitlines()[-1], file=sys.stderr)
    print(table(rows, options.per_million))


if __name__ == "__main__":
    main()
