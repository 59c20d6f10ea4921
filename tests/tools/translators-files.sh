#!/usr/bin/env bash
# The files `lexicorn export` writes, as translators' tools meet them: xmllint validates every XLIFF
# file against the OASIS XLIFF 1.2 strict schema; msgfmt --check takes every PO file and refuses
# one whose translator turned a %d into %s; Translate Toolkit's XLIFF and PO classes load them with
# their ids, sources and targets; and its xliff2po keeps the placeholders' text and marks no
# translation of the table fuzzy.
# Usage: translators-files.sh LEXICORN SCHEMA (scripts/install-deps installs every tool it runs)
set -euo pipefail
lexicorn=$(realpath "$1") schema=$(realpath "$2")
# Translate Toolkit is Debian's, for Debian's Python.
python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# Placeholders (one pair swapped with positions), limits with and without lines, characters XML
# and PO escape, a text of two lines, an empty cell and [USE_DEFAULT].
printf '%s\r\n' 'ID,English,Deutsch,Français' ',en,de,fr' \
    'VALUE,Value %d of %s,%2$s: %1$d & <mehr>,Valeur %d sur %s' 'OK_TEXT,OK,OK,' \
    '"TWO_LINES","Say ""hi""' 'then go","Sag ""hallo""' 'dann geh",' 'SAME,Back,[USE_DEFAULT],Retour' \
    >strings.csv
printf 'VALUE,120,2\nOK_TEXT,40\n' >limits.csv
device=(--limits limits.csv --font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf --font-size 12)
"$lexicorn" export strings.csv -o ph "${device[@]}" >/dev/null
"$lexicorn" export strings.csv -o x --inline x "${device[@]}" >/dev/null
"$lexicorn" export strings.csv -o none --inline none "${device[@]}" >/dev/null
"$lexicorn" export strings.csv -o po --format po "${device[@]}" >/dev/null

for file in ph/*.xlf x/*.xlf none/*.xlf; do
    xmllint --noout --schema "$schema" "$file" 2>xmllint.err || fail "$file: $(cat xmllint.err)"
done
for file in po/*.po; do
    msgfmt --check -o /dev/null "$file" 2>msgfmt.err || fail "$file: $(cat msgfmt.err)"
done
# The translator's slip that the PO's c-format flag lets msgfmt catch.
sed 's/^msgstr "Valeur %d sur %s"$/msgstr "Valeur %s sur %s"/' po/fr.po >slip.po
cmp -s po/fr.po slip.po && fail "po/fr.po has no entry to plant the slip in"
msgfmt --check -o /dev/null slip.po 2>/dev/null && fail "msgfmt --check takes %d turned into %s"

# Translate Toolkit reads every unit by its id with its source and target, placeholders included.
"$python" - ph/de.xlf ph/fr.xlf x/fr.xlf none/fr.xlf po/de.po po/fr.po <<'PYTHON' || fail "Translate Toolkit reads other units"
import sys
from translate.storage import factory

# The table's line ends (CR LF) inside a cell stay as they are.
de = [("VALUE", "Value %d of %s", "%2$s: %1$d & <mehr>"), ("OK_TEXT", "OK", "OK"),
      ("TWO_LINES", 'Say "hi"\r\nthen go', 'Sag "hallo"\r\ndann geh'), ("SAME", "Back", "")]
fr = [("VALUE", "Value %d of %s", "Valeur %d sur %s"), ("OK_TEXT", "OK", ""),
      ("TWO_LINES", 'Say "hi"\r\nthen go', ""), ("SAME", "Back", "Retour")]
# Translate Toolkit 3.8 drops <x/> codes with their equiv-text: only the ids and the rest are compared.
x = [(i, s.replace("%d", "").replace("%s", ""), t.replace("%d", "").replace("%s", "")) for i, s, t in fr]
expected = {"ph/de.xlf": de, "ph/fr.xlf": fr, "x/fr.xlf": x, "none/fr.xlf": fr, "po/de.po": de, "po/fr.po": fr}
failed = False
for name in sys.argv[1:]:
    store = factory.getobject(name)
    units = [unit for unit in store.units if not unit.isheader()]
    # XLIFF ids read as "original\x04id"; an XLIFF unit without a <target> as an empty one.
    got = [(unit.getcontext() if name.endswith(".po") else unit.getid().split("\x04")[-1], str(unit.source),
            str(unit.target or "")) for unit in units]
    if got != expected[name]:
        print(f"{name}: {got}", file=sys.stderr)
        failed = True
    if name.endswith(".xlf") and [u.isfuzzy() for u in units] != [False] * len(units):
        print(f"{name}: fuzzy units", file=sys.stderr)
        failed = True
sys.exit(1 if failed else 0)
PYTHON

# xliff2po keeps each placeholder's text and takes the table's translations as they are.
xliff2po -i ph/de.xlf -o converted.po >/dev/null 2>&1 || fail "xliff2po refuses ph/de.xlf"
grep -qF 'msgid "Value %d of %s"' converted.po || fail "xliff2po lost the placeholders: $(cat converted.po)"
grep -qF 'msgstr "%2$s: %1$d & <mehr>"' converted.po || fail "xliff2po lost the translation's placeholders"
# Its own header is fuzzy, as a new PO's is; the entries after it are not.
awk -v RS= 'NR > 1' converted.po | grep -q fuzzy && fail "xliff2po marks translations fuzzy: $(cat converted.po)"

((failures == 0)) || exit 1
echo "xmllint, msgfmt --check and Translate Toolkit take every file export writes."
