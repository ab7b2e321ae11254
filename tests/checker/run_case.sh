#!/usr/bin/env bash
# Draws a mesh with kvhlr (hidden lines included) and judges the drawing with kvhlr_check.
#
#   run_case.sh KVHLR CHECKER WORK_DIR NAME EXPECTED_STATUS MESH INPUT [kvhlr options] -- [checker options]
#
# kvhlr draws INPUT: MESH itself, or --demo for the built-in part whose mesh MESH holds; the checker
# reads MESH. Leaves WORK_DIR/NAME.json (the drawing) and WORK_DIR/NAME.report.json (every figure)
# behind. Succeeds when kvhlr_check exits with EXPECTED_STATUS: 0 for a drawing that must pass, 1 for
# one that must not.
set -euo pipefail
kvhlr="$1" checker="$2" work="$3" name="$4" expected="$5" mesh="$6"
shift 6
draw=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    draw+=("$1")
    shift
done
[ $# -gt 0 ] && shift # the --
mkdir -p "$work"
"$kvhlr" "${draw[@]}" --hidden --quiet -o "$work/$name.json"
status=0
"$checker" "$mesh" "$work/$name.json" --name "$name" --report "$work/$name.report.json" "$@" || status=$?
if [ "$status" -ne "$expected" ]; then
    echo "kvhlr_check exited with $status, expected $expected" >&2
    exit 1
fi
