#!/usr/bin/env bash
# Installs what is missing and builds the library, the drawing kit, the kvhlr tool, the Python module and
# the examples (Release) in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The module is built for Debian's interpreter, whose numpy install-deps.sh provides, even where another
# python3 (pyenv, a virtual environment) comes first on PATH.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKVHLR_BUILD_TESTS=OFF -DKVHLR_BUILD_BENCHMARKS=OFF \
    -DPython3_EXECUTABLE=/usr/bin/python3
cmake --build build -j "$(nproc)"
# Lets Debian's python3 import kelvar_hlr from this build (where the module was built).
if ls build/python/kelvar_hlr/_core*.so > /dev/null 2>&1; then
    site="$(/usr/bin/python3 -m site --user-site)"
    mkdir -p "$site"
    echo "$PWD/build/python" > "$site/kelvar_hlr_build.pth"
fi
