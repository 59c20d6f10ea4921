#!/usr/bin/env bash
# A real font converter takes what `lexicorn glyphs` prints: lv_font_conv (npm, in the build's
# tools folder, where scripts/install-deps puts it) converts DejaVu Sans at 16 px with the ranges,
# and with the symbols, printed for a table, and the font it writes holds exactly the characters of
# the table's strings, as Python's csv module reads them.
# Usage: lv-font-conv.sh LEXICORN TABLE BUILD_FOLDER SOURCE_FOLDER
# Exits 77 (skipped) where the converter is missing and npm cannot reach its registry.
set -euo pipefail
lexicorn=$1 table=$2 build=$3 source=$4
converter=$build/tools/node_modules/.bin/lv_font_conv
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf

if [[ ! -x $converter ]] && ! "$source/scripts/install-deps" --tools "$build" >/dev/null 2>&1; then
    echo "SKIPPED: lv_font_conv is not in $build/tools and npm cannot reach its registry to install it"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The code points of every string cell (rows 3 on, columns 2 on), control characters left out.
python3 - "$table" >"$work/expected" <<'PYTHON'
import csv, sys
with open(sys.argv[1], newline="", encoding="utf-8-sig") as file:
    rows = list(csv.reader(file))
points = {ord(c) for row in rows[2:] for cell in row[1:] if cell != "[USE_DEFAULT]" for c in cell
          if ord(c) >= 0x20 and not 0x7F <= ord(c) <= 0x9F}
print("\n".join(f"{p:04X}" for p in sorted(points)))
PYTHON

# The glyphs of a font in lv_font_conv's C form, each marked by a comment /* U+0041 "A" */.
converted() {
    grep -o '/\* U+[0-9A-F]*' "$1" | sed 's,/\* U+,,' | sort -u
}
ranges=$("$lexicorn" glyphs "$table" --only all)
"$converter" --font "$font" --size 16 --bpp 1 --format lvgl --no-compress -r "$ranges" -o "$work/ranges.c" >/dev/null
symbols=$("$lexicorn" glyphs "$table" --only all --symbols)
"$converter" --font "$font" --size 16 --bpp 1 --format lvgl --no-compress --symbols "$symbols" \
    -o "$work/symbols.c" >/dev/null

failed=0
for form in ranges symbols; do
    if ! diff <(converted "$work/$form.c") <(sort -u "$work/expected") >"$work/diff"; then
        echo "FAILED: the font converted with the $form that lexicorn glyphs printed differs from the table:"
        cat "$work/diff"
        failed=1
    fi
done
((failed == 0)) || exit 1
echo "lv_font_conv converted DejaVu Sans with the $(wc -l <"$work/expected") characters of the table, no more, no fewer."
