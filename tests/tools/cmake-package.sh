#!/usr/bin/env bash
# The installed package as another project meets it: examples/cmake is configured against a fresh
# install prefix, built and run; a table or project touched without a change compiles nothing, a
# changed string Lexicorn.c alone; every keyword of lexicorn_add_strings reaches the build, the
# check is strict (a placeholder that differs fails every build), the unique id the same in every
# build, the program the one LEXICORN_EXECUTABLE names; the runtime's sources build the program
# with its own flags, and the runtime's pkg-config file builds it by hand.
# Usage: cmake-package.sh BUILD_DIR EXAMPLE_DIR GENERATOR C_COMPILER
set -euo pipefail
build=$(realpath "$1") example=$(realpath "$2") generator=$3 compiler=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cp -r "$example" "$work/panel"
cmake -S "$work/panel" -B "$work/build" -G "$generator" -DCMAKE_C_COMPILER="$compiler" \
    -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
rebuild() { cmake --build "$work/build"; }
prints() {
    local got
    got=$("$@") || fail "$* failed"
    [[ $got == "$expected" ]] || fail "$* printed '$got', expected '$expected'"
}
image=$work/build/lexicorn/panel/Lexicorn.bin
image_time() { stat -c %y "$image"; }

rebuild
expected=$'en: Ready\nde: Bereit'
prints "$work/build/panel"

before=$(image_time)
rebuild
[[ $(image_time) == "$before" ]] || fail "the strings were built again with nothing changed"
touch "$work/panel/main.c"
rebuild
[[ $(image_time) == "$before" ]] || fail "the strings were built again for a change of main.c"
# What the build compiles: a table or project touched without a change compiles nothing (the
# outputs keep their bytes and their time stamps), one changed string compiles Lexicorn.c alone.
compiled() { rebuild | sed -n 's/.*Building C object [^ ]*[/]\([^/ ]*\).*/\1/p' | sort | tr '\n' ' '; }
for input in panel.lxn strings.csv; do
    touch "$work/panel/$input"
    got=$(compiled)
    [[ -z $got ]] || fail "touching $input without a change compiled $got"
    [[ $(image_time) == "$before" ]] || fail "touching $input without a change rewrote Lexicorn.bin"
done

sed -i 's/,Bereit,/,Betriebsbereit,/' "$work/panel/strings.csv"
got=$(compiled)
[[ $got == "Lexicorn.c.o " ]] || fail "one changed string compiled '$got', expected Lexicorn.c.o alone"
expected=$'en: Ready\nde: Betriebsbereit'
prints "$work/build/panel"

# Every option reaches the build; a value it does not take is refused when CMake configures. The
# runtime's sources compile with the program (Lexicorn::runtime_sources).
options=$work/options
mkdir "$options"
cp "$work/panel/main.c" "$work/panel/strings.csv" "$options"
printf 'int main(void) { return 0; }\n' >"$options/plain.c"
configure_options() { # [-DVARIABLE=VALUE...] the arguments of lexicorn_add_strings
    local definitions=()
    while [[ ${1:-} == -D* ]]; do
        definitions+=("$1")
        shift
    done
    # A list for another language than C goes with a program that reads no strings.
    local source=main.c runtime=Lexicorn::runtime_sources
    [[ $* == *TARGET_LANGUAGE* ]] && source=plain.c runtime=
    cat >"$options/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(Options LANGUAGES C)
find_package(Lexicorn REQUIRED)
add_executable(panel $source)
lexicorn_add_strings(TARGET panel TABLE strings.csv $*)
target_link_libraries(panel PRIVATE $runtime)
CMAKE
    rm -rf "$options/build"
    cmake -S "$options" -B "$options/build" -G "$generator" -DCMAKE_C_COMPILER="$compiler" \
        -DCMAKE_PREFIX_PATH="$work/prefix" "${definitions[@]}" >"$options/log" 2>&1
}
built() { cmake --build "$options/build" >>"$options/log" 2>&1; }
configure_options LANGUAGES de fr ENCODING wide TABLE_TYPE 32 ALIGN 4 BYTE_ORDER big OUTPUT_DIR texts \
    SEARCH_STEP 4 FILE_SYSTEM UNIQUE_ID 0x5EED OPTIONS --no-default-strings ||
    fail "configuring with every option: $(cat "$options/log")"
built || fail "building with every option: $(cat "$options/log")"
dump=$("$work/prefix/bin/lexicorn" dump --json "$options/build/texts/Lexicorn.bin")
[[ $dump == '{"uniqueId":"0x5eed",'*'"byteOrder":"big","encoding":1,"tableType":32,'*'"languages":[{"code":"de",'*'{"code":"fr",'* ]] ||
    fail "the options did not reach the build: $dump"
config=$(cat "$options/build/texts/LXNApiCfg.h")
[[ $config == *'LXNCFG_API_FOR_ROM 0'*'LXNCFG_SEARCH_STEP 4'* ]] || fail "the options did not reach LXNApiCfg.h: $config"
# A build for this machine has a file system unless told otherwise (a bare-metal one has none: the
# ARM example's test shows it).
configure_options LANGUAGES en de && built || fail "building with the defaults: $(cat "$options/log")"
[[ $(cat "$options/build/lexicorn/panel/LXNApiCfg.h") == *'LXNCFG_API_FOR_ROM 0'* ]] || fail "the default file system"
configure_options LANGUAGES en de CODE_PAGE CP1250 NO_FILE_SYSTEM && built || fail "building for CP1250: $(cat "$options/log")"
prints "$options/build/panel"
[[ $(cat "$options/build/lexicorn/panel/LXNApiCfg.h") == *'LXNCFG_API_FOR_ROM 1'* ]] || fail "NO_FILE_SYSTEM"
configure_options TARGET_LANGUAGE vb && built || fail "building a Visual Basic list: $(cat "$options/log")"
[[ -f $options/build/lexicorn/panel/StringList.vb && ! -e $options/build/lexicorn/panel/Lexicorn.c ]] ||
    fail "a Visual Basic list: $(ls "$options/build/lexicorn/panel")"
for refused in "ENCODING utf16" "TABLE_TYPE 8" "ALIGN 3" "BYTE_ORDER middle" "SEARCH_STEP 3" \
    "TARGET_LANGUAGE cobol" "TARGET_PLATFORM java" "UNIQUE_ID 0x123456789" "UNIQUE_ID later"; do
    keyword=${refused% *}
    configure_options $refused && fail "lexicorn_add_strings took $refused"
    grep -q "lexicorn_add_strings: $keyword takes" "$options/log" || fail "no word of $refused: $(cat "$options/log")"
done
configure_options FILE_SYSTEM NO_FILE_SYSTEM && fail "lexicorn_add_strings took FILE_SYSTEM and NO_FILE_SYSTEM"

# Strict: a warning of the check fails the build, its cell named; NOT_STRICT lets it pass.
printf 'SPACE_TEXT,Space,Leerzeichen \n' >>"$options/strings.csv"
configure_options && ! built || fail "a warning did not fail the build"
grep -q 'strings.csv:C6: warning: whitespace-mismatch' "$options/log" || fail "the cell is not named: $(cat "$options/log")"
configure_options NOT_STRICT && built || fail "NOT_STRICT: $(cat "$options/log")"
sed -i '$d' "$options/strings.csv"
# A placeholder that differs is an error: it fails the build with its cell named, NOT_STRICT or not.
printf 'VALUE_TEXT,Value %%d,Wert %%s\n' >>"$options/strings.csv"
configure_options NOT_STRICT && ! built || fail "a placeholder that differs did not fail the build"
grep -q 'strings.csv:C6: error: placeholder-mismatch' "$options/log" || fail "the cell is not named: $(cat "$options/log")"
sed -i '$d' "$options/strings.csv"

# The unique id is the same in every build, SOURCE_DATE_EPOCH's when it is set.
configure_options && built
first=$(cat "$options/build/lexicorn/panel/StringList.h")
configure_options && built
[[ $(cat "$options/build/lexicorn/panel/StringList.h") == "$first" ]] || fail "two builds gave two unique ids"
export SOURCE_DATE_EPOCH=1700000000
configure_options && built
"$work/prefix/bin/lexicorn" build "$options/strings.csv" -o "$work/by-epoch" -q
[[ $(head -1 "$options/build/lexicorn/panel/StringList.h") == $(head -1 "$work/by-epoch/StringList.h") ]] ||
    fail "SOURCE_DATE_EPOCH did not give the unique id"
unset SOURCE_DATE_EPOCH

# LEXICORN_EXECUTABLE names the program that builds the strings.
printf '#!/bin/sh\necho "$@" >>"%s"\nexec "%s" "$@"\n' "$work/wrapped" "$work/prefix/bin/lexicorn" >"$work/wrapper"
chmod +x "$work/wrapper"
configure_options -DLEXICORN_EXECUTABLE="$work/wrapper" && built || fail "LEXICORN_EXECUTABLE: $(cat "$options/log")"
grep -q '^build ' "$work/wrapped" || fail "LEXICORN_EXECUTABLE did not build the strings"

# pkg-config: the runtime's header and library, with the sources the CMake build generated.
export PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name lexicorn.pc)")  # the multiarch folder
generated=$work/build/lexicorn/panel
# shellcheck disable=SC2046  # the flags are words
"$compiler" -std=c99 -Wall -Wextra -pedantic -Werror $(pkg-config --cflags lexicorn) -I"$generated" \
    "$work/panel/main.c" "$generated/Lexicorn.c" $(pkg-config --libs lexicorn) -o "$work/by-hand"
prints "$work/by-hand"
echo "The package builds, rebuilds and runs examples/cmake."
