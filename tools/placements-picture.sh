#!/usr/bin/env bash
# Draws docs/placements.png: the palette of a 16-colour picture as the program
# writes it with no reordering, with the DOS placement and with the boot-screen
# placement, read back from the files the command line writes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="${BUILD_DIR:-$root/build}/cli/bmp24to8-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# 16 colours, in this order of first appearance; the darkest two are black
# (index 6) and navy (index 11).
colours=(skyblue white gold orange tomato orchid black lightgreen teal salmon khaki navy silver pink wheat tan)
convert -size 1x1 "${colours[@]/#/xc:}" +append -type TrueColor "BMP3:$work/picture.bmp"

font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
rows=()
for placement in none dos boot; do
    mkdir -p "$work/$placement"
    "$cli" --placement "$placement" --dest "$work/$placement" "$work/picture.bmp"
    swatches=()
    for index in $(seq 0 15); do
        read -r b g r < <(od -An -tu1 -j $((54 + 4 * index)) -N3 "$work/$placement/picture.bmp")
        text=$(( (r * 299 + g * 587 + b * 114) / 1000 < 128 ? 1 : 0 ))
        swatches+=(\( -size 40x40 "xc:rgb($r,$g,$b)" -font "$font" -pointsize 13 \
                     -fill "$([ "$text" = 1 ] && echo white || echo black)" -gravity center -annotate +0+0 "$index" \))
    done
    label=$(case $placement in none) echo "None." ;; dos) echo "DOS" ;; boot) echo "Boot screen" ;; esac)
    convert \( -size 110x40 xc:white -font "$font" -pointsize 14 -gravity west -annotate +6+0 "$label" \) \
        "${swatches[@]}" +append "$work/row-$placement.png"
    rows+=("$work/row-$placement.png")
done
convert "${rows[@]}" -background white -splice 0x4 -append -bordercolor white -border 6 "$root/docs/placements.png"
echo "wrote docs/placements.png"
