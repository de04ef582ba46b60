#!/usr/bin/env bash
# Checks the installed cron and systemd examples as an administrator would use
# them: they name the installed program, the cron line is one cron accepts,
# the systemd units pass systemd-analyze verify (when it is there) and may
# write where the pattern points, and the commands they run, pointed at a
# scratch directory, delete exactly the old files quietly and report a file
# that could not be deleted, in UTF-8.
# Arguments: the installed examples directory, the program path the examples
# must name, and optionally the staging root the installation lies under.
# FEGAUS_EMULATOR, when set, is the command that runs a cross-built program.
set -euo pipefail
examples=$1
program=$2
root=${3:-}

fail() { echo "check_examples: $*" >&2; exit 1; }

cron_file=$examples/cron/fegaus
service=$examples/systemd/fegaus-sweep.service
timer=$examples/systemd/fegaus-sweep.timer
for file in "$cron_file" "$service" "$timer"; do
    [ -f "$file" ] || fail "missing $file"
    [ -z "$(tail -c 1 "$file")" ] || fail "$file does not end with a line end"
done

# cron runs only files in /etc/cron.d whose names hold letters, digits, - and _.
[[ $(basename "$cron_file") =~ ^[A-Za-z0-9_-]+$ ]] || fail "cron would ignore a file named $(basename "$cron_file")"

# The one cron line: five time fields, the user and the command. A % in the
# command would end it there (cron makes it a line end).
cron_line=$(grep -Ev '^[[:space:]]*(#|$)|^[A-Za-z_][A-Za-z0-9_]*=' "$cron_file")
[ "$(printf '%s\n' "$cron_line" | wc -l)" -eq 1 ] || fail "not exactly one cron line: $cron_line"
read -r minute hour day month weekday user cron_command <<<"$cron_line"
[[ "$minute $hour $day $month $weekday" =~ ^[0-9*/,-]+( [0-9*/,-]+){4}$ ]] || fail "bad time fields: $cron_line"
[ "$user" = root ] || fail "the cron line runs as '$user', not root: $cron_line"
[[ $cron_command != *%* ]] || fail "the cron command holds a %, which cron cuts at: $cron_command"
[[ $cron_command == "$program "* ]] || fail "the cron line does not run $program: $cron_command"

# The service runs the program itself and may write where its pattern points,
# which must not be a temporary directory that PrivateTmp hides from it.
service_command=$(sed -n 's|^ExecStart=||p' "$service")
[[ $service_command == "$program "* ]] || fail "ExecStart does not run $program itself: $service_command"
pattern=$(sed -n 's|^[^"]*"\([^"]*\)".*|\1|p' <<<"$service_command")
pattern_dir=${pattern%/*}
writable=$(sed -n 's|^ReadWritePaths=||p' "$service")
[[ " $writable " == *" $pattern_dir "* ]] || fail "ReadWritePaths ($writable) lacks $pattern_dir"
case $pattern_dir/ in
    /tmp/* | /var/tmp/*) fail "the pattern $pattern lies in a directory PrivateTmp hides" ;;
esac
scratch=$(mktemp -d)
units=$(mktemp -d)
trap 'chmod -R u+w "$scratch"; rm -rf "$scratch" "$units"' EXIT
if command -v systemd-analyze >/dev/null 2>&1; then
    # Any message is a fault: unknown keys are only warned about. The manual
    # page is looked for by the package check, not here. verify also wants the
    # program ExecStart names, so a staged installation's copies name it there.
    sed "s|^ExecStart=$program |ExecStart=$root$program |" "$service" >"$units/fegaus-sweep.service"
    cp "$timer" "$units/"
    verified=$(cd "$units" && systemd-analyze verify --man=no \
               ./fegaus-sweep.service ./fegaus-sweep.timer 2>&1) || fail "systemd-analyze verify: $verified"
    [ -z "$verified" ] || fail "systemd-analyze verify: $verified"
else
    echo "check_examples: no systemd-analyze here, the units' syntax is not verified"
fi

# The locale each example gives the program: the cron file's LANG line, the
# service's Environment=LANG. Both must make the report UTF-8.
cron_lang=$(sed -n 's|^LANG=||p' "$cron_file")
service_lang=$(sed -n 's|^Environment=LANG=||p' "$service")
for lang in "$cron_lang" "$service_lang"; do
    [[ $lang == *.UTF-8 ]] || fail "an example sets no UTF-8 LANG: '$lang'"
done

# Both commands, pointed at a scratch directory and the installed program, in
# an environment as bare as cron's and systemd's: their LANG and a PATH.
[ -x "$root$program" ] || fail "$root$program is not installed"
for name in cron systemd; do
    if [ $name = cron ]; then command=$cron_command lang=$cron_lang; else command=$service_command lang=$service_lang; fi
    [[ $command == *"\"$pattern\""* ]] || fail "the $name example sweeps another pattern than $pattern"
    command=${command/"$pattern"/$scratch/*.log}
    command="${FEGAUS_EMULATOR:+$FEGAUS_EMULATOR }'$root$program'${command#"$program"}"
    rm -rf "${scratch:?}"/*
    touch -d "40 days ago" "$scratch/old.log" "$scratch/old.txt"
    touch "$scratch/new.log"
    output=$(env -i PATH=/usr/bin:/bin LANG="$lang" sh -c "$command" 2>&1)
    [ -z "$output" ] || fail "the $name example printed on a clean run: $output"
    [ ! -e "$scratch/old.log" ] && [ -f "$scratch/new.log" ] && [ -f "$scratch/old.txt" ] \
        || fail "the $name example deleted the wrong files, left: $(ls "$scratch" | tr "\n" " ")"
    # A read-only file is never deleted: its failure is all the output.
    touch -d "40 days ago" "$scratch/locked.log"
    chmod a-w "$scratch/locked.log"
    output=$(env -i PATH=/usr/bin:/bin LANG="$lang" sh -c "$command" 2>&1)
    grep -q "^ERR .* locked.log\$" <<<"$output" || fail "the $name example did not report the failure: $output"
    iconv -f UTF-8 -t UTF-8 <<<"$output" >/dev/null || fail "the $name example's report is not UTF-8"
    grep -q "gelöscht" <<<"$output" || fail "the $name example's report lacks its count line: $output"
done
echo "check_examples: cron and systemd examples run $program as documented"
