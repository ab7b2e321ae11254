#!/usr/bin/env bash
# Installs what is missing, then builds and runs the tests in five stages: a Release build with warnings
# as errors (every test, the golden drawings among them), the same under AddressSanitizer +
# UndefinedBehaviorSanitizer, the whole pipeline (window-query tree build, parallel hide pass, host
# threads calling the entry points at once) under ThreadSanitizer, and the fuzz corpus once more through
# the clang libFuzzer build, whose library is the serial one (no OpenMP, as the browser runs it) and runs
# the library's own tests too; and last the browser's: the WebAssembly module, the npm package and the
# page built, the package's tests run in Node and the page's in headless Chromium against the Release kvhlr.
#
#   scripts/test.sh                  every stage, as CI runs it
#   scripts/test.sh release [...]    the stages named: release, asan, tsan, fuzz, web
set -euo pipefail
cd "$(dirname "$0")/.."
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(release asan tsan fuzz web)
for stage in "${stages[@]}"; do
    case $stage in
    release | asan | tsan | fuzz | web) ;;
    *) echo "$0: unknown stage '$stage': give release, asan, tsan, fuzz or web" >&2 && exit 2 ;;
    esac
done
web_deps=()
[[ " ${stages[*]} " == *" web "* ]] && web_deps=(web)
scripts/install-deps.sh "${web_deps[@]}"
jobs="$(nproc)"
# Debian's numpy, pytest, ezdxf and pybind11 belong to Debian's interpreter; a python3 earlier on PATH
# (pyenv, a virtual environment) would hide them from CMake and leave the Python tests out.
python=(-DPython3_EXECUTABLE=/usr/bin/python3)

configure_and_build() { # build dir, targets ("all" for everything), cmake arguments...
    local dir="$1" targets="$2"; shift 2
    cmake -S . -B "$dir" -DKVHLR_WERROR=ON "${python[@]}" "$@"
    if [ "$targets" = all ]; then
        cmake --build "$dir" -j "$jobs"
    else
        cmake --build "$dir" -j "$jobs" --target $targets
    fi
}

# The package test's pip build compiles the library, the kit and the module again, as a user's install
# does, with the same flags but -Werror: through ccache, it takes the Release build's objects (every one
# of them was compiled with -Werror here first) instead of minutes of compiling.
release() {
    CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_IGNOREOPTIONS=-Werror \
        configure_and_build build-release all -DCMAKE_BUILD_TYPE=Release
    CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_IGNOREOPTIONS=-Werror \
        ctest --test-dir build-release --output-on-failure -j "$jobs"
}

# GCC leaves float-to-integer overflow out of "undefined"; NaN and huge coordinates make it the likeliest
# undefined behaviour in a geometry library, so it is named. Tests labelled heavy (big meshes, clusters) run
# once, in the Release stage. The checker draws each model here in its iso views only: the other views run
# the same code on the same model, and took over half of this stage's test time.
asan() {
    configure_and_build build-asan all -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        "-DKVHLR_SANITIZE=address,undefined,float-cast-overflow" -DKVHLR_BUILD_BENCHMARKS=OFF
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE '^heavy$' \
        -E '^checker_.*_(front|top|right|trimetric|left|bottom|back)(_specified)?$'
}

# GCC's OpenMP runtime is not instrumented for ThreadSanitizer; clang's is, through its Archer tool. The
# kit's drawings of every kind on several threads (test_kit_threads) run here too.
tsan() {
    CXX=clang++ configure_and_build build-tsan "test_WindowQuery test_Hlr test_api fuzz_replay test_kit_threads" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVHLR_SANITIZE=thread -DKVHLR_BUILD_CLI=OFF -DKVHLR_BUILD_BENCHMARKS=OFF
    OMP_TOOL_LIBRARIES="$(clang++ -print-resource-dir)/../../libarcher.so" \
    TSAN_OPTIONS="ignore_noninstrumented_modules=1 halt_on_error=1" \
        ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L '^(WindowQuery|Hlr|api|fuzz|kit_threads)$'
}

# Keeps the libFuzzer target building, and lets clang's sanitizers, which see some overflows that GCC
# folds away before instrumenting, replay the corpus once (no fuzzing: CI stays deterministic). The
# library here is the serial one (KVHLR_OPENMP=OFF), as the WebAssembly build compiles it: its loops run
# on the calling thread, and its own tests must pass there too (one build serves both).
fuzz() {
    CXX=clang++ configure_and_build build-fuzz "fuzz_calcsilhouette test_Hlr test_api" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVHLR_FUZZ=ON -DKVHLR_OPENMP=OFF -DKVHLR_BUILD_CLI=OFF \
        -DKVHLR_BUILD_BENCHMARKS=OFF
    build-fuzz/fuzz/fuzz_calcsilhouette -runs=0 fuzz/corpus
    ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L '^(Hlr|api)$'
}

# The npm package and the page (scripts/build-web.sh), tested with Node's test runner, and in headless
# Chromium against the native kvhlr's drawings (built here unless the release stage built it).
web() {
    scripts/build-web.sh
    local kvhlr=build-release/cli/kvhlr
    if [ ! -x "$kvhlr" ]; then
        configure_and_build build-release kvhlr -DCMAKE_BUILD_TYPE=Release
    fi
    (cd web/package && KVHLR="$PWD/../../$kvhlr" node --test test/*.test.js)
    (cd web/page && KVHLR="$PWD/../../$kvhlr" node --test test/*.test.js)
}

for stage in "${stages[@]}"; do
    "$stage"
done
