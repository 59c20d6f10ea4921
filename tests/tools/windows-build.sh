#!/bin/bash
# lexicorn.exe under wine writes the very bytes the Linux program writes: builds of a CSV table and
# of a workbook of each format in each encoding, and merges into an Intel HEX, an S-record and a
# binary target, their paths given the POSIX way (/tmp/...), which wine reads on the current drive.
# Skipped (77) where wine or lexicorn.exe (make windows) is missing.
# Usage: windows-build.sh LEXICORN LEXICORN_EXE TABLE WINEPREFIX FIXTURES
set -euo pipefail
linux="$1" exe="$2" table="$3" fixtures="$5"
wine="$(command -v wine64 || command -v wine || true)"
if [ -z "$wine" ] || [ ! -x "$exe" ]; then
    echo "no wine or no $exe (make windows builds it): skipped"
    exit 77
fi
export WINEPREFIX="$4" WINEDEBUG=-all SOURCE_DATE_EPOCH=1700000000
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A small target in each form: 16 zero bytes at address 0.
printf ':1000000000000000000000000000000000000000F0\n:00000001FF\n' >"$work/target.hex"
printf 'S113000000000000000000000000000000000000EC\nS9030000FC\n' >"$work/target.s19"
head -c 16 /dev/zero >"$work/target.bin"

# Runs one command line with each program (OUT standing for $work/linux or $work/windows); `status`
# is what both must exit with.
run_both() {
    local status="$1" system
    shift
    for system in linux windows; do
        rm -rf "${work:?}/$system" && mkdir "$work/$system"
        local program=("$linux")
        [ $system = windows ] && program=("$wine" "$exe")
        local exited=0
        (cd "$work" && "${program[@]}" "${@//OUT/$work/$system}") >"$work/$system.log" 2>&1 || exited=$?
        [ $exited -eq "$status" ] || { echo "$system exited with $exited: $*"; cat "$work/$system.log"; exit 1; }
    done
}
both() {  # the same outputs, byte for byte
    run_both 0 "$@"
    diff -r "$work/linux" "$work/windows" || { echo "outputs differ: $*"; exit 1; }
}
both_refuse() {  # the same refusal, word for word, and no output
    run_both 1 "$@"
    # Windows ends the lines it prints with CR LF.
    diff "$work/linux.log" <(tr -d '\r' <"$work/windows.log") || { echo "messages differ: $*"; exit 1; }
    [ -z "$(ls -A "$work/windows")" ] || { echo "output left behind: $*"; exit 1; }
}
for encoding in ascii wide utf8; do
    both build "$table" --encoding "$encoding" -o OUT
    echo "build --encoding $encoding: identical"
done
both build "$table" --encoding ascii --code-page CP1252 -o OUT
echo "build --code-page CP1252: identical"
# Windows' converter would map a missing character to a look-alike; both refuse it.
both_refuse build "$table" --encoding ascii --code-page ISO-8859-2 -o OUT
echo "build --code-page ISO-8859-2: the same refusal"
# The workbooks hold Greek, Cyrillic and an emoji: the wide forms take them, CP1252 lacks them.
for workbook in table.xlsx table.ods; do
    for encoding in wide utf8; do
        both build "$fixtures/$workbook" --encoding "$encoding" -o OUT
        echo "build $workbook --encoding $encoding: identical"
    done
    both_refuse build "$fixtures/$workbook" --encoding ascii -o OUT
    echo "build $workbook --encoding ascii: the same refusal"
done
# A workbook named with accents in a folder named with accents (the names in the ANSI code page on
# Windows, as wine passes them on from a UTF-8 locale).
mkdir "$work/Gerät"
cp "$fixtures/table.xlsx" "$work/Gerät/Übersicht.xlsx"
LC_ALL=C.UTF-8 both build "$work/Gerät/Übersicht.xlsx" --encoding wide -o OUT
echo "build Gerät/Übersicht.xlsx: identical"
# The euro sign is 0x80 in code page 1252: read as Latin-1, the name was U+0080 and not found.
cp "$table" "$work/Gerät/€uro.csv"
LC_ALL=C.UTF-8 both build "$work/Gerät/€uro.csv" --encoding utf8 -o OUT
echo "build Gerät/€uro.csv: identical"
"$linux" build "$table" -o "$work/image" >/dev/null
for form in hex s19 bin; do
    both merge "$work/image/Lexicorn.bin" "$work/target.$form" "OUT/merged.$form"
    echo "merge into target.$form: identical"
done
