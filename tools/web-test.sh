#!/usr/bin/env bash
# Builds the web page and tests it: the engine compiled to WebAssembly under
# node against the command line on every picture the native tests replay, and
# the page itself in headless Chromium. Exits with 77 (CTest's "skipped") when
# emscripten, node or Chromium is missing; tools/setup.sh installs them.
#
#   bash tools/web-test.sh PAGE_FOLDER CLI PICTURE_FOLDER...
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
page="$1"
cli="$2"
shift 2
for tool in emcc emcmake node "${CHROMIUM:-chromium}"; do
    if ! command -v "$tool" >/dev/null; then
        echo "web test skipped: '$tool' is not installed (bash tools/setup.sh installs it)"
        exit 77
    fi
done
if [ ! -d "$root/web/node_modules/fflate" ] || [ ! -d "$root/web/node_modules/puppeteer-core" ]; then
    echo "web test skipped: web/node_modules is missing (bash tools/setup.sh installs it)"
    exit 77
fi
# Chromium writes into the home folder, which an ordinary test user may not
# have.
if [ ! -w "${HOME:-/nonexistent}" ]; then
    export HOME="$(mktemp -d)"
fi
WEB_BUILD_DIR="$page" SKIP_SETUP=1 bash "$root/tools/build-web.sh"
node --no-experimental-fetch "$root/tests/web/engine.test.js" "$page/bmp24to8.js" "$cli" "$root/tests/cases" "$@"
node "$root/tests/web/page.test.js" "$page" "$cli"
