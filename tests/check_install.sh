#!/bin/sh
# Installs the build into a staging directory, once under the usual prefix and
# once, stripped, under another, and checks that exactly the program, its two
# manual pages, its documentation and examples arrive where they belong, that
# the installed program runs, and that the examples name it and work.
# Arguments: the cmake program, the build directory, readelf (may be empty).
# FEGAUS_EMULATOR, when set, is the command that runs a cross-built program.
set -eu
cmake=$1
build=$2
readelf=${3:-}
case $readelf in *NOTFOUND) readelf="" ;; esac
here=$(dirname "$0")
stage=$build/install-check
maker=$(sed -n 's/^#define FEGAUS_MAKER_NAME "\(.*\)"$/\1/p' "$here/../src/app/maker.h")
trap 'rm -rf "$stage"' EXIT

expected="./bin/fegaus
./share/doc/fegaus/changelog
./share/doc/fegaus/copyright
./share/doc/fegaus/examples/cron/fegaus
./share/doc/fegaus/examples/systemd/fegaus-sweep.service
./share/doc/fegaus/examples/systemd/fegaus-sweep.timer
./share/man/de/man1/fegaus.1
./share/man/man1/fegaus.1"

for prefix in /usr /opt/fegaus; do
    rm -rf "$stage"
    strip=""
    [ "$prefix" = /usr ] || strip=--strip
    DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" $strip >/dev/null
    root=$stage$prefix
    # Compressed or not, depending on gzip at build time.
    found=$(cd "$root" && find . -type f | sed 's/\.gz$//' | sort)
    [ "$found" = "$expected" ] || {
        printf 'installed under %s:\n%s\nexpected:\n%s\n' "$prefix" "$found" "$expected"; exit 1; }
    outside=$(cd "$stage" && find . -type f ! -path "./${prefix#/}/*")
    [ -z "$outside" ] || { echo "installed outside $prefix: $outside"; exit 1; }
    [ -x "$root/bin/fegaus" ] || { echo "$prefix/bin/fegaus is not executable"; exit 1; }
    ${FEGAUS_EMULATOR:-} "$root/bin/fegaus" -Q -? | grep -q "^FEGAUS \[-L=Tageszahl\]" || {
        echo "the installed program does not show its help"; exit 1; }
    grep -q "^Copyright: [0-9].* $maker\$" "$root/share/doc/fegaus/copyright" || {
        echo "the copyright file does not name $maker"; exit 1; }
    bash "$here/check_examples.sh" "$root/share/doc/fegaus/examples" "$prefix/bin/fegaus" "$stage" >/dev/null
    # --strip leaves no symbol table; without it the build's own stays.
    if [ -n "$readelf" ]; then
        if "$readelf" -S "$root/bin/fegaus" | grep -q '\.symtab'; then symbols=yes; else symbols=no; fi
        [ "$symbols" = "$([ -n "$strip" ] && echo no || echo yes)" ] || {
            echo "symbol table under $prefix ($strip): $symbols"; exit 1; }
    fi
done
if command -v gzip >/dev/null 2>&1; then
    docs=$stage/opt/fegaus/share
    gzip -t "$docs/man/man1/fegaus.1.gz" "$docs/man/de/man1/fegaus.1.gz" "$docs/doc/fegaus/changelog.gz"
fi
echo "installed layout is as expected"
