#!/usr/bin/env bash
# Times the removal of 20,000 old files by the Windows executable under Wine.
#
#   bench/wine_removals.sh [FEGAUS_EXE]   (default: build-windows/fegaus.exe)
#
# Every run gets a fresh folder of WINE_FILES files (default 20,000), all 60
# days old, and runs "fegaus.exe -Q -L=30 T:\bench\*.log" on it; the median of
# WINE_RUNS runs (default 10) is printed. The folder lies in /dev/shm and is
# reached through a drive letter T: of its own in the build's Wine prefix, so
# that the disk's journal does not blur the figures, and through no Unix mount
# point, which Wine shows as a reparse point. A run that leaves a file or
# prints anything fails. The Wine server is kept running between runs, so that
# its start is not timed.
set -euo pipefail

exe=${1:-build-windows/fegaus.exe}
files=${WINE_FILES:-20000}
runs=${WINE_RUNS:-10}
export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine-prefix} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scratch=$(mktemp -d /dev/shm/fegaus-wine-bench.XXXXXX)
trap 'rm -rf "$scratch" "$WINEPREFIX/dosdevices/t:"' EXIT
ln -sfn "$scratch" "$WINEPREFIX/dosdevices/t:"
/usr/lib/wine/wineserver -p || true # already running: so much the better
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1

times=()
for _ in $(seq "$runs"); do
    rm -rf "$scratch/bench"
    mkdir "$scratch/bench"
    (cd "$scratch/bench" && seq -f "f%05g.log" 1 "$files" | xargs touch -d "60 days ago")
    start=$(date +%s.%N)
    out=$(/usr/lib/wine/wine64 "$exe" -Q -L=30 'T:\bench\*.log')
    end=$(date +%s.%N)
    left=$(find "$scratch/bench" -type f | wc -l)
    if [ "$left" != 0 ] || [ -n "$out" ]; then
        echo "FAILED: $left files left, output: $out" >&2
        exit 1
    fi
    times+=("$(echo "$end - $start" | bc)")
done
printf '%s\n' "${times[@]}" | sort -n | awk -v files="$files" '{t[NR] = $1}
    END {printf "%d removals: median %.3f s (min %.3f, max %.3f, %d runs)\n", files,
         (t[int((NR + 1) / 2)] + t[int(NR / 2) + 1]) / 2, t[1], t[NR], NR}'
