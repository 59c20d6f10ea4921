#!/bin/bash
# .xls workbooks under wine: our iconv converts FreeXL's character sets as glibc's does,
# lexicorn-xls-reader.exe answers byte for byte as the Linux reader does, lexicorn.exe builds the same bytes
# from them and refuses a damaged one with the same words, and a reader that runs out of time or is
# cancelled with Ctrl-C is ended with every process it started. Skipped (77) where wine, the two .exe
# files (make windows) or the mingw compiler for the stand-in reader are missing.
# Usage: windows-xls.sh LEXICORN LEXICORN_XLS_READER LEXICORN_EXE FIXTURES WINEPREFIX
set -euo pipefail
linux="$1" linuxReader="$2" exe="$3" fixtures="$4" tools="$(cd "$(dirname "$0")" && pwd)"
exeReader="$(dirname "$exe")/lexicorn-xls-reader.exe"
wine="$(command -v wine64 || command -v wine || true)"
mingw="$(command -v x86_64-w64-mingw32-gcc-posix || true)"
if [ -z "$wine" ] || [ -z "$mingw" ] || [ ! -x "$exe" ] || [ ! -x "$exeReader" ]; then
    echo "no wine, no mingw-w64 or no $exe and $exeReader (make windows builds them): skipped"
    exit 77
fi
# Wine reads file names given here as UTF-8 only in a UTF-8 locale.
export WINEPREFIX="$5" WINEDEBUG=-all SOURCE_DATE_EPOCH=1700000000 LC_ALL=C.UTF-8
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A workbook that FreeXL refuses: the compound file's signature and nothing a workbook needs.
printf '\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1' >broken.xls
head -c 600 /dev/zero >>broken.xls
cp "$fixtures/table.xls" table.xls
# The reader is handed file names through a Windows command line, quoted where they hold blanks,
# and opens them in the UTF-8 code page, whatever letters they hold.
cp table.xls "my table.xls"
# lexicorn.exe hands the reader a name it got in the ANSI code page.
cp table.xls "Übersicht €.xls"
cp broken.xls "Übersicht 日本 kaputt.xls"

# FreeXL's conversions from the character sets of older workbooks, through our iconv and through
# glibc's: the same characters and the same refusals, but for the sets one of them does not know and
# five bytes their tables read differently (the Arabic percent sign, Big5's and Hebrew's later
# additions, Johab's won sign).
prefix="$(dirname "$exe")/../../../prefix"  # make windows stages the libraries there
cc -O -o iconv-answers "$tools/iconv-answers.c"
"$mingw" -O -I"$prefix/include" -o iconv-answers.exe "$tools/iconv-answers.c" -L"$prefix/lib" -liconv
./iconv-answers >linux.iconv
"$wine" ./iconv-answers.exe | tr -d '\r' >windows.iconv
skip='^(CP864 25|CP950 80|CP950 c7 d1 b1 b9|CP1255 ca|CP1361 5c):|: not known$'
unknown="$(grep -h ': not known$' linux.iconv windows.iconv | cut -d: -f1 | tr '\n' ' ')"
for name in $unknown; do skip+="|^$name "; done
diff <(grep -Ev "$skip" linux.iconv) <(grep -Ev "$skip" windows.iconv) || { echo "iconv converts differently"; exit 1; }
echo "iconv: $(grep -Evc "$skip" windows.iconv) conversions as glibc makes them (not known to one: $unknown)"

"$linuxReader" table.xls >linux.answer
"$wine" "$exeReader" table.xls >windows.answer
cmp linux.answer windows.answer || { echo "the readers answer differently on table.xls"; exit 1; }
echo "reader's answer on table.xls: identical"
"$linuxReader" "Übersicht 日本 kaputt.xls" >linux.answer
"$wine" "$exeReader" "Übersicht 日本 kaputt.xls" >windows.answer
cmp linux.answer windows.answer || { echo "the readers refuse differently: $(cat windows.answer)"; exit 1; }
echo "reader's refusal of a file named beyond ASCII: identical"

for workbook in table.xls "my table.xls" "Übersicht €.xls"; do
    for encoding in utf8 wide; do
        for system in linux windows; do
            program=("$linux")
            [ $system = windows ] && program=("$wine" "$exe")
            LC_ALL=C.UTF-8 "${program[@]}" build "$workbook" --encoding $encoding -o "$work/$system" >/dev/null
        done
        diff -r linux windows || { echo "outputs differ: build $workbook --encoding $encoding"; exit 1; }
        rm -rf linux windows
        echo "build $workbook --encoding $encoding: identical"
    done
done

# Runs lexicorn on each system with the given reader settings and compares what they say; they must
# fail and write nothing.
same_refusal() {
    local name="$1" linuxStatus=0 windowsStatus=0
    shift
    "$linux" "$@" -o "$work/linux" >linux.log 2>&1 || linuxStatus=$?
    "$wine" "$exe" "$@" -o "$work/windows" >windows.log 2>&1 || windowsStatus=$?
    [ $linuxStatus -ne 0 ] && [ $linuxStatus -eq $windowsStatus ] ||
        { echo "$name: exit codes $linuxStatus and $windowsStatus"; cat linux.log windows.log; exit 1; }
    diff linux.log <(tr -d '\r' <windows.log) || { echo "$name: messages differ"; exit 1; }
    [ ! -e linux ] && [ ! -e windows ] || { echo "$name: output left behind"; exit 1; }
    echo "$name: the same refusal"
}
same_refusal "a damaged workbook" build broken.xls --encoding utf8
LEXICORN_XLS_READER="$work/missing" same_refusal "a reader that is not there" build table.xls

# A reader that takes too long: a shell script on Linux, on Windows a program that starts another.
"$mingw" -O2 -o slow-reader.exe "$tools/windows-slow-reader.c"
printf '#!/bin/sh\ntouch "$1.reader-started"\nexec sleep 30\n' >slow-reader.sh
chmod +x slow-reader.sh
expect_no_marks() {
    sleep 5
    if ls table.xls.*-ran-on >/dev/null 2>&1; then
        echo "$1: the reader or its child ran on: $(ls table.xls.*-ran-on)"
        exit 1
    fi
}
LEXICORN_XLS_TIME_LIMIT=1 LEXICORN_XLS_READER="$work/slow-reader.sh" "$linux" build table.xls -o "$work/linux" \
    >linux.log 2>&1 || true
LEXICORN_XLS_TIME_LIMIT=1 LEXICORN_XLS_READER="$work/slow-reader.exe" "$wine" "$exe" build table.xls \
    -o "$work/windows" >windows.log 2>&1 || true
diff linux.log <(tr -d '\r' <windows.log) || { echo "time limit: messages differ"; exit 1; }
grep -q "took longer than 1 s and was stopped" linux.log || { echo "time limit: no stop"; cat linux.log; exit 1; }
expect_no_marks "time limit"
echo "a reader out of time: stopped with the same message, and its child with it"

# Ctrl-C, once the reader runs: wine hands SIGINT to the console's Ctrl-C handlers.
interrupted() {
    rm -f table.xls.reader-started
    "$@" >interrupted.log 2>&1 &
    local pid=$! waited=0
    while [ ! -e table.xls.reader-started ] && [ $waited -lt 300 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -INT $pid
    local status=0
    wait $pid || status=$?
    tr -d '\r' <interrupted.log
    echo "exit status $status"
}
LEXICORN_XLS_READER="$work/slow-reader.sh" interrupted "$linux" build table.xls -o "$work/linux" >linux.log
LEXICORN_XLS_READER="$work/slow-reader.exe" interrupted "$wine" "$exe" build table.xls -o "$work/windows" \
    >windows.log
diff linux.log windows.log || { echo "Ctrl-C: messages differ"; exit 1; }
[ "$(cat linux.log)" = "Cancelled by user!
exit status 130" ] || { echo "Ctrl-C: not cancelled"; cat linux.log; exit 1; }
expect_no_marks "Ctrl-C"
echo "Ctrl-C: the reader and its child stopped, and the command cancelled alike"
