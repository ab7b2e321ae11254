#!/usr/bin/env bash
# Builds the library for the browser: the WebAssembly module (web/CMakeLists.txt, with Debian's
# emscripten, in build-web/), the npm package kelvar-hlr-VERSION.tgz (web/package/, packed into
# build-web/) and the page (web/page/, bundled with esbuild into build-web/page/).
#
#   scripts/build-web.sh            everything
#   KVHLR_WEB_JOBS=1 scripts/build-web.sh   fewer compile jobs (default 2, run under nice)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-web"
if ! command -v emcmake >/dev/null || ! command -v emcc >/dev/null; then
    echo "$0: emscripten is missing: install Debian's emscripten package (scripts/install-deps.sh web)" >&2
    exit 2
fi
if ! command -v npm >/dev/null; then
    echo "$0: npm is missing: the package and the page are made with it" >&2
    exit 2
fi
# emcc's JavaScript optimizer needs acorn, which Debian installs for its own node (node-acorn).
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"

emcmake cmake -S web -B "$out/module" -DCMAKE_BUILD_TYPE=Release >/dev/null
nice cmake --build "$out/module" -j "${KVHLR_WEB_JOBS:-2}"

package="$root/web/package"
mkdir -p "$package/dist"
cp "$out/module/kelvar_hlr.mjs" "$out/module/kelvar_hlr.wasm" "$package/dist/"
(cd "$package" && npm pack --pack-destination "$out" >/dev/null)
echo "package: $(ls "$out"/kelvar-hlr-*.tgz)"

page="$root/web/page"
(cd "$page" && npm ci --no-audit --no-fund >/dev/null && npm run build >/dev/null)
echo "page: $out/page/index.html"
