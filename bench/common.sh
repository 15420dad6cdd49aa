# Shared by the benchmark scripts: installs their tools, builds the release
# binaries into build-bench/ (or $BENCH_BUILD_DIR), and gives the helpers that
# read hyperfine's results and a program's peak memory. Sourced, not run.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BENCH_BUILD_DIR:-$root/build-bench}"
work="${BENCH_DIR:-$root/bench/out}"

"$root/tools/setup.sh"
missing=()
for package in hyperfine netpbm imagemagick time eatmydata bsdutils; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if ((${#missing[@]} > 0)); then
    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBMP24TO8_BUILD_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel >/dev/null
cli="$build/cli/bmp24to8-cli"
mkdir -p "$work/src"

# The median of command N (from 1) in a hyperfine CSV export, in milliseconds.
median_ms() { awk -F, -v n="$2" 'NR == n + 1 { printf "%.1f", $4 * 1000 }' "$1"; }
# A command's peak resident memory in MiB.
peak_mib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1 | awk '{ printf "%.1f", $1 / 1024 }'; }
# A seeded picture of bench/makebmp, made once: NAME is WIDTHxHEIGHT-COLOURS-KIND.
picture() {
    local name="$1" size="${1%%-*}" rest="${1#*-}"
    [ -f "$work/src/$name.bmp" ] || "$build/bench/makebmp" "${size%x*}" "${size#*x}" "${rest%-*}" "${rest#*-}" 7 "$work/src/$name.bmp"
    echo "$work/src/$name.bmp"
}
