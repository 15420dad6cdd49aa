#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the
# program. Runs apt-get only when a package is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
    fonts-liberation2 fonts-dejavu-core
    xvfb xauth x11-apps x11-utils xcompmgr imagemagick openbox xdotool acl attr unzip
    g++-mingw-w64-x86-64-posix wine64
    clang libclang-rt-14-dev
    appstream desktop-file-utils dpkg-dev lintian
    emscripten chromium
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

# The web page's build and tests use npm; a node from elsewhere may bring its own.
command -v npm >/dev/null || missing+=(npm)

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The web page's zip library, and its tests' driver and accessibility checker,
# as package-lock.json names them.
web="$(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && pwd)"
if [ ! -d "$web/node_modules/fflate" ] || [ "$web/package-lock.json" -nt "$web/node_modules/.package-lock.json" ]; then
    (cd "$web" && npm ci --no-audit --no-fund --loglevel=error)
fi
