#!/usr/bin/env bash
# Cross-compiles the command line for 64-bit Windows with mingw-w64 into
# build-windows/ (or $WINDOWS_BUILD_DIR): one statically linked
# bmp24to8-cli.exe, and bmp24to8-cli-<version>-win64.zip with the licence and
# a README for Windows users.
#
#   bash tools/build-windows.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${WINDOWS_BUILD_DIR:-$root/build-windows}"
# The tests build with what is there (SKIP_SETUP); a person gets what is missing.
[ -n "${SKIP_SETUP:-}" ] || "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBMP24TO8_COMMAND_LINE_ONLY=ON -DBUILD_TESTING=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
cmake --build "$build" --parallel
(cd "$build" && cpack >/dev/null)
echo "Windows build: $build/cli/bmp24to8-cli.exe, $(ls "$build"/bmp24to8-cli-*-win64.zip)"
