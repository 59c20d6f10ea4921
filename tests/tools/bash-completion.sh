#!/usr/bin/env bash
# The bash completion against the program's own help: every command, every option of every
# command, and exactly the values each option's help names; and file names by extension.
# Usage: bash-completion.sh LEXICORN COMPLETION_SCRIPT
set -euo pipefail
lexicorn=$(realpath "$1")
# shellcheck source=/dev/null
source "$2"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# What completing the last word of a lexicorn (or another program's) command line offers, sorted,
# on one line. compopt answers only within a completion, hence the subshell without errexit.
offered_by() {
    local program=$1 function=$2
    shift 2
    (
        set +e
        COMP_WORDS=("$program" "$@")
        COMP_CWORD=$#
        COMPREPLY=()
        "$function" 2>/dev/null
        printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' '
    )
}
offered() { offered_by lexicorn _lexicorn "$@"; }
sorted() { printf '%s\n' "$@" | sort | tr '\n' ' '; }
offers() { # offers WORD COMPLETION-ARGS...
    local word=$1
    shift
    [[ " $(offered "$@") " == *" $word "* ]] || fail "'lexicorn $*' does not offer $word"
}

commands=$("$lexicorn" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[[ -n $commands ]] || fail "no commands in the help"
for command in $commands; do
    offers "$command" ""
    while read -r names type _; do
        IFS=, read -ra each <<<"$names"
        for name in "${each[@]}"; do
            [[ $name == --* ]] && offers "$name" "$command" -
        done
        # Values that the help spells out as words (not placeholders such as HEX).
        if [[ $type == *"|"* ]]; then
            IFS='|' read -ra values <<<"$type"
            words=()
            for value in "${values[@]}"; do [[ $value =~ ^[a-z0-9]+$ ]] && words+=("$value"); done
            long=${each[-1]}
            got=$(offered "$command" "$long" "")
            [[ $got == "$(sorted "${words[@]}")" ]] || fail "'lexicorn $command $long' offers '$got', not '${words[*]}'"
            got=$(offered "$command" "$long" = "")
            [[ $got == "$(sorted "${words[@]}")" ]] || fail "'lexicorn $command $long=' offers '$got'"
        fi
    done < <("$lexicorn" "$command" --help | grep -E '^  -')
done
[[ $(offered --) == "$(sorted --help --version)" ]] || fail "'lexicorn --' offers '$(offered --)'"

# File names: each argument offers folders and the files it reads.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir folder
touch strings.xlsx old.XLS strings.csv notes.txt Lexicorn.bin firmware.hex device.lxn
check() { # check "EXPECTED" COMPLETION-ARGS...
    local expected=$1 got
    shift
    got=$(offered "$@")
    [[ $got == "$expected" ]] || fail "'lexicorn $*' offers '$got', not '$expected'"
}
check "folder notes.txt old.XLS strings.csv strings.xlsx " build ""
check "folder notes.txt old.XLS strings.csv strings.xlsx " table --json ""
check "folder notes.txt old.XLS strings.csv strings.xlsx " build --encoding wide -o out ""
# import writes the table: an .xls is no choice; the translation files follow it.
check "folder notes.txt strings.csv strings.xlsx " import ""
check "folder " import strings.csv ""
check "" build strings.csv ""
check "device.lxn folder " build strings.csv -p ""
check "device.lxn folder " build strings.csv --project = ""
check "folder " build strings.csv -o ""
check "Lexicorn.bin folder " dump ""
check "Lexicorn.bin folder " merge --align 4 ""
check "Lexicorn.bin device.lxn firmware.hex folder notes.txt old.XLS strings.csv strings.xlsx " merge Lexicorn.bin ""
check "Lexicorn.bin device.lxn firmware.hex folder notes.txt old.XLS strings.csv strings.xlsx " scan ""
check "strings.csv strings.xlsx " build str
check "build check dump export glyphs import merge preview scan table " help ""
got=$(offered_by lexicorn-wizard _lexicorn_wizard "")
[[ $got == "device.lxn folder " ]] || fail "'lexicorn-wizard' offers '$got'"

((failures == 0)) || exit 1
echo "The completion offers every command, option and value of the help, and the files each argument reads."
