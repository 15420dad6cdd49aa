#!/usr/bin/env bash
# Fuzzes the conversion for the given number of seconds (default 60) with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer, starting
# from the corpus kept in the repository and the seeds, on a copy of the
# corpus in the build folder. Any input that fails is saved under
# tests/crashers/, where CTest replays it from then on.
#
#   bash tools/fuzz.sh [SECONDS] [JOBS]
#   bash tools/fuzz.sh --grow-corpus     # then adds what the runs found that reaches new code
#                                        # to tests/fuzz/corpus, minimised, for a commit
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
corpus="$root/tests/fuzz/corpus"
found="$build/corpus"
if [ "${1:-}" = --grow-corpus ]; then
    [ -d "$found" ] || { echo "no fuzzing run in $build to take a corpus from" >&2; exit 2; }
    "$build/tests/fuzz/fuzz_convert" -merge=1 "$corpus" "$found"
    echo "corpus: $(ls "$corpus" | wc -l) files"
    exit 0
fi
seconds="${1:-60}"
jobs="${2:-1}"
[ -n "${SKIP_SETUP:-}" ] || "$root/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBMP24TO8_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_convert makeseeds
"$build/tests/fuzz/makeseeds" "$build/seeds"
mkdir -p "$found"
cp -n "$corpus"/* "$found"/ 2>/dev/null || true
cd "$build"
"$build/tests/fuzz/fuzz_convert" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -jobs="$jobs" -workers="$jobs" -print_final_stats=1 \
    -artifact_prefix="$root/tests/crashers/" "$found" "$build/seeds"
echo "corpus in $found: $(ls "$found" | wc -l) files (bash tools/fuzz.sh --grow-corpus keeps what is new)"
