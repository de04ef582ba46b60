#!/usr/bin/env bash
# Times fegaus against find on large directories and prints one table.
#
#   bench/run.sh [BUILD_DIR]        (default: build)
#
# Environment:
#   BENCH_SIZES   file counts per directory        (default: "100000 1000000")
#   BENCH_RUNS    runs per command, median taken   (default: 3; at least 5
#                 for the short many-patterns case)
#   BENCH_PARENTS directories in which the scratch directories are made, one per
#                 file system to compare (default: /dev/shm and /var/tmp)
#   BENCH_JOURNAL directory on a disk where an ext4 image with a journal is made
#                 and loop-mounted as one more file system to compare (default:
#                 /var/tmp; empty: none). Needs root; skipped with a reason otherwise.
#   BENCH_CACHES  warm, cold or both               (default: "warm cold"). A cold
#                 run drops the kernel's caches (sync; echo 3 >
#                 /proc/sys/vm/drop_caches) just before it starts; needs root, and
#                 is left out on tmpfs, whose files live in that cache.
#   BENCH_CASES   which cases to run               (default: "quiet list test patterns")
#
# ext4 without a journal skips recently freed inodes when it allocates new ones,
# so right after a million deletions the next million files take minutes to make
# (untimed, but long) unless the caches are dropped, which run.sh does as root.
# The journaled image is made with mkfs.ext4's default journal and its inode
# tables written out at once, so that no background initialisation runs during
# the timings.
#
# Every command runs on a directory made fresh for it; after each run the
# directory is checked: exactly the old *.log files must be gone (or, after a
# test run, nothing). A failed check marks the row FAILED.
set -euo pipefail

build=${1:-build}
make_files=$build/bench/bench_make_files
fegaus=$build/fegaus
sizes=${BENCH_SIZES:-100000 1000000}
runs=${BENCH_RUNS:-3}
parents=${BENCH_PARENTS:-/dev/shm /var/tmp}
journal_disk=${BENCH_JOURNAL-/var/tmp}
caches=${BENCH_CACHES:-warm cold}
cases=${BENCH_CASES:-quiet list test patterns}
pattern_files=10000 # the directory size of the many-patterns case

for tool in "$make_files" "$fegaus" /usr/bin/time find; do
    if ! command -v "$tool" >/dev/null; then
        echo "run.sh: $tool is missing (build first: cmake --workflow --preset default)" >&2
        exit 1
    fi
done

scratch_root=
image=
image_mount=
cleanup() {
    [ -n "$scratch_root" ] && rm -rf "$scratch_root"
    if [ -n "$image_mount" ]; then
        umount "$image_mount" && rmdir "$image_mount"
    fi
    [ -n "$image" ] && rm -f "$image"
    return 0
}
trap cleanup EXIT

# Measured values of the last timed command.
wall=0
rss=0

# timed OUT CMD... : runs CMD with stdout into OUT, sets wall (seconds) and rss (KiB).
timed() {
    local out=$1
    shift
    local start end
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$scratch_root/rss" "$@" >"$out"
    end=$EPOCHREALTIME
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    rss=$(tail -n 1 "$scratch_root/rss")
}

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Why a journaled ext4 image cannot be made here; empty when it can.
journal_obstacle() {
    if [ -z "$journal_disk" ]; then
        echo "BENCH_JOURNAL is empty"
    elif [ "$(id -u)" != 0 ]; then
        echo "mounting an image needs root"
    elif ! command -v mkfs.ext4 >/dev/null; then
        echo "mkfs.ext4 is missing (Debian package e2fsprogs)"
    fi
}

# Makes an ext4 image with mkfs.ext4's default journal on the disk of
# journal_disk and mounts it; sets image and image_mount, or fails.
mount_journal_image() {
    local largest=0 n inodes
    for n in $sizes $pattern_files; do
        [ "$n" -gt "$largest" ] && largest=$n
    done
    # Room for the largest directory with inodes to spare, as on a server's disk.
    inodes=$((largest * 5 / 2 > 2500000 ? largest * 5 / 2 : 2500000))
    image=$(mktemp "$journal_disk/fegaus-bench-ext4j.XXXXXX")
    truncate -s 8G "$image"
    mkfs.ext4 -q -F -N "$inodes" -E lazy_itable_init=0,lazy_journal_init=0 "$image"
    image_mount=$(mktemp -d "$journal_disk/fegaus-bench-ext4j-mount.XXXXXX")
    mount -o loop "$image" "$image_mount"
}

# Why a cold run cannot be done on file system fs; empty when it can.
cold_obstacle() {
    local fs=$1
    if [ "$fs" = tmpfs ]; then
        echo "the files of tmpfs live in the cache itself"
    elif [ ! -w /proc/sys/vm/drop_caches ]; then
        echo "dropping the caches needs root"
    fi
}

# Empties the kernel's page, dentry and inode caches.
drop_caches() {
    sync
    echo 3 >/proc/sys/vm/drop_caches
}

# The command lines of one case for directory d; sets tool_a / tool_b (arrays),
# out_a / out_b (where their stdout goes), expect, limit and the reference's name.
command_lines() {
    local name=$1 d=$2
    out_a=/dev/null
    out_b=/dev/null
    expect=deleted
    reference=find
    case $name in
    quiet)
        tool_a=("$fegaus" -L=30 -Q "$d/*.log")
        tool_b=(find "$d" -maxdepth 1 -name '*.log' -mtime +30 -delete)
        limit=1.0 ;;
    list)
        tool_a=("$fegaus" -L=30 "$d/*.log")
        tool_b=(find "$d" -maxdepth 1 -name '*.log' -mtime +30 -print -delete)
        out_a=$scratch_root/out_a
        out_b=$scratch_root/out_b
        limit=1.1 ;;
    test)
        tool_a=("$fegaus" -L=30 -T "$d/*.log")
        tool_b=(find "$d" -maxdepth 1 -name '*.log' -mtime +30
                -printf '%TY-%Tm-%Td %TH:%TM %s %f\n')
        out_a=$scratch_root/out_a
        out_b=$scratch_root/out_b
        expect=kept
        limit=1.0 ;;
    patterns)
        # What the shell makes of an unquoted $d/*.log, against the quoted pattern.
        local names=("$d"/*.log)
        tool_a=("$fegaus" -L=30 -Q "${names[@]}")
        tool_b=("$fegaus" -L=30 -Q "$d/*.log")
        reference="fegaus 1 pattern"
        limit=3.0 ;;
    esac
}

# run_one CASE N FS CACHE WHICH(a|b): one timed run on a fresh directory; checks it.
run_one() {
    local name=$1 n=$2 fs=$3 cache=$4 which=$5
    local d=$scratch_root/dir
    "$make_files" make "$d" "$n"
    sync -f "$d"
    command_lines "$name" "$d"
    if [ "$cache" = cold ]; then
        drop_caches
    else
        # Both tools start from the cache, as the directory does.
        "$fegaus" "-?" >/dev/null
        find "$d" -maxdepth 0 >/dev/null
    fi
    if [ "$which" = a ]; then
        timed "$out_a" "${tool_a[@]}"
    else
        timed "$out_b" "${tool_b[@]}"
    fi
    if ! "$make_files" check "$d" "$n" "$expect"; then
        failed=1
    fi
    rm -rf "$d"
    # ext4 without a journal reuses no inode freed in the last minute (five, while
    # its block is unwritten) unless that block has left the cache, and making the
    # next directory would take minutes; so the cache goes, untimed, where it may.
    if [ "$fs" != tmpfs ] && [ -w /proc/sys/vm/drop_caches ]; then
        drop_caches
    fi
}

row_format='%-9s %8s %-6s %-5s %10s %10s %-17s %6s %6s %9s %s\n'

# sweep_file_system PARENT FS: every case in every cache state on one file system.
sweep_file_system() {
    local parent=$1 fs=$2 cache name n r which obstacle
    scratch_root=$(mktemp -d "$parent/fegaus-bench.XXXXXX")
    for cache in $caches; do
        if [ "$cache" = cold ]; then
            obstacle=$(cold_obstacle "$fs")
            if [ -n "$obstacle" ]; then
                echo "# $fs cold: skipped, $obstacle"
                continue
            fi
        fi
        for name in $cases; do
            case_sizes=$sizes
            case_runs=$runs
            if [ "$name" = patterns ]; then
                # Runs of a tenth of a second: more of them, against the noise.
                case_sizes=$pattern_files
                case_runs=$((runs < 5 ? 5 : runs))
            fi
            for n in $case_sizes; do
                walls_a=()
                walls_b=()
                peak=0
                failed=0
                for ((r = 0; r < case_runs; ++r)); do
                    # Alternate the order, so that neither side always runs second.
                    for which in $([ $((r % 2)) = 0 ] && echo "a b" || echo "b a"); do
                        run_one "$name" "$n" "$fs" "$cache" "$which"
                        if [ "$which" = a ]; then
                            walls_a+=("$wall")
                            [ "$rss" -gt "$peak" ] && peak=$rss
                        else
                            walls_b+=("$wall")
                        fi
                    done
                done
                ma=$(median "${walls_a[@]}")
                mb=$(median "${walls_b[@]}")
                ratio=$(awk -v a="$ma" -v b="$mb" 'BEGIN { printf "%.2f", a / b }')
                result=ok
                awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r > l) }' && result=SLOWER
                [ "$peak" -ge 4096 ] && result="$result,RSS"
                [ "$failed" = 1 ] && result=FAILED
                printf "$row_format" "$name" "$n" "$fs" "$cache" "$ma" "$mb" "$reference" \
                    "$ratio" "$limit" "$peak" "$result"
            done
        done
    done
    rm -rf "$scratch_root"
    scratch_root=
}

printf "$row_format" case N fs cache fegaus_s ref_s reference ratio limit rss_KiB result
for parent in $parents; do
    mkdir -p "$parent"
    sweep_file_system "$parent" "$(df --output=fstype "$parent" | tail -n 1)"
done
obstacle=$(journal_obstacle)
if [ -n "$obstacle" ]; then
    echo "# ext4j: skipped, $obstacle"
else
    mount_journal_image
    sweep_file_system "$image_mount" ext4j
fi
