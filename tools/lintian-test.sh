#!/usr/bin/env bash
# Runs lintian on the Debian package built in the given build folder and fails
# on any error or warning. Skips (status 77) when no package was built there.
#
#   tools/lintian-test.sh BUILD_DIR NAME_VERSION
set -uo pipefail
package=$(ls "$1/$2"_*.deb 2>/dev/null | head -n 1)
if [[ -z $package ]]; then
    echo "SKIP: no package in $1: build one with 'cpack -G DEB' there (tools/test.sh does)"
    exit 77
fi
if ! command -v lintian >/dev/null; then
    echo "SKIP: lintian is not installed (tools/setup.sh installs it)"
    exit 77
fi
echo "lintian $package"
lintian --fail-on error,warning "$package"
