#!/usr/bin/env bash
# The installed package in a cross build, as firmware meets it: examples/arm is configured with its
# toolchain file against a staging prefix and built for a Cortex-M0 and a Cortex-M4 in each of its
# configurations. The runtime's code must stay within 1 KB on the Cortex-M0 in the default
# configuration (16-bit table, single-byte text, no file system), the program must take nothing of
# the C library but memcpy, memcmp and strlen, and the runtime must not hold the image signature.
# Prints the figures of each build.
# Usage: arm-example.sh BUILD_DIR EXAMPLE_DIR GENERATOR
set -euo pipefail
build=$(realpath "$1") example=$(realpath "$2") generator=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

cmake --install "$build" --prefix "$work/stage" >/dev/null
# The names that objects define, and of them the code (of any section in a linked program).
defined() { arm-none-eabi-nm --defined-only "$@" | awk 'NF == 3 { print $3 }' | sort -u; }
code() { arm-none-eabi-nm --defined-only "$@" | awk 'NF == 3 && $2 ~ /[TW]/ { print $3 }' | sort -u; }
sizes() { arm-none-eabi-size -B "$1" | awk 'NR == 2 { printf "text %5d  data %4d  bss %4d", $1, $2, $3 }'; }

printf '%-10s %-9s %-36s %s\n' cpu strings "runtime (lexicorn_runtime.c)" "program (lookup.elf)"
for cpu in cortex-m0 cortex-m4; do
    for configuration in "ascii 16" "utf8 16" "wide 32"; do
        read -r encoding table <<<"$configuration"
        tree=$work/$cpu-$encoding-$table
        cmake -S "$example" -B "$tree" -G "$generator" -DCMAKE_TOOLCHAIN_FILE="$example/arm-none-eabi.cmake" \
            -DARM_CPU="$cpu" -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_PREFIX_PATH="$work/stage" \
            -DENCODING="$encoding" -DTABLE_TYPE="$table" >"$tree.log" 2>&1 ||
            { fail "$cpu $configuration: configuring: $(cat "$tree.log")"; continue; }
        cmake --build "$tree" >>"$tree.log" 2>&1 || { fail "$cpu $configuration: building: $(cat "$tree.log")"; continue; }
        runtime=$(find "$tree" -name 'lexicorn_runtime.c.o*')
        program=$tree/lookup.elf
        printf '%-10s %-9s %-36s %s\n' "$cpu" "$encoding/$table" "$(sizes "$runtime")" "$(sizes "$program")"

        # A bare-metal build has no file system by default.
        grep -q 'LXNCFG_API_FOR_ROM 1' "$tree/lexicorn/lookup/LXNApiCfg.h" || fail "$cpu $configuration: a file system"
        text=$(arm-none-eabi-size -B "$runtime" | awk 'NR == 2 { print $1 }')
        if [[ $cpu == cortex-m0 && $configuration == "ascii 16" ]] && ((text > 1024)); then
            fail "the runtime takes $text bytes of code on the Cortex-M0, more than 1024"
        fi
        # What the program holds that none of its own objects defines came from the C library.
        from_library=$(comm -23 <(code "$program") <(defined $(find "$tree/CMakeFiles/lookup.dir" -name '*.o*')))
        unexpected=$(grep -vxE 'memcpy|memcmp|strlen' <<<"$from_library" || true)
        [[ -z $unexpected ]] || fail "$cpu $configuration: the program links $(echo $unexpected) from the C library"
        for signature in '\x4F\x30\x2F\x10\x80\x7F\x60\x5F' '\x10\x2F\x30\x4F\x5F\x60\x7F\x80'; do
            ! LC_ALL=C grep -qaP "$signature" "$runtime" || fail "$cpu $configuration: the runtime holds the signature"
        done
    done
done

((failures == 0)) || exit 1
echo "The ARM example builds for the Cortex-M0 and M4 within its figures."
