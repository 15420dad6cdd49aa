#!/usr/bin/env bash
# The command line's own costs, each against its baseline in the same run, as
# Markdown tables:
#   - a batch of 1000 pictures of 320 x 240, with syncs, its status line drawn
#     on a pseudo-terminal, against the same batch with standard error
#     redirected (both run by script(1), so both have a terminal around them);
#   - an 8192 x 8192 picture written to standard output into /dev/null, against
#     --dest DIR with its syncs removed (eatmydata): time and peak memory.
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
hyperfine -N --style none --warmup 1 --runs "$runs" --export-csv "$work/terminal.csv" \
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
