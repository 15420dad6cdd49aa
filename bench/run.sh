#!/usr/bin/env bash
# Benchmarks the command line on seeded 24-bit pictures against the floor (read
# the source, write and sync a file of the output's size) and against netpbm
# and ImageMagick, with a warm page cache, in the same run. Checks that every
# output decodes to exactly the source's pixels and prints one Markdown table.
#
#   bash bench/run.sh                      # all sizes
#   BENCH_SIZES="640x480 4096x4096" bash bench/run.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
sizes="${BENCH_SIZES:-640x480 1920x1080 4096x4096 8192x8192}"

mkdir -p "$work"/{src,ours,floor,netpbm,magick,window}
# ImageMagick's default policy refuses the largest pictures; give it room.
cat > "$work/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
</policymap>
POLICY
export MAGICK_CONFIGURE_PATH="$work"

exact() { "$build/bench/samepixels" "$1" "$2" 2>/dev/null && echo yes || echo NO; }

echo "| picture | source MiB | ours ms | MB/s | peak MiB (limit) | floor ms | ours / floor | netpbm ms | x netpbm | ImageMagick ms | x ImageMagick | exact |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
for size in $sizes; do
    width=${size%x*}; height=${size#*x}
    for colours in 16 256; do
        for kind in flat noisy; do
            name="${size}-${colours}-${kind}"
            source="$work/src/$name.bmp"
            [ -f "$source" ] || "$build/bench/makebmp" "$width" "$height" "$colours" "$kind" 7 "$source"
            "$cli" --dest "$work/ours" "$source"
            output_bytes=$(stat -c %s "$work/ours/$name.bmp")
            source_bytes=$(stat -c %s "$source")
            runs=10; peer_runs=10
            ((width * height >= 4096 * 4096)) && peer_runs=3
            hyperfine -N --style none --warmup 1 --runs "$runs" --prepare sync --export-csv "$work/times.csv" \
                "$cli --dest $work/ours $source" \
                "$build/bench/floor $source $output_bytes $work/floor/$name.bmp" >/dev/null 2>&1
            ours=$(median_ms "$work/times.csv" 1); floor=$(median_ms "$work/times.csv" 2)
            hyperfine -N --style none --warmup 1 --runs "$peer_runs" --prepare sync --export-csv "$work/peers.csv" \
                "$cli --dest $work/ours $source" \
                "bash -c 'bmptopnm $source 2>/dev/null | ppmtobmp > $work/netpbm/$name.bmp 2>/dev/null'" \
                "convert $source +dither -type Palette -compress None BMP3:$work/magick/$name.bmp" >/dev/null 2>&1
            ours_again=$(median_ms "$work/peers.csv" 1)
            netpbm=$(median_ms "$work/peers.csv" 2); magick=$(median_ms "$work/peers.csv" 3)
            peak=$(peak_mib "$cli" --dest "$work/ours" "$source")
            limit=$(awk -v s="$source_bytes" 'BEGIN { printf "%.0f", (0.5 * s + 32 * 1048576) / 1048576 }')
            checks="ours $(exact "$source" "$work/ours/$name.bmp"), netpbm $(exact "$source" "$work/netpbm/$name.bmp"), IM $(exact "$source" "$work/magick/$name.bmp")"
            awk -v n="$name" -v sb="$source_bytes" -v o="$ours" -v f="$floor" -v o2="$ours_again" -v np="$netpbm" \
                -v im="$magick" -v pk="$peak" -v lim="$limit" -v ok="$checks" 'BEGIN {
                printf "| %s | %.1f | %.1f | %.0f | %.1f (%d) | %.1f | %.2f | %.1f | %.1f | %.1f | %.1f | %s |\n",
                    n, sb / 1048576, o, sb / 1e6 / (o / 1000), pk, lim, f, o / f, np, np / o2, im, im / o2, ok }'
        done
    done
done

# Against the limit program (../shared/bench/limit.c when it is there: one core,
# no libraries, byte-identical output), both with their syncs removed by
# eatmydata, so that only the work itself is compared. Medians of 9 runs each,
# sync before every run. The limit program overwrites its output in place; with
# -s it writes a temporary file and renames it, as we do to keep outputs atomic.
limit_source="${LIMIT_SOURCE:-$root/../shared/bench/limit.c}"
if [ -f "$limit_source" ] && [[ " $sizes " == *" 4096x4096 "* ]]; then
    cc -O2 -march=x86-64-v2 -o "$build/limit" "$limit_source"
    mkdir -p "$work/limit"
    echo
    echo "| picture, options | ours, no sync ms | limit ms | ours / limit | outputs |"
    echo "|---|---:|---:|---:|---|"
    while read -r name ours_options limit_options; do
        [ "$ours_options" = - ] && ours_options=""
        ours_options=${ours_options//,/ }
        [ -f "$work/src/$name.bmp" ] || "$build/bench/makebmp" ${name%%x*} $(cut -d- -f1 <<<"${name#*x}") \
            $(cut -d- -f2 <<<"$name") $(cut -d- -f3 <<<"$name") 7 "$work/src/$name.bmp"
        hyperfine -N --style none --warmup 1 --runs 9 --prepare sync --export-csv "$work/limit.csv" \
            "eatmydata $cli $ours_options --dest $work/ours $work/src/$name.bmp" \
            "eatmydata $build/limit ${limit_options//,/ } $work/src/$name.bmp $work/limit/$name.bmp" >/dev/null 2>&1
        ours=$(median_ms "$work/limit.csv" 1); limit=$(median_ms "$work/limit.csv" 2)
        same=$(cmp -s "$work/ours/$name.bmp" "$work/limit/$name.bmp" && echo identical || echo "differ (placement)")
        label="$name ${ours_options:-(defaults)}"
        [ -z "$ours_options$limit_options" ] && label="$label (limit: default)"
        [[ "$limit_options" == *-s* ]] && label="$label (limit: atomic, -s)"
        awk -v n="$label" -v o="$ours" -v l="$limit" -v s="$same" \
            'BEGIN { printf "| %s | %.1f | %.1f | %.2f | %s |\n", n, o, l, o / l, s }'
    done <<'CASES'
4096x4096-256-noisy --placement,none,--no-four-bit -8
8192x8192-256-noisy --placement,none,--no-four-bit -8
4096x4096-256-flat --placement,none,--no-four-bit -8
8192x8192-256-flat --placement,none,--no-four-bit -8
4096x4096-16-flat --placement,none
4096x4096-16-flat -
8192x8192-256-noisy --no-four-bit -8
4096x4096-16-flat --placement,none -s
CASES
fi

# Memory for the narrowest shape: one pixel wide, where the row padding would
# otherwise outweigh the pixels.
narrow="$work/src/1x100000000-256-noisy.bmp"
[ -f "$narrow" ] || "$build/bench/makebmp" 1 100000000 256 noisy 7 "$narrow"
narrow_peak=$(peak_mib "$cli" --placement none --no-four-bit --dest "$work/ours" "$narrow")
echo
echo "1 x 100,000,000 picture ($(awk -v s="$(stat -c %s "$narrow")" 'BEGIN { printf "%.0f", s / 1048576 }') MiB):" \
     "peak $narrow_peak MiB, limit $(awk -v s="$(stat -c %s "$narrow")" 'BEGIN { printf "%.0f", (0.5 * s + 32 * 1048576) / 1048576 }') MiB"
rm -f "$narrow" "$work/ours/$(basename "$narrow")"

# The window converting the largest 256-colour picture, next to the command line.
largest=$(ls -S "$work"/src/*-256-noisy.bmp | head -n 1)
hyperfine -N --style none --warmup 1 --runs 10 --prepare sync --export-csv "$work/window.csv" \
    "$cli --dest $work/ours $largest" "$build/bench/windowbench $largest $work/window" >/dev/null 2>&1
cli_ms=$(median_ms "$work/window.csv" 1); window_ms=$(median_ms "$work/window.csv" 2)
echo
echo "Window (offscreen) on $(basename "$largest"): $window_ms ms, command line $cli_ms ms," \
     "ratio $(awk -v w="$window_ms" -v c="$cli_ms" 'BEGIN { printf "%.2f", w / c }');" \
     "output identical: $(cmp -s "$work/window/$(basename "$largest")" "$work/ours/$(basename "$largest")" && echo yes || echo NO)"

# The web page on the largest 256-colour picture, next to the command line
# (when emscripten and Chromium are there; tools/setup.sh installs them).
if command -v emcc >/dev/null && command -v chromium >/dev/null; then
    WEB_BUILD_DIR="$build/web" bash "$root/tools/build-web.sh" >/dev/null
    echo
    node "$root/bench/web-bench.js" "$build/web" "$cli" "$largest" 7
fi
