#!/bin/sh
# Checks the manual pages with every checker that is installed: mandoc's lint
# (warnings and worse fail) and man-db's groff rendering (any warning fails).
# Exit status 77 tells ctest that no checker was there to run.
set -u
checked=0
failed=0
for page in "$@"; do
    if command -v mandoc >/dev/null 2>&1; then
        checked=1
        if ! mandoc -T lint -W warning "$page"; then
            echo "mandoc finds faults in $page"
            failed=1
        fi
    fi
    if command -v man >/dev/null 2>&1; then
        checked=1
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 MAN_DISABLE_SECCOMP=1 \
            man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
        if [ -n "$warnings" ]; then
            printf 'man -l warns about %s:\n%s\n' "$page" "$warnings"
            failed=1
        fi
    fi
done
[ "$checked" = 1 ] || { echo "neither mandoc nor man is installed"; exit 77; }
exit "$failed"
