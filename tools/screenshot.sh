#!/usr/bin/env bash
# Runs the program under Xvfb, with a window manager, on a folder of sample pictures, converts them all
# by clicking as a user would, checks the outputs, and saves a screenshot of
# the window after the run as docs/main-window.png. A compositor runs, so the
# window's opacity shows: before any input the window must already be opaque,
# as docs/window-at-start.png shows.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
"$root/tools/setup.sh"

work="$(mktemp -d)"
app="" compositor="" manager="" xvfb=""
trap 'kill $app $compositor $manager $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/demo/in" "$work/demo/out"
cd "$work/demo/in"
convert -size 120x80 xc:'#203060' -fill '#f0c020' -draw 'circle 60,40 60,15' -type TrueColor BMP3:logo.bmp
convert -size 64x64 pattern:checkerboard -type TrueColor BMP3:checkers.bmp
convert -size 100x60 xc:white -fill black -draw 'rectangle 10,10 90,50' -type TrueColor BMP3:boot_screen.bmp
convert -size 256x64 gradient:red-blue -type TrueColor BMP3:gradient.bmp
convert -seed 7 -size 96x64 plasma:fractal -type TrueColor BMP3:photo.bmp
echo "not a picture" > notes.bmp
convert -size 32x32 xc:gray -type Palette BMP3:already_8bit.bmp

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -br >/dev/null 2>&1 & xvfb=$!
sleep 1
export DISPLAY=$display
xcompmgr >/dev/null 2>&1 & compositor=$!
openbox --sm-disable >/dev/null 2>&1 & manager=$!
sleep 1
cd "$work/demo"
"$build/app/bmp24to8" 2>/dev/null & app=$!
sleep 2
main=$(xdotool search --name '^Picture converter 24 to 8 bit BMP$' | head -n 1)
# Where the window's own area starts on the screen, inside the window manager's frame.
corner() { xwininfo -id "$1" | awk -v key="$2" '$0 ~ "Absolute upper-left " key ":" { print $NF }'; }
wx=$(corner "$main" X); wy=$(corner "$main" Y)
# No input has been sent yet: the faded-in window must already hide the
# compositor's grey background (about 0.5) as an opaque window does (about 0.9).
import -window root "$work/start.png"
brightness=$(convert "$work/start.png" -crop 352x381+${wx}+${wy} +repage -colorspace gray -format '%[fx:mean]' info:)
echo "window brightness before any input: $brightness (0.5 = invisible)"
awk -v b="$brightness" 'BEGIN { exit !(b > 0.8) }' || { echo "the window did not fade in without input" >&2; exit 1; }
convert "$work/start.png" -crop $((352 + 40))x$((381 + 40))+$((wx - 20))+$((wy - 30)) +repage "$root/docs/window-at-start.png"
# Folder lists: rows for /, tmp, the work folder, demo, then its subfolders in and out.
depth=$(($(tr -cd / <<<"$work/demo" | wc -c) + 1))
row() { echo $((wy + 32 + 11 + 18 * $1)); }
xdotool mousemove $((wx + 50)) "$(row $depth)" click --repeat 2 --delay 80 1
sleep 0.5
xdotool mousemove $((wx + 230)) "$(row $((depth + 1)))" click --repeat 2 --delay 80 1
sleep 0.5
xdotool mousemove $((wx + 264)) $((wy + 248)) click 1
sleep 3
# The error list placed itself beside the main window: both go in the picture.
errors=$(xdotool search --name '^Error list$' | head -n 1)
ex=$(corner "$errors" X); ey=$(corner "$errors" Y)
right=$((ex + 312 + 12)); bottom=$(( (ey + 218 > wy + 381 ? ey + 218 : wy + 381) + 12 ))
sleep 0.5
import -window root "$work/screen.png"
convert "$work/screen.png" -crop $((right - wx + 12))x$((bottom - wy + 36))+$((wx - 12))+$((wy - 30)) +repage "$root/docs/main-window.png"
# The window's outputs must be exactly what the command line writes.
mkdir "$work/cli"
"$build/cli/bmp24to8-cli" --dest "$work/cli" "$work"/demo/in/*.bmp 2>/dev/null || true
for file in "$work"/cli/*; do cmp "$file" "$work/demo/out/$(basename "$file")"; done
[ "$(ls "$work/cli")" = "$(ls "$work/demo/out")" ]
echo "Converted by the window, identical to the command line's output:"
ls "$work/demo/out"
