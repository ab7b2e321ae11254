#!/usr/bin/env bash
# Golden drawings: an optimisation must not change any drawing. Records, or checks against
# bench/golden_drawings.txt, a checksum of kvhlr's JSON drawing of every example model in an orthographic
# and a perspective view, and of the demo part, with the plain hide test and with exact hiding (names
# ending in -exact). The drawings hold the visible and hidden lines of the edges and silhouettes and no
# intersection lines (--no-intersections), as the sums were recorded. Checksums hold for one build
# configuration (a GCC Release build, whose tests check them: the release stage of scripts/test.sh):
# record with the build you then optimise, check with the same.
#
#   bench/golden_drawings.sh record|check [path/to/kvhlr]
set -euo pipefail
mode=${1:?record or check}
[[ $mode == record || $mode == check ]] || { echo "usage: $0 record|check [kvhlr]" >&2; exit 2; }
kvhlr=${2:-build/cli/kvhlr}
here=$(cd "$(dirname "$0")" && pwd)
models="$here/../examples/models"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "drawing visible and hidden lines, no intersection lines, with $kvhlr" >&2

draw() { # name, kvhlr arguments...
    local name=$1
    shift
    "$kvhlr" --quiet --no-intersections --hidden --hide-test specified "$@" -o "$work/$name.json"
    echo "$name $(sha256sum < "$work/$name.json" | cut -d' ' -f1)"
    "$kvhlr" --quiet --no-intersections --hidden --hide-test exact "$@" -o "$work/$name-exact.json"
    echo "$name-exact $(sha256sum < "$work/$name-exact.json" | cut -d' ' -f1)"
}

{
    draw demo --demo
    for model in sphere_with_hole teapots bunny regr01_house at_at; do
        up=()
        [[ $model == regr01_house || $model == at_at ]] && up=(--up-axis z)
        draw "$model-iso" "$models/$model.obj" "${up[@]}" --view iso
        draw "$model-perspective" "$models/$model.obj" "${up[@]}" --view front --perspective 40
    done
} > "$work/sums.txt"

case $mode in
record) cp "$work/sums.txt" "$here/golden_drawings.txt" && echo "recorded $(wc -l < "$work/sums.txt") drawings" ;;
check) diff "$here/golden_drawings.txt" "$work/sums.txt" && echo "all $(wc -l < "$work/sums.txt") drawings unchanged" ;;
esac
