#!/usr/bin/env bash
# The command line's own costs, each against its baseline in the same run, as
# Markdown tables:
#   - a batch of 1000 pictures of 320 x 240, with syncs, its status line drawn
#     on a pseudo-terminal, against the same batch with standard error
#     redirected (both run by script(1), so both have a terminal around them);
#   - an 8192 x 8192 picture written to standard output into /dev/null, against
#     --dest DIR with its syncs removed (eatmydata): time and peak memory;
#   - the same batch of 1000, with syncs, one FILE at a time (-j 1) against the
#     default (one at a time for each processor);
#   - 8192 x 8192 and 4096 x 4096 pictures against the limit program
#     (../shared/bench/limit.c, when it is there) with -s, both without syncs.
#
#   bash bench/cli.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
runs="${BENCH_RUNS:-7}"

batch="$work/batch"
if [ ! -f "$batch/999.bmp" ]; then
    mkdir -p "$batch"
    for i in $(seq 0 999); do "$build/bench/makebmp" 320 240 256 noisy "$i" "$batch/$(printf %03d "$i").bmp"; done
fi
mkdir -p "$work/batch-out" "$work/ours"
hyperfine -N --style none --warmup 1 --runs "$runs" --prepare sync --export-csv "$work/terminal.csv" \
    "script -qfec '$cli --placement none --dest $work/batch-out $batch/*.bmp' /dev/null" \
    "script -qfec '$cli --placement none --dest $work/batch-out $batch/*.bmp 2>/dev/null' /dev/null" >/dev/null 2>&1
terminal=$(median_ms "$work/terminal.csv" 1); redirected=$(median_ms "$work/terminal.csv" 2)
echo "| 1000 files of 320 x 240, synced | status line on a terminal ms | redirected ms | terminal / redirected |"
echo "|---|---:|---:|---:|"
awk -v t="$terminal" -v r="$redirected" 'BEGIN { printf "| median of '"$runs"' | %.1f | %.1f | %.2f |\n", t, r, t / r }'

big="$(picture 8192x8192-256-noisy)"
hyperfine -N --style none --warmup 1 --runs "$runs" --output null --export-csv "$work/stdout.csv" \
    "eatmydata $cli --dest $work/ours $big" "$cli --dest - $big" >/dev/null 2>&1
folder=$(median_ms "$work/stdout.csv" 1); stdout=$(median_ms "$work/stdout.csv" 2)
folder_peak=$(peak_mib eatmydata "$cli" --dest "$work/ours" "$big"); stdout_peak=$(peak_mib "$cli" --dest - "$big")
echo
echo "| 8192 x 8192, 256 colours | --dest DIR, no syncs | --dest - > /dev/null | ratio |"
echo "|---|---:|---:|---:|"
awk -v f="$folder" -v s="$stdout" -v fp="$folder_peak" -v sp="$stdout_peak" 'BEGIN {
    printf "| time, median of '"$runs"' | %.1f ms | %.1f ms | %.2f |\n", f, s, s / f
    printf "| peak memory | %.1f MiB | %.1f MiB | %.2f |\n", fp, sp, sp / fp }'

hyperfine -N --style none --warmup 1 --runs "$runs" --prepare sync --export-csv "$work/jobs.csv" \
    "bash -c '$cli --placement none -j 1 --dest $work/batch-out $batch/*.bmp'" \
    "bash -c '$cli --placement none --dest $work/batch-out $batch/*.bmp'" >/dev/null 2>&1
one=$(median_ms "$work/jobs.csv" 1); all=$(median_ms "$work/jobs.csv" 2)
echo
echo "| 1000 files of 320 x 240, synced | -j 1 ms | default ($(nproc) processors) ms | speed-up |"
echo "|---|---:|---:|---:|"
awk -v o="$one" -v a="$all" 'BEGIN { printf "| median of '"$runs"' | %.1f | %.1f | %.2f |\n", o, a, o / a }'

limit_source="${LIMIT_SOURCE:-$root/../shared/bench/limit.c}"
if [ -f "$limit_source" ]; then
    cc -O2 -march=x86-64-v2 -o "$build/limit" "$limit_source"
    mkdir -p "$work/limit"
    echo
    echo "| picture | ours, no sync ms | limit -s, no sync ms | ours / limit |"
    echo "|---|---:|---:|---:|"
    for name in 8192x8192-256-noisy 4096x4096-256-noisy; do
        source="$(picture "$name")"
        hyperfine -N --style none --warmup 1 --runs 9 --prepare sync --export-csv "$work/limit.csv" \
            "eatmydata $cli --placement none --no-four-bit --dest $work/ours $source" \
            "eatmydata $build/limit -s -8 $source $work/limit/$name.bmp" >/dev/null 2>&1
        ours=$(median_ms "$work/limit.csv" 1); limit=$(median_ms "$work/limit.csv" 2)
        awk -v n="$name" -v o="$ours" -v l="$limit" 'BEGIN { printf "| %s | %.1f | %.1f | %.2f |\n", n, o, l, o / l }'
    done
fi
