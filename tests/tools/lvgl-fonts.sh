#!/usr/bin/env bash
# LVGL's own fonts are measured by LVGL's rule: lv_font_conv (npm, in the build's tools folder)
# writes DejaVu Sans and DejaVu Serif at 16 px, 1 bit a pixel, as C files (--format lvgl) and
# binaries (--format bin); `lexicorn check` measures strings in each, and the widths are those an
# LVGL 8 device gives: each glyph's advance plus its kerning with the next, kept by the font in
# 1/16 px, rounded on its own. The expected widths were computed so from the adv_w and kerning
# values lv_font_conv 1.5.3 writes for Debian's DejaVu fonts (FreeType's hinted advances give
# "Cancel" 51 px in DejaVu Sans; LVGL draws 54).
# Usage: lvgl-fonts.sh LEXICORN BUILD_FOLDER SOURCE_FOLDER
# Exits 77 (skipped) where the converter is missing and npm cannot reach its registry.
set -euo pipefail
lexicorn=$1 build=$2 source=$3
converter=$build/tools/node_modules/.bin/lv_font_conv
fonts=/usr/share/fonts/truetype/dejavu

if [[ ! -x $converter ]] && ! "$source/scripts/install-deps" --tools "$build" >/dev/null 2>&1; then
    echo "SKIPPED: lv_font_conv is not in $build/tools and npm cannot reach its registry to install it"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name, source font, ranges: ASCII has no kerning in DejaVu Sans; DejaVu Serif's kerning of ASCII
# is written as pairs, of Latin and Cyrillic together as classes.
convert() {
    local name=$1 font=$2
    shift 2
    for format in lvgl bin; do
        local file=$work/$name.c
        [[ $format == bin ]] && file=$work/$name.bin
        "$converter" --font "$fonts/$font" --size 16 --bpp 1 --format $format --no-compress "$@" \
            -o "$file" >/dev/null
    done
}
convert sans DejaVuSans.ttf -r 0x20-0x7E
convert pairs DejaVuSerif.ttf -r 0x20-0x7E
convert classes DejaVuSerif.ttf -r 0x20-0x17F -r 0x400-0x4FF
grep -q kern_pair_glyph_ids "$work/pairs.c" && grep -q kern_class_values "$work/classes.c" || {
    echo "FAILED: lv_font_conv no longer writes the kerning forms this test means to read"
    exit 1
}

# The width each font gives each string, by the check's too-wide finding at a limit of 1 px.
width() {
    local font=$1 text=$2
    printf 'id,English\n,en\nS,"%s"\n' "$text" >"$work/table.csv"
    { "$lexicorn" check "$work/table.csv" --encoding utf8 --font "$font" --max-width 1 2>&1 || true; } |
        sed -n 's/.*too-wide: the text is \([0-9]*\) px wide.*/\1/p'
}

failed=0
# The binary of a font without kerning keeps whole-pixel advances, which lv_font_conv rounds from
# the exact ones: 'v' of DejaVu Sans, 9.49 px, is 152/16 (10 px) in the C file and 9 px in the binary.
expect() {
    local name=$1 text=$2 inC=$3 inBinary=${4:-$3}
    for file in "$work/$name.c" "$work/$name.bin"; do
        local measured expected=$inC
        [[ $file == *.bin ]] && expected=$inBinary
        measured=$(width "$file" "$text")
        if [[ $measured != "$expected" ]]; then
            echo "FAILED: '$text' in ${file##*/} is ${measured:-no} px wide; LVGL draws it $expected px wide"
            failed=1
        fi
    done
}
expect sans "Cancel" 54
expect sans "AVATAR" 65
expect sans "Hello World" 92
expect sans "Tomorrow, Yves" 131 130
expect pairs "Cancel" 56
expect pairs "AVATAR" 67
expect pairs "Hello World" 97
expect pairs "Tomorrow, Yves" 130
expect classes "AVATAR" 67
expect classes "Tomorrow, Yves" 130
expect classes "Wąż żółty" 77
expect classes "Подтвердить" 111

# The glyph set comes from the font: what lv_font_conv left out is missing, with LVGL's box.
printf 'id,English\n,en\nS,"Ωmega"\n' >"$work/table.csv"
for file in "$work/sans.c" "$work/sans.bin"; do
    output=$("$lexicorn" check "$work/table.csv" --encoding utf8 --font "$file" 2>&1 || true)
    if [[ $output != *"missing-glyph: 'Ω' (U+03A9) is not in $file"* ]]; then
        echo "FAILED: Ω, which ${file##*/} lacks, is not named missing:"
        echo "$output"
        failed=1
    fi
done
# A set that starts with '-' (here "-.15") is printed so that lv_font_conv takes it.
printf 'id,English\n,en\nS,"-1.5"\n' >"$work/table.csv"
symbols=$("$lexicorn" glyphs "$work/table.csv" --only all --symbols)
if ! "$converter" --font "$fonts/DejaVuSans.ttf" --size 16 --bpp 1 --format lvgl --no-compress \
    --symbols "$symbols" -o "$work/symbols.c" >"$work/converter" 2>&1; then
    echo "FAILED: lv_font_conv refuses --symbols '$symbols':"
    cat "$work/converter"
    failed=1
elif [[ $(grep -o '/\* U+[0-9A-F]*' "$work/symbols.c" | sort -u | tr -d '/* U+\n') != 002D002E00310035 ]]; then
    echo "FAILED: the font converted with --symbols '$symbols' does not hold exactly - . 1 5"
    failed=1
fi
((failed == 0)) || exit 1
echo "The C and binary fonts lv_font_conv wrote measure as LVGL draws them."
