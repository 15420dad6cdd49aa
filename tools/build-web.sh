#!/usr/bin/env bash
# Builds the web page into build/web/ (or WEB_BUILD_DIR): index.html and one
# script, bmp24to8.js, that holds the engine compiled to WebAssembly, the
# worker that runs it, the zip library and the page's own code. The page works
# opened straight from disk, offline.
#
#   bash tools/build-web.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${WEB_BUILD_DIR:-$root/build/web}"
# The tests build with what is there (SKIP_SETUP); a person gets what is missing.
[ -n "${SKIP_SETUP:-}" ] || "$root/tools/setup.sh"

# Debian 12's emscripten runs its optimiser with the system's node and finds
# its modules only here.
export NODE_PATH="${NODE_PATH:-/usr/share/nodejs}"

# The engine and its interface, built by CMake from web/CMakeLists.txt.
emcmake cmake -S "$root/web" -B "$out/.engine" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$out/.engine" >/dev/null
engine="$out/.engine/engine.js"

{
    echo "// bmp24to8: lossless 24-bit to palettized BMP conversion in the browser."
    echo "// The worker's code: the engine (WebAssembly, embedded) and its message handling."
    echo "function bmp24to8Worker(scope) {"
    echo "var module, exports, define;   // the engine's loader must not take this script's exports"
    cat "$engine"
    cat "$root/web/worker.js"
    echo "if (typeof FileReaderSync !== 'undefined') startWorker(scope, createEngine);"
    echo "return { createEngine: createEngine, convertSource: convertSource };"
    echo "}"
    echo "// The zip worker's code: the zip library and its message handling."
    echo "function bmp24to8ZipWorker(scope) {"
    echo "var module, exports, define;   // the library's loader must not take this script's exports"
    cat "$root/web/node_modules/fflate/umd/index.js"
    echo
    cat "$root/web/zipworker.js"
    echo "startZipWorker(scope, scope.fflate);"
    echo "}"
    echo "if (typeof document !== 'undefined') {"
    cat "$root/web/page.js"
    echo "startPage(bmp24to8Worker, bmp24to8ZipWorker);"
    echo "} else if (typeof module === 'object' && module.exports) {"
    echo "module.exports = bmp24to8Worker;"
    echo "}"
} > "$out/bmp24to8.js"
cp "$root/web/index.html" "$out/"
echo "web page: $out/index.html ($(du -k "$out/bmp24to8.js" | cut -f1) KiB of script)"
