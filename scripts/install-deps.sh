#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already present;
# `scripts/install-deps.sh web` also those of the browser build and its tests.
set -euo pipefail
packages=(g++ cmake make ccache libboost-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libassimp-dev nlohmann-json3-dev python3 clang libomp-dev libembree-dev pkg-config libcairo2-dev fonts-dejavu-core poppler-utils python3-dev pybind11-dev python3-numpy python3-pytest python3-distributed python3-ezdxf python3-venv libcgal-dev)
# STEP and IGES input: Open CASCADE 7.6. Its foundation headers include NCollection_AliasedArray.hxx,
# which Debian ships in libocct-visualization-dev; the modelling algorithms build the tests' CAD models.
packages+=(libocct-data-exchange-dev libocct-visualization-dev libocct-modeling-algorithms-dev)
# The browser build: emscripten (whose JavaScript optimizer needs Debian's acorn), and Chromium, which the
# page's tests drive headless. Node 20 and npm come with the machine's nodejs.
[ "${1:-}" = web ] && packages+=(emscripten node-acorn chromium)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    echo "Installing: ${missing[*]}"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
