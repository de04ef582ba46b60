#!/bin/sh
# Installs the build into a staging directory, once under the usual prefix and
# once under another, and checks that exactly the program and its two manual
# pages arrive where they belong, and that the installed program runs.
# Arguments: the cmake program, the build directory.
set -eu
cmake=$1
build=$2
stage=$build/install-check
trap 'rm -rf "$stage"' EXIT

for prefix in /usr /opt/fegaus; do
    rm -rf "$stage"
    DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" >/dev/null
    root=$stage$prefix
    found=$(cd "$root" && find . -type f | sort | tr '\n' ' ')
    for page in share/man/man1/fegaus.1 share/man/de/man1/fegaus.1; do
        [ -f "$root/$page.gz" ] || [ -f "$root/$page" ] || {
            echo "missing $prefix/$page (installed: $found)"; exit 1; }
    done
    [ -x "$root/bin/fegaus" ] || { echo "missing $prefix/bin/fegaus (installed: $found)"; exit 1; }
    count=$(cd "$root" && find . -type f | wc -l)
    [ "$count" -eq 3 ] || { echo "expected 3 files under $prefix, found: $found"; exit 1; }
    outside=$(cd "$stage" && find . -type f ! -path "./${prefix#/}/*")
    [ -z "$outside" ] || { echo "installed outside $prefix: $outside"; exit 1; }
    "$root/bin/fegaus" -Q -? | grep -q "^FEGAUS \[-L=Tageszahl\]" || {
        echo "the installed program does not show its help"; exit 1; }
done
if command -v gzip >/dev/null 2>&1; then
    gzip -t "$stage/opt/fegaus/share/man/man1/fegaus.1.gz" "$stage/opt/fegaus/share/man/de/man1/fegaus.1.gz"
fi
echo "installed layout is as expected"
