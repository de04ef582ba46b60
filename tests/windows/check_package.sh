#!/bin/sh
# Installs the Windows build into a staging folder, as CPack does for the ZIP
# file, and checks that it holds exactly the program, the read-me, the task
# script and the licence, the texts with Windows line ends.
# Arguments: the cmake program, the build directory.
set -eu
cmake=$1
build=$2
stage=$build/package-check
trap 'rm -rf "$stage"' EXIT
rm -rf "$stage"
"$cmake" --install "$build" --prefix "$stage" >/dev/null
found=$(cd "$stage" && find . -type f | sort | tr '\n' ' ')
expected="./LIESMICH.txt ./LIZENZ.txt ./fegaus-taeglich.cmd ./fegaus.exe "
[ "$found" = "$expected" ] || { echo "the package would hold: $found, expected: $expected"; exit 1; }
for text in LIESMICH.txt LIZENZ.txt fegaus-taeglich.cmd; do
    lines=$(wc -l <"$stage/$text")
    windows_lines=$(grep -c "$(printf '\r')\$" "$stage/$text" || true)
    [ "$lines" -gt 0 ] && [ "$lines" -eq "$windows_lines" ] || {
        echo "$text: $windows_lines of $lines lines end in CR LF"; exit 1; }
done
grep -q "^MIT License" "$stage/LIZENZ.txt" || { echo "LIZENZ.txt holds no MIT licence"; exit 1; }
grep -q "LIZENZ.txt" "$stage/LIESMICH.txt" || { echo "LIESMICH.txt does not list LIZENZ.txt"; exit 1; }
echo "the Windows package holds what it should"
