#!/usr/bin/env bash
# Fuzzes the conversion for the given number of seconds (default 60) with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer. Any input
# that fails is saved under tests/crashers/, where CTest replays it from then on.
#
#   bash tools/fuzz.sh [SECONDS] [JOBS]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"
jobs="${2:-1}"
"$root/tools/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBMP24TO8_FUZZ=ON >/dev/null
cmake --build "$build" --target fuzz_convert makeseeds
# New inputs that reach new code are added to the corpus kept in the repository.
corpus="$root/tests/fuzz/corpus"
mkdir -p "$corpus"
"$build/tests/fuzz/makeseeds" "$build/seeds"
cd "$build"
"$build/tests/fuzz/fuzz_convert" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -jobs="$jobs" -workers="$jobs" -print_final_stats=1 \
    -artifact_prefix="$root/tests/crashers/" "$corpus" "$build/seeds"
echo "corpus: $(ls "$corpus" | wc -l) files"
