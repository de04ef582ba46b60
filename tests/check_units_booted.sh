#!/usr/bin/env bash
# Proves the scheduling examples the Debian package ships under the daemons
# that run them: boots a minimal Debian 12 with systemd-nspawn, installs the
# freshly packed .deb there with dpkg, and inside
# - installs the systemd unit and timer as the README says and enables the
#   timer, which must be listed with its next run at 03:15 (up to 10 minutes
#   later),
# - rates the unit with systemd-analyze security: 1.5 or lower,
# - runs it on a layout of old and young files, a read-only one, another
#   user's old file in a sticky folder and a folder outside ReadWritePaths
#   reached through a link root laid: exactly the old files in the folders
#   it may write go, and the journal holds, as text, line for line what the
#   tool prints under -Q (the journal keeps no empty lines),
# - installs the cron file with the coming minute as its schedule and a
#   sendmail that keeps what cron hands it: the mail is the report as the
#   tool prints it, labelled UTF-8,
# - powers the system off; the script removes everything it made.
# Usage, as root, after cmake --workflow --preset default:
#   bash tests/check_units_booted.sh [build folder, default build]
# Needs debootstrap, systemd-nspawn (systemd-container) and, once, Debian's
# package archive: the tree it makes is kept in /var/cache/fegaus-tests (or
# FEGAUS_TREE_CACHE), never booted itself, copied for each run and made anew
# when older than 30 days. Where they cannot run it says why and skips.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$top/${1:-build}" && pwd)
started=$SECONDS

say() { echo "check_units_booted: $*"; }
skip() { say "SKIPPED: $*"; exit 0; }

[ "$(id -u)" = 0 ] || skip "needs root"
for tool in debootstrap systemd-nspawn nsenter flock; do
    command -v $tool >/dev/null || skip "no $tool here"
done

suite=bookworm
packages=systemd,systemd-sysv,dbus,cron
arch=$(dpkg --print-architecture)
mirror=${FEGAUS_DEBIAN_MIRROR:-$(sed -n 's|^URIs: *\([^ ]*\).*|\1|p' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)}
mirror=${mirror:-http://deb.debian.org/debian}
cache=${FEGAUS_TREE_CACHE:-/var/cache/fegaus-tests}
pristine=$cache/$suite-$arch-$(printf '%s\n' "$suite" "$packages" "$mirror" | sha256sum | cut -c 1-12)

run="" making="" nspawn="" init=""
inside() { timeout 180 nsenter -t "$init" -a env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }
running() { [ -n "$nspawn" ] && kill -0 "$nspawn" 2>/dev/null; }
diagnose() {
    if running && [ -n "$init" ]; then
        inside systemctl --no-pager --failed || true
        inside systemctl --no-pager status fegaus-sweep.service fegaus-sweep.timer cron.service || true
        inside journalctl --no-pager -b -n 60 || true
    elif [ -n "$run" ] && [ -f "$run/nspawn.log" ]; then
        tail -n 30 "$run/nspawn.log"
    fi
}
fail() { say "FAILED: $*" >&2; diagnose >&2; exit 1; }
cleanup() {
    if running; then
        [ -z "$init" ] || inside systemctl poweroff >/dev/null 2>&1 || true
        for _ in $(seq 150); do running || break; sleep 0.2; done
        if running; then
            [ -z "$init" ] || kill -KILL "$init" 2>/dev/null || true
            kill -KILL "$nspawn" 2>/dev/null || true
        fi
        wait "$nspawn" 2>/dev/null || true
    fi
    rm -rf "${run:-/nonexistent}" "${making:-/nonexistent}"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

packed=$(cd "$build" && rm -f fegaus_*.deb && cpack -G DEB 2>&1) || fail "cpack -G DEB failed in $build: $packed"
deb=$build/fegaus_1.0.0_$arch.deb
[ -f "$deb" ] || fail "no $deb"

# The pristine tree: made once, under a lock, and renamed into place only when
# debootstrap succeeded, so a half-made tree is never used.
mkdir -p -m 700 "$cache"
exec 9>"$cache/lock"
flock 9
rm -rf "$cache"/making.*
[ -z "$(find "$pristine" -maxdepth 0 -mtime +30 2>/dev/null)" ] || rm -rf "$pristine"
if [ -d "$pristine" ]; then
    tree="cached"
else
    say "making a minimal Debian $suite from $mirror (kept in $cache)"
    making=$(mktemp -d "$cache/making.XXXXXX")
    made_at=$SECONDS
    if ! debootstrap --variant=minbase --include=$packages $suite "$making/root" "$mirror" \
         >"$making/log" 2>&1; then
        tail -n 20 "$making/log"
        skip "debootstrap could not make the tree"
    fi
    mv "$making/root" "$pristine"
    rm -rf "$making"
    making=""
    tree="made in $((SECONDS - made_at)) s"
fi
run=$(mktemp -d /var/tmp/fegaus-booted.XXXXXX)
cp -a "$pristine" "$run/root"
exec 9>&-
cp "$deb" "$run/root/root/fegaus.deb"

systemd-nspawn --quiet --register=no --keep-unit --console=passive -b -D "$run/root" \
    </dev/null >"$run/nspawn.log" 2>&1 &
nspawn=$!
for _ in $(seq 100); do
    running || { tail -n 20 "$run/nspawn.log"; skip "systemd-nspawn cannot boot a system here"; }
    init=$(pgrep -P "$nspawn" -x systemd || true)
    [ -z "$init" ] || break
    sleep 0.1
done
[ -n "$init" ] || fail "the container's systemd did not start"
for _ in $(seq 120); do
    state=$(inside systemctl is-system-running 2>/dev/null || true)
    case $state in running | degraded) break ;; esac
    sleep 0.5
done
case $state in running | degraded) ;; *) fail "the system did not come up: $state" ;; esac
say "booted ($state) after $((SECONDS - started)) s, tree $tree"

# The package, and the unit and timer installed as the README says.
installed=$(inside dpkg -i /root/fegaus.deb 2>&1) || fail "dpkg -i failed: $installed"
inside sh -euc '
    cp /usr/share/doc/fegaus/examples/systemd/fegaus-sweep.* /etc/systemd/system/
    mkdir -p /var/log/myapp
    systemctl daemon-reload
    systemctl enable --now fegaus-sweep.timer
    systemctl --no-pager list-timers fegaus-sweep.timer' || fail "the timer could not be enabled"
next=$(inside systemctl show --property=NextElapseUSecRealtime --value fegaus-sweep.timer)
[[ $next =~ \ 03:(1[5-9]|2[0-5]): ]] || fail "the timer's next run is not at 03:15 to 03:25: '$next'"

rating=$(inside systemd-analyze security --no-pager fegaus-sweep.service) || fail "systemd-analyze security failed"
exposure=$(sed -n 's|.*Overall exposure level for fegaus-sweep.service: \([0-9.]*\).*|\1|p' <<<"$rating")
[ -n "$exposure" ] || fail "no exposure figure in: $rating"
awk -v e="$exposure" 'BEGIN { exit !(e <= 1.5) }' || { echo "$rating"; fail "the unit rates $exposure, above 1.5"; }
say "the shipped unit rates $exposure"

# The layout, and the unit edited as an administrator would: three patterns,
# the sticky folder added to ReadWritePaths, the folder behind the link not.
# The sticky folder is nobody's and closed to others, so that deleting in it
# takes both CAP_DAC_OVERRIDE and CAP_FOWNER (in one of root's, such as /tmp,
# root needs neither).
inside sh -euc '
    old() { touch -d "40 days ago 12:00" "$@"; }
    cd /var/log/myapp
    echo old >old.log
    echo young >new.log
    echo kept >old.txt
    head -c 1234 /dev/zero >locked.log
    old old.log old.txt locked.log
    chmod 444 locked.log
    mkdir -m 1770 /srv/drop
    mkdir /srv/outside
    echo theirs >/srv/drop/theirs.log
    echo young >/srv/drop/young.log
    old /srv/drop/theirs.log
    chown nobody:nogroup /srv/drop /srv/drop/theirs.log /srv/drop/young.log
    echo outside >/srv/outside/old.log
    old /srv/outside/old.log
    ln -s /srv/outside /var/log/myapp/archive
    unit=/etc/systemd/system/fegaus-sweep.service
    sed -i -e "/^ExecStart=/s|\"/var/log/myapp/\*\.log\"\$|& \"/srv/drop/*.log\" \"/var/log/myapp/archive/*.log\"|" \
           -e "s|^ReadWritePaths=/var/log/myapp\$|& /srv/drop|" "$unit"
    grep -q "^ExecStart=.*archive" "$unit"
    grep -q "^ReadWritePaths=.* /srv/drop\$" "$unit"
    systemctl daemon-reload' || fail "the layout or the unit's patterns could not be set"

# What the tool prints for one file it could not delete: the listing's
# header, the file's row and the count.
expected_report() {
    inside sh -euc '
        time=$(stat -c %Y "$1")
        age=$(( ($(date -d "$(date +%F)" +%s) - $(date -d "$(date -d @$time +%F)" +%s) + 43200) / 86400 ))
        echo "    Datum (Änderung)   Tage       Byte Dateiname"
        printf "ERR %s  %5d %10d %s\n" "$(date -d @$time "+%d.%m.%Y %H:%M")" $age "$(stat -c %s "$1")" "${1##*/}"
        echo "    1 Datei konnte nicht gelöscht werden."' - "$1"
}

inside systemctl start fegaus-sweep.service || fail "systemctl start fegaus-sweep.service failed"
result=$(inside systemctl show --property=Result --value fegaus-sweep.service)
[ "$result" = success ] || fail "the service ended with $result"
left=$(inside find /var/log/myapp /srv/drop /srv/outside -mindepth 1 | sort)
[ "$left" = "/srv/drop/young.log
/srv/outside/old.log
/var/log/myapp/archive
/var/log/myapp/locked.log
/var/log/myapp/new.log
/var/log/myapp/old.txt" ] || fail "the sweep left the wrong files: $left"
{ expected_report /var/log/myapp/locked.log; expected_report /srv/outside/old.log; } >"$run/expected"
for _ in $(seq 20); do
    inside journalctl --no-pager -o cat -u fegaus-sweep _TRANSPORT=stdout >"$run/journal"
    [ "$(wc -l <"$run/journal")" -lt "$(wc -l <"$run/expected")" ] || break
    sleep 0.25
done
diff -u "$run/expected" "$run/journal" >&2 || fail "the journal does not hold the report line for line"
say "the service swept the layout, and its report is text in the journal"

# The cron file, as shipped but for the time: the coming minute (the one
# after, late in a minute). cron hands the mail to a sendmail that keeps it.
due=$(inside sh -euc '
    printf "#!/bin/sh\ncat >/root/mail.part && mv /root/mail.part /root/mail\n" >/usr/sbin/sendmail
    chmod 755 /usr/sbin/sendmail
    now=$(date +%s)
    at=$((now + 60 + ($(date -d @$now +%-S) >= 50 ? 60 : 0)))
    sed -E "/^[0-9*]/s|^[^ ]+ [^ ]+ |$(date -d @$at "+%-M %-H") |" \
        /usr/share/doc/fegaus/examples/cron/fegaus >/etc/cron.d/fegaus
    cmp -s /usr/share/doc/fegaus/examples/cron/fegaus /etc/cron.d/fegaus && exit 1
    touch -d "40 days ago 12:00" /var/log/myapp/again.log
    date -d @$at +%H:%M') || fail "the cron file could not be installed"
inside systemctl is-active --quiet cron.service || fail "cron is not running"
say "waiting for cron's mail, due at $due"
for _ in $(seq 150); do
    [ -f "$run/root/root/mail" ] && break
    sleep 1
done
[ -f "$run/root/root/mail" ] || fail "no mail from cron"
inside test ! -e /var/log/myapp/again.log || fail "the cron job did not delete again.log"
headers=$(sed '/^$/q' "$run/root/root/mail")
for header in "MIME-Version: 1.0" "Content-Type: text/plain; charset=UTF-8" "Content-Transfer-Encoding: 8bit"; do
    grep -qxF "$header" <<<"$headers" || fail "the mail lacks the header $header: $headers"
done
{ expected_report /var/log/myapp/locked.log; echo; } >"$run/expected"
sed '1,/^$/d' "$run/root/root/mail" >"$run/body"
diff -u "$run/expected" "$run/body" >&2 || fail "the mail does not hold the report as the tool prints it"
say "cron ran the job and mailed the report, labelled and encoded UTF-8"

inside systemctl poweroff || fail "systemctl poweroff failed"
for _ in $(seq 150); do running || break; sleep 0.2; done
running && fail "the system did not power off"
wait "$nspawn" || fail "systemd-nspawn ended with status $?"
nspawn=""
say "unit, timer and cron file proven under a booted Debian $suite in $((SECONDS - started)) s (tree $tree)"
