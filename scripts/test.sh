#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a Release build with warnings as
# errors, and a build under AddressSanitizer + UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

run_suite() { # name, extra cmake arguments...
    local dir="build-$1"; shift
    cmake -S . -B "$dir" -DKVHLR_WERROR=ON -DKVHLR_BUILD_BENCHMARKS=ON "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite release -DCMAKE_BUILD_TYPE=Release
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite asan -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DKVHLR_SANITIZE=address,undefined" -DKVHLR_BUILD_BENCHMARKS=OFF
