#!/usr/bin/env bash
# Installs what is missing and builds the library, the kvhlr tool and the examples (Release) in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKVHLR_BUILD_TESTS=OFF -DKVHLR_BUILD_BENCHMARKS=OFF
cmake --build build -j "$(nproc)"
