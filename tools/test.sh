#!/usr/bin/env bash
# Installs what is missing, builds, packages, and runs every test. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/tools/build.sh"
cd "$build"
# The package, so that the distribution's checks run on it too.
cpack -G DEB >/dev/null
ctest --output-on-failure --parallel "$(nproc)"
