#!/bin/sh
# Installs the Windows Installer package under Wine silently, as software
# distribution does, and runs the installed program by its name alone from a
# new console on a scratch folder, and its task script, which writes only into
# the report folder the package makes for SYSTEM and Administrators alone (and
# nowhere without it); installs a later version over it, which
# must replace it, and this one over the later, which must be refused; removes
# it and checks that nothing of it is left: no file, no PATH entry, no
# registry key naming it. Skipped (77) where no package was built.
# Arguments: wine, the cmake program, the package's settings file and the
# script that builds it (cmake/msi.cmake).
set -eu
wine=$1
cmake=$2
settings=$3
build_script=$4

msi=$(sed -n 's/^set(fegaus_msi "\(.*\)")$/\1/p' "$settings" 2>/dev/null || true)
msibuild=$(sed -n 's/^set(fegaus_msibuild "\(.*\)")$/\1/p' "$settings" 2>/dev/null || true)
[ -n "$msi" ] && [ -f "$msi" ] || { echo "check_msi: no Windows Installer package was built (wixl, msitools)"; exit 77; }

fail() { echo "check_msi: $*"; exit 1; }
win() { "$wine" "$@" </dev/null; }
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
folder="$WINEPREFIX/drive_c/Program Files/FEGAUS"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
[ ! -e "$folder" ] || fail "FEGAUS is installed in this Wine prefix already"

# Wine's removal leaves the PATH entry's separator behind, and Wine's console
# stops searching PATH at an empty entry: the value is put back as it was.
path_before=$(win reg query "$environment" /v PATH | tr -d '\r' | sed -n 's/^ *PATH *REG_EXPAND_SZ *//p')
restore_path() { win reg add "$environment" /v PATH /t REG_EXPAND_SZ /d "$path_before" /f >/dev/null; }
scratch=$(mktemp -d)
next=$scratch/fegaus-99.0.0-win64.msi
cleanup() {
    if [ -e "$folder" ]; then
        win msiexec /x "$(windows_path "$next")" /qn || win msiexec /x "$(windows_path "$msi")" /qn || true
        restore_path
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# The registered versions of FEGAUS, one a line.
versions() {
    win reg query "$uninstall" /s | tr -d '\r' | awk '
        /^HKEY/ { name = ""; version = "" }
        $1 == "DisplayName" { name = $3 }
        $1 == "DisplayVersion" { version = $3 }
        name == "FEGAUS" && version != "" { print version; name = "" }'
}

# Without the package's report folder the task script writes nowhere and says
# so by its exit status.
status=0
win cmd /c "$(windows_path "$msi.files/fegaus-taeglich.cmd")" || status=$?
[ "$status" = 1 ] || fail "the task script without its report folder ended with $status"
[ -z "$(find "$WINEPREFIX/drive_c" -name fegaus-fehler.txt)" ] || fail "the task script wrote a report without its folder"

win msiexec /i "$(windows_path "$msi")" /qn || fail "msiexec /i failed"
found=$(ls "$folder" | tr '\n' ' ')
[ "$found" = "Berichte LIESMICH.txt LIZENZ.txt fegaus-taeglich.cmd fegaus.exe " ] || fail "installed: $found"
tab=$(printf '\t')
"${msibuild%msibuild}msiinfo" export "$msi" MsiLockPermissionsEx \
    | grep -qF "${tab}REPORTDIR${tab}CreateFolder${tab}D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)${tab}" \
    || fail "the report folder is not locked to SYSTEM and Administrators"
win cmd /c "C:\\Program Files\\FEGAUS\\fegaus-taeglich.cmd" || fail "the installed task script failed"
[ -f "$folder/Berichte/fegaus-fehler.txt" ] || fail "the task script wrote no report into its folder"
rm "$folder/Berichte/fegaus-fehler.txt" # a report the package did not install stays when it goes
[ "$(versions)" = 1.0.0 ] || fail "registered versions: $(versions)"
win reg query "$environment" /v PATH | grep -q 'C:\\Program Files\\FEGAUS' || fail "the install folder is not on PATH"

touch -d "40 days ago" "$scratch/old.log"
touch "$scratch/new.log"
report=$(win cmd /c fegaus -T "$(windows_path "$scratch")\\*.log")
printf '%s\n' "$report" | grep -q "^TST .* old.log" || fail "the test run did not list old.log: $report"
! printf '%s\n' "$report" | grep -q "new.log" || fail "the test run listed new.log"
[ -f "$scratch/old.log" ] || fail "the test run deleted a file"

"$cmake" -DFEGAUS_MSI_SETTINGS="$settings" -DFEGAUS_MSI_VERSION=99.0.0 -DFEGAUS_MSI="$next" -P "$build_script" >/dev/null
win msiexec /i "$(windows_path "$next")" /qn || fail "the later version did not install"
[ "$(versions)" = 99.0.0 ] || fail "after the upgrade, registered versions: $(versions)"
! win msiexec /i "$(windows_path "$msi")" /qn || fail "the earlier version installed over the later one"
[ "$(versions)" = 99.0.0 ] || fail "after the refused downgrade, registered versions: $(versions)"

win msiexec /x "$(windows_path "$next")" /qn || fail "msiexec /x failed"
[ ! -e "$folder" ] || fail "left after removal: $(ls -A "$folder" | tr '\n' ' ')"
left=$(find "$WINEPREFIX/drive_c" -iname '*fegaus*' -o -ipath '*/windows/installer/*.msi')
[ -z "$left" ] || fail "left after removal: $left"
! win reg query "$environment" /v PATH | grep -i "fegaus" || fail "left on PATH after removal"
restore_path
for hive in HKLM HKCU; do
    win reg export "$hive" "$(windows_path "$scratch/$hive.reg")" /y >/dev/null
    ! iconv -f UTF-16 -t UTF-8 "$scratch/$hive.reg" | grep -i "fegaus" || fail "left in $hive after removal"
done
echo "check_msi: installed, run, upgraded, kept from downgrading and removed without a trace"
