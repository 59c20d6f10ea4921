#!/usr/bin/env bash
# The runtime searching flash from address 0, where many Cortex-M parts have it, on a Cortex-M3 under
# qemu (lm3s6965evb): firmware built with its texts compiled in (Lexicorn.c, the start-up of
# examples/arm) gets a newer image merged in. The merge clears the compiled-in copy's signature, so
# lxn_attach_embedded no longer finds it; lxn_attach refuses a null buffer; lxn_find from address 0
# (a null start) finds the merged image and reads its text.
# Usage: arm-flash-at-zero.sh LEXICORN SOURCE_DIR
set -euo pipefail
lexicorn=$(realpath "$1") source=$(realpath "$2")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

strings=$source/examples/arm/strings.csv
"$lexicorn" build "$strings" -o compiled --no-file-system >/dev/null
sed 's/Bereit/Bereit (neu)/' "$strings" >new.csv
"$lexicorn" build new.csv -o new --no-file-system >/dev/null

arm-none-eabi-gcc -mcpu=cortex-m3 -mthumb -Os -std=c99 -Wall -Wextra -Werror -DFLASH_SIZE=0x40000 \
    -Icompiled -I"$source/runtime" "$source/tests/runtime/flash-at-zero/main.c" \
    "$source/examples/arm/startup.c" compiled/Lexicorn.c "$source/runtime/lexicorn_runtime.c" \
    -nostartfiles -nodefaultlibs -T "$source/tests/runtime/flash-at-zero/flash-at-zero.ld" \
    -Wl,--start-group -lc_nano -lgcc -Wl,--end-group -o firmware.elf
arm-none-eabi-objcopy -O binary firmware.elf firmware.bin
"$lexicorn" merge -q new/Lexicorn.bin firmware.bin merged.bin --fill 0xFF

# A raw image is loaded at address 0, where the processor reads its vector table. What the firmware
# says goes to a file; qemu's own remarks go to standard error.
timeout 60 qemu-system-arm -M lm3s6965evb -nographic -monitor none -serial none -chardev file,id=said,path=said \
    -semihosting-config enable=on,target=native,chardev=said -kernel merged.bin 2>qemu.log ||
    { echo "FAILED: qemu: $(cat qemu.log)"; exit 1; }
said=$(cat said)
expected="lxn_attach_embedded: signature
lxn_attach of NULL: argument
lxn_find from address 0: OK, READY_TEXT in German: Bereit (neu)"
if [[ $said != "$expected" ]]; then
    echo "FAILED: the firmware said"
    echo "$said"
    echo "instead of"
    echo "$expected"
    exit 1
fi
echo "The firmware finds the merged image from address 0."
