#!/usr/bin/env bash
# Checks that the engine builds with the C++ standard library alone (no Qt
# header is on the include path), and that the command line loads no Qt
# library, so that it starts as fast as a plain program.
#
#   bash tools/engine-alone-test.sh CXX CLI
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
compiler="$1"
cli="$2"
for source in "$root"/engine/*.cpp; do
    "$compiler" -std=c++20 -E -o /dev/null -I"$root/engine" "$source"
done
if command -v ldd >/dev/null && ldd "$cli" | grep -i qt; then
    echo "the command line loads Qt" >&2
    exit 1
fi
echo "engine alone: $(ls "$root"/engine/*.cpp | wc -l) files preprocessed; the command line loads no Qt"
