#!/usr/bin/env bash
# Builds and runs every test as an ordinary user, so that permissions, owners
# and limits are met as a user without privileges meets them (all but the
# WebAssembly and Windows builds, which tools/test.sh runs). Run as root: the
# checkout is copied into a folder that the user "nobody" owns, and built and
# tested there by that user. Ends with CTest's summary.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
user="${TEST_USER:-nobody}"
[[ $(id -u) -eq 0 ]] || { echo "test-as-user.sh: run as root; it runs the tests as '$user'" >&2; exit 2; }
"$root/tools/setup.sh"

work="$(mktemp -d /tmp/bmp24to8-user.XXXXXX)"
trap 'rm -rf "$work"' EXIT
tar -C "$root" --exclude=./.git --exclude='./build' --exclude='./build-*' --exclude=./web/node_modules --exclude=./bench/out -cf - . | tar -C "$work" -xf -
chown -R "$user" "$work"
# A second group for the user, so that a replaced file of that group is tried.
getent group bmp24to8test >/dev/null || groupadd bmp24to8test
id -nG "$user" | grep -qw bmp24to8test || usermod -a -G bmp24to8test "$user"
# Another owner's file that the user may write, in a folder of the user's.
mkdir "$work/foreign"
printf old >"$work/foreign/owned-by-root.bmp"
chown root:bmp24to8test "$work/foreign/owned-by-root.bmp"
chmod 02664 "$work/foreign/owned-by-root.bmp"
chown "$user" "$work/foreign"
chmod 755 "$work"
runuser -u "$user" -- env HOME="$work" TMPDIR="$work" BMP24TO8_FOREIGN_FILE="$work/foreign/owned-by-root.bmp" bash -c '
    set -euo pipefail
    cmake -S "$1" -B "$1/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$1/build" --parallel >/dev/null
    cd "$1/build"
    ctest --output-on-failure --parallel "$(nproc)" --label-exclude cross
' bash "$work"
