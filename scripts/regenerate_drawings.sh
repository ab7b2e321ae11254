#!/usr/bin/env bash
# Draws the sample drawings of examples/drawings again (the README shows them), from the example models
# and the demo part, with the kvhlr given (default build/cli/kvhlr, built with STEP input): after a
# change that moves lines, so that they show what kvhlr draws today. Each drawing is written whole or
# not at all, so a run that fails leaves the older ones as they were.
#
#   scripts/regenerate_drawings.sh [path/to/kvhlr]
set -euo pipefail
cd "$(dirname "$0")/.."
kvhlr=$(realpath "${1:-build/cli/kvhlr}")
cd examples/drawings
models=../models

draw() { # kvhlr arguments
    echo "kvhlr $*"
    "$kvhlr" --quiet "$@"
}

draw --demo -o demo.svg
draw "$models/bunny.obj" --view iso --hidden -o bunny_iso.svg
draw "$models/at_at.obj" --up-axis z --view iso -o at_at_iso.svg
draw "$models/regr01_house.obj" --up-axis z --view dimetric -o regr01_house_dimetric.dxf
draw "$models/regr01_house.obj" --up-axis z --units cm --views front,top,right,iso --paper A3 --hidden \
    --style drafting -o regr01_house_a3.svg
draw "$models/bracket.step" --views front,top,right,iso --paper A3 --hidden --style drafting -o bracket_a3.svg
draw --demo --views front,top,right,iso --paper A4 --style drafting -o demo_sheet.svg
for format in svg pdf; do
    draw --demo --views front,top,section:A --section front --paper A3 --style drafting \
        -o "demo_section_sheet.$format"
    draw "$models/regr01_house.obj" --up-axis z --units cm --plan 100 --hatch-spacing 6 --paper A3 \
        --style drafting -o "regr01_house_plan.$format"
done
