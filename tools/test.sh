#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/tools/build.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
