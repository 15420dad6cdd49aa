#!/usr/bin/env bash
# Builds the Windows command line with mingw-w64 and tests it under Wine
# against the Linux command line: every picture the fuzz replay uses under all
# six option combinations (outputs byte for byte, refusal lines, exit
# statuses), names beyond ASCII, wildcards, destinations that must be left
# alone, standard streams, --check, and each Win32 call of the writer failing
# in turn. Exits with 77 (CTest's "skipped") when the cross-compiler or Wine
# is missing; tools/setup.sh installs both. Ends with "N passed, N failed".
#
#   bash tools/windows-test.sh BUILD_FOLDER LINUX_CLI PICTURE_FOLDER...
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "$1")"
linux="$(realpath "$2")"
shift 2
pictures=()
for folder in "$@"; do pictures+=("$(realpath "$folder")"); done
wine=/usr/lib/wine/wine64
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || [ ! -x "$wine" ]; then
    echo "windows test skipped: mingw-w64 or Wine is not installed (bash tools/setup.sh installs them)"
    exit 77
fi
WINDOWS_BUILD_DIR="$build" SKIP_SETUP=1 bash "$root/tools/build-windows.sh" >/dev/null || exit 1
exe="$build/cli/bmp24to8-cli.exe"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A Wine prefix of the test's own, made once and kept with the build.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || "$wine" cmd /c exit >/dev/null 2>&1 </dev/null
# Lines end in CR LF on Windows, as its programs' lines do; compared without the CR.
win() { "$wine" "$exe" "$@"; }
text() { tr -d '\r' <"$1"; }

passed=0
failed=0
check() {   # check DESCRIPTION COMMAND...
    local what="$1"
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $what"
    fi
}

# Every picture, every option combination: the same files, lines and status.
cd "$work"
for folder in "${pictures[@]}"; do
    name="$(basename "$folder")"
    cp -r "$folder" "$name"
    for options in "" "--no-four-bit" "--placement none" "--placement dos" "--no-four-bit --placement none" \
                   "--no-four-bit --placement dos"; do
        rm -rf linux windows && mkdir linux windows
        "$linux" $options --dest linux "$name"/* 2>linux.err; linuxStatus=$?
        win $options --dest windows "$name/*" 2>windows.err; windowsStatus=$?
        check "$name, '$options': status $windowsStatus, Linux $linuxStatus" [ "$windowsStatus" = "$linuxStatus" ]
        check "$name, '$options': refusal lines differ" cmp -s <(sort linux.err) <(text windows.err | sort)
        check "$name, '$options': outputs differ" diff -r -q linux windows
    done
done

# The reviewed cases: each output's SHA-256, or the refusal's first line.
cp -r "$root/tests/cases" cases
while IFS= read -r line; do
    [[ "$line" == \#* || -z "$line" ]] && continue
    # Fields split by hand: read would run two tabs (no options) into one.
    picture="${line%%$'\t'*}"; rest="${line#*$'\t'}"; options="${rest%%$'\t'*}"; expected="${rest#*$'\t'}"
    (cd cases && win $options --dest - "$picture" >../case.out 2>../case.err); status=$?
    if [ "$status" = 0 ]; then got="sha256 $(sha256sum <case.out | cut -d' ' -f1)"; else got="$(text case.err | head -1)"; fi
    check "case $picture '$options': $got" [ "$got" = "${expected//\{\}/$picture}" ]
done <"$root/tests/cases/cases.tsv"

# Names beyond ASCII in and out, a wildcard with a backslash, destinations
# that are left alone, standard streams and --check.
mkdir names out
convert -size 9x7 xc:'#203060' -fill '#f0c020' -draw 'point 3,3' -type TrueColor BMP3:names/picture.bmp
cp names/picture.bmp "names/žluťoučký kůň.bmp"
cp names/picture.bmp "names/图片 1.bmp"
"$linux" --dest - names/picture.bmp >expected.bmp
win --dest out 'names\žluťoučký kůň.bmp' "names/图片 1.bmp" "names/chybí ž.bmp" 2>err; status=$?
check "names beyond ASCII: status $status" [ "$status" = 1 ]
check "names beyond ASCII: outputs" cmp -s "out/žluťoučký kůň.bmp" expected.bmp
check "names beyond ASCII: CJK output" cmp -s "out/图片 1.bmp" expected.bmp
check "names beyond ASCII: the refusal line '$(text err)'" [ "$(text err)" = "Cannot open file - names/chybí ž.bmp" ]
mkdir names/folder.bmp   # a wildcard takes files only, not folders whose names match
win --dest out 'names\*.bmp' 2>err; status=$?
check "a wildcard with a backslash: status $status" [ "$status" = 0 ]
check "a wildcard with a backslash: $(ls out | wc -l) outputs" [ "$(ls out | wc -l)" = 3 ]

cp expected.bmp out/readonly.bmp && chmod 444 out/readonly.bmp && cp names/picture.bmp readonly.bmp
mkdir out/folder.bmp && cp names/picture.bmp folder.bmp
for row in "readonly.bmp|--dest out readonly.bmp|Cannot write file - out/readonly.bmp (Access denied)" \
           "folder.bmp|--dest out folder.bmp|Cannot write file - out/folder.bmp (Is a directory)" \
           "NUL|-o NUL names/picture.bmp|Cannot write file - NUL (Not a regular file)" \
           "COM1.bmp|-o COM1.bmp names/picture.bmp|Cannot write file - COM1.bmp (Not a regular file)"; do
    IFS='|' read -r what arguments line <<<"$row"
    win $arguments 2>err; status=$?
    check "$what as destination: status $status" [ "$status" = 1 ]
    check "$what as destination: '$(text err)'" [ "$(text err)" = "$line" ]
done
check "the read-only destination changed" cmp -s out/readonly.bmp expected.bmp
check "a temporary file is left" [ -z "$(ls -A out | grep '^\.bmp24to8-')" ]

win --dest - - <names/picture.bmp >piped.bmp; status=$?
check "standard input to standard output: status $status" [ "$status" = 0 ]
check "standard input to standard output: bytes" cmp -s piped.bmp expected.bmp
# Bytes that a text stream would change (line ends, end of file) in the picture and in its output.
convert -size 3x2 xc:'#1a0d0a' -fill '#0a1a0d' -draw 'point 1,0' -fill '#0d0a1a' -draw 'point 2,1' -type TrueColor BMP3:text-bytes.bmp
"$linux" --dest - text-bytes.bmp >text-expected.bmp
win --dest - - <text-bytes.bmp >text-piped.bmp; status=$?
check "0x0A, 0x0D and 0x1A through the streams: status $status" [ "$status" = 0 ]
check "0x0A, 0x0D and 0x1A through the streams: bytes" cmp -s text-piped.bmp text-expected.bmp
check "--check" [ "$(win --check --no-four-bit names/picture.bmp | tr -d '\r')" = "$("$linux" --check --no-four-bit names/picture.bmp)" ]
# A picture large enough to be read ahead on a thread of its own (6 MB).
convert -size 2000x1000 gradient:red-blue -colors 200 -type TrueColor BMP3:large.bmp
"$linux" --dest - large.bmp >large-expected.bmp
win --dest - large.bmp >large.out; status=$?
check "a picture read ahead: status $status" [ "$status" = 0 ]
check "a picture read ahead: bytes" cmp -s large.out large-expected.bmp

mkdir faults && (cd faults && "$wine" "$build/windows-write-faults.exe" >../faults.out); status=$?
check "the writer with failing Win32 calls: $(grep -v passed faults.out)" [ "$status" = 0 ]
# The console's handler on a second Ctrl+C, called while a file is written.
(cd faults && printf old >written.bmp && "$wine" "$build/windows-write-faults.exe" interrupt >../interrupt.out); status=$?
check "a second Ctrl+C while writing: status $status, $(cat interrupt.out)" [ "$status" = 130 ]
check "a second Ctrl+C while writing: the destination changed" [ "$(cat faults/written.bmp)" = old ]
check "a second Ctrl+C while writing: a temporary file is left" [ -z "$(ls -A faults | grep '^\.bmp24to8-')" ]

# Names the Windows file systems take for one: any letter case of all of
# Unicode; a drive's letter before a name; a name that a wildcard gave,
# however much it looks like an option.
mkdir d1 d2 o
cp names/picture.bmp d1/Č.bmp && convert -size 3x3 xc:'#102030' -type TrueColor BMP3:d2/č.bmp
win --dest o 'd1\Č.bmp' 'd2\č.bmp' 2>err; status=$?
check "Č and č: status $status" [ "$status" = 1 ]
check "Č and č: '$(text err)'" [ "$(text err)" = "Duplicate destination - o/č.bmp" ]
check "Č and č: the first picture is kept" cmp -s o/Č.bmp expected.bmp
mkdir drive && cp names/picture.bmp a.bmp
win --dest drive Z:a.bmp 2>err; status=$?
check "Z:a.bmp: status $status, $(text err)" [ "$status" = 0 ]
check "Z:a.bmp: written as $(ls drive)" cmp -s drive/a.bmp expected.bmp
mkdir wild wildout && cp names/picture.bmp wild/-o.bmp && cp names/picture.bmp wild/b.bmp
(cd wild && win --dest ../wildout '*.bmp' 2>../err); status=$?
check "a wildcard's -o.bmp: status $status, $(text err)" [ "$status" = 0 ]
check "a wildcard's -o.bmp: converted as a file, outputs $(ls -A wildout | tr '\n' ' ')" [ "$(ls -A wildout | tr '\n' ' ')" = "-o.bmp b.bmp " ]

# What a Windows user gets: text files with CR LF, help that fits a console
# and speaks of Windows, the manifest and a version.
zip="$(ls "$build"/bmp24to8-cli-*-win64.zip)"
for file in README.txt LICENSE.txt; do
    check "$file has lines without CR" [ "$(unzip -p "$zip" "$file" | grep -cv $'\r$')" = 0 ]
done
win --help >help.txt
check "--help: lines over 79 columns: $(text help.txt | awk 'length > 79' | head -1)" [ -z "$(text help.txt | awk 'length > 79')" ]
check "--help speaks of Unix" [ -z "$(grep -E 'TERM|/dev/stdin|HUP' help.txt)" ]
for setting in '<longPathAware[^>]*>true<' '<activeCodePage[^>]*>UTF-8<'; do
    check "the manifest's $setting" grep -q -a "$setting" "$exe"
done
version="$("$linux" --version | cut -d' ' -f2)"
check "the version resource holds $version" bash -c 'strings -el "$1" | grep -qx "$2"' bash "$exe" "$version"

echo "windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
