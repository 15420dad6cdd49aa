#!/usr/bin/env bash
# Checks the rooms' walls: the engine builds with the C++ standard library
# alone (no Qt header, no system layer on the include path), the system layer
# builds without the engine, the hosts (command line, file layer, window, web
# page) include nothing of the engine or the system layer but their public
# headers, and the command line loads no Qt library, so that it starts as
# fast as a plain program.
#
#   bash tools/engine-alone-test.sh CXX CLI
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
compiler="$1"
cli="$2"
for source in "$root"/engine/*.cpp; do
    "$compiler" -std=c++20 -E -o /dev/null -I"$root/engine/include" -I"$root/engine" "$source"
done
for source in "$root"/platform/*.cpp; do
    [ "$(basename "$source")" = windows.cpp ] && continue
    "$compiler" -std=c++20 -E -o /dev/null -I"$root/platform/include" -I"$root/platform" "$source"
done
private=$(cd "$root" && ls engine/*.h platform/*.h | xargs -n1 basename | sort -u)
leaks=$(cd "$root" && grep -Hn '^#include "' cli/*.cpp cli/*.h files/* qtfiles/* ui/*.cpp ui/*.h app/*.cpp web/*.cpp | while IFS= read -r line; do
    header=$(sed 's/.*#include "\([^"]*\)".*/\1/' <<<"$line")
    if grep -qx "$header" <<<"$private"; then echo "$line"; fi
done)
if [ -n "$leaks" ]; then
    echo "hosts include the insides of the engine or the system layer:" >&2
    echo "$leaks" >&2
    exit 1
fi
if command -v ldd >/dev/null && ldd "$cli" | grep -i qt; then
    echo "the command line loads Qt" >&2
    exit 1
fi
echo "engine alone: $(ls "$root"/engine/*.cpp | wc -l) files; the system layer without the engine; hosts see public headers only; the command line loads no Qt"
