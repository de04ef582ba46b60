#!/bin/sh
# Starts a persistent Wine server and Wine's system processes for the tests.
# A first start may take its time or fail once; it is tried three times.
# usage: wine_start.sh WINESERVER WINE
server=$1
wine=$2
for attempt in 1 2 3; do
    if "$server" -p </dev/null >/dev/null 2>&1 \
        && timeout 120 "$wine" cmd /c exit </dev/null >/dev/null 2>&1; then
        exit 0
    fi
    echo "wine did not start (attempt $attempt)" >&2
    "$server" -k >/dev/null 2>&1
    sleep 2
done
exit 1
