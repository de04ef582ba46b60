#!/bin/sh
# A run on a terminal, where Wine gives the tool a console, shows the texts, the
# patterns and the names in their own characters (UTF-8 on this terminal); the
# same run into a file holds the same text in the bytes scripts read: texts in
# code page 850, names and patterns in the ANSI code page 1252, "\r\n" line ends.
# usage: console_test.sh WINE FEGAUS_EXE
set -eu
wine=$1
exe=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch -d '2020-01-01 12:00' "$dir/Größe.log" "$dir/Āvalanche.log"
windir="Z:$(printf %s "$dir" | tr / '\\')"
run="$wine $exe -T -L=30 '$windir\\Grö*.log' '$windir\\?valanche.log'"
export LC_ALL=C.UTF-8
# Wine's console draws with escape sequences: the cursor hidden and shown, and a
# blank at the end of a print as an erase and a step to the right.
script -qfec "$run" /dev/null \
    | perl -pe 's/\e\[(\d*)C/" " x ($1 || 1)/ge; s/\e\[[0-9;?]*[A-Za-z]//g; s/\r//g' >"$dir/terminal"
for line in '|   FEGAUS   Löschen alter (Log-)Dateien   |' "Dateipfad: $windir\\Grö*.log" \
    'Suche Dateien, deren letzter Schreibzugriff mind. 30 Tage zurück liegt.'; do
    grep -qxF "$line" "$dir/terminal" || { printf 'not on the terminal: %s\n' "$line"; cat "$dir/terminal"; exit 1; }
done
for name in Größe Āvalanche; do
    grep -qE "^TST .* 0 $name\.log\$" "$dir/terminal" || { printf 'no row for %s.log\n' "$name"; cat "$dir/terminal"; exit 1; }
done
eval "$run" >"$dir/file"
while IFS= read -r line; do
    case $line in TST* | Dateipfad*) code=CP1252//TRANSLIT ;; *) code=CP850 ;; esac
    printf '%s\r\n' "$line" | iconv -f UTF-8 -t "$code"
done <"$dir/terminal" | cmp - "$dir/file"
