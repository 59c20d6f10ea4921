#!/usr/bin/env bash
# The installed package as another project meets it: examples/cmake is configured against a fresh
# install prefix, built and run; it is built again when its table or project changes, and only
# then; and the runtime's pkg-config file builds the same program by hand.
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
touch "$work/panel/panel.lxn"
rebuild
[[ $(image_time) != "$before" ]] || fail "the strings were not built again for a changed project"

sed -i 's/,Bereit,/,Betriebsbereit,/' "$work/panel/strings.csv"
rebuild
expected=$'en: Ready\nde: Betriebsbereit'
prints "$work/build/panel"

# Every option reaches the build; a value it does not take is refused when CMake configures.
options=$work/options
mkdir "$options"
cp "$work/panel/main.c" "$work/panel/strings.csv" "$options"
configure_options() { # the options of lexicorn_add_strings
    cat >"$options/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(Options LANGUAGES C)
find_package(Lexicorn REQUIRED)
add_executable(panel main.c)
lexicorn_add_strings(TARGET panel TABLE strings.csv $*)
target_link_libraries(panel PRIVATE Lexicorn::runtime)
CMAKE
    rm -rf "$options/build"
    cmake -S "$options" -B "$options/build" -G "$generator" -DCMAKE_C_COMPILER="$compiler" \
        -DCMAKE_PREFIX_PATH="$work/prefix" >"$options/log" 2>&1
}
configure_options LANGUAGES de fr ENCODING wide TABLE_TYPE 32 ALIGN 4 BYTE_ORDER big OUTPUT_DIR texts ||
    fail "configuring with every option: $(cat "$options/log")"
cmake --build "$options/build" >/dev/null
dump=$("$work/prefix/bin/lexicorn" dump --json "$options/build/texts/Lexicorn.bin")
[[ $dump == *'"byteOrder":"big","encoding":1,"tableType":32,'*'"languages":[{"code":"de",'*'{"code":"fr",'* ]] ||
    fail "the options did not reach the build: $dump"
for refused in "ENCODING utf16" "TABLE_TYPE 8" "ALIGN 3" "BYTE_ORDER middle"; do
    keyword=${refused% *}
    configure_options $refused && fail "lexicorn_add_strings took $refused"
    grep -q "lexicorn_add_strings: $keyword takes" "$options/log" || fail "no word of $refused: $(cat "$options/log")"
done

# pkg-config: the runtime's header and library, with the sources the CMake build generated.
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
generated=$work/build/lexicorn/panel
# shellcheck disable=SC2046  # the flags are words
"$compiler" -std=c99 -Wall -Wextra -pedantic -Werror $(pkg-config --cflags lexicorn) -I"$generated" \
    "$work/panel/main.c" "$generated/Lexicorn.c" $(pkg-config --libs lexicorn) -o "$work/by-hand"
prints "$work/by-hand"
echo "The package builds, rebuilds and runs examples/cmake."
