#!/usr/bin/env bash
# The translators' round trip through their tools: export writes XLIFF and PO, Translate Toolkit's
# classes change a target and save, and import takes the result back into an .xlsx, an .ods and a
# .csv table. openpyxl and odfpy then read the workbooks cell by cell: only the edited cells have
# changed, and the bold header, the column width, the comment and the other sheet are as they
# were. po2xliff's numbered units come back by their source text, and msgcat's rewrapping of a PO
# changes nothing that import sees.
# Usage: translators-roundtrip.sh LEXICORN (scripts/install-deps installs every tool it runs)
set -euo pipefail
lexicorn=$(realpath "$1")
# Translate Toolkit, openpyxl and odfpy are Debian's, for Debian's Python.
python=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# The same table three times: a bold header, a wide column B, a comment, a second sheet.
"$python" - <<'PYTHON'
import openpyxl
from openpyxl.comments import Comment
from openpyxl.styles import Font
from odf.opendocument import OpenDocumentSpreadsheet
from odf.style import Style, TableColumnProperties, TextProperties
from odf.table import Table, TableCell, TableColumn, TableRow
from odf.text import P

rows = [["ID", "English", "Deutsch", "Français"], ["", "en", "de", "fr"],
        ["VALUE", "Value %d of %s", "%2$s: %1$d von", "Valeur %d sur %s"], ["OK_TEXT", "OK", "OK", ""],
        ["TWO_LINES", "Say hi\nthen go", "", ""], ["SAME", "Back", "[USE_DEFAULT]", "Retour"]]

book = openpyxl.Workbook()
sheet = book.active
sheet.title = "Strings"
for row in rows:
    sheet.append([cell or None for cell in row])
for cell in sheet[1]:
    cell.font = Font(bold=True)
sheet.column_dimensions["B"].width = 33
sheet["C4"].comment = Comment("shorter, please", "lead")
book.create_sheet("Other")["A1"] = "kept"
book.save("strings.xlsx")

document = OpenDocumentSpreadsheet()
bold = Style(name="bold", family="table-cell")
bold.addElement(TextProperties(fontweight="bold"))
wide = Style(name="wide", family="table-column")
wide.addElement(TableColumnProperties(columnwidth="5cm"))
document.automaticstyles.addElement(bold)
document.automaticstyles.addElement(wide)
table = Table(name="Strings")
table.addElement(TableColumn(stylename=wide, numbercolumnsrepeated=4))
for number, row in enumerate(rows):
    element = TableRow()
    for text in row:
        cell = TableCell(stylename=bold) if number == 0 else TableCell()
        for line in text.split("\n") if text else []:
            cell.setAttribute("valuetype", "string")
            cell.addElement(P(text=line))
        element.addElement(cell)
    element.addElement(TableCell(numbercolumnsrepeated=100))
    table.addElement(element)
table.addElement(TableRow(numberrowsrepeated=1000))
document.spreadsheet.addElement(table)
other = Table(name="Other")
row = TableRow()
cell = TableCell(valuetype="string")
cell.addElement(P(text="kept"))
row.addElement(cell)
other.addElement(row)
document.spreadsheet.addElement(other)
document.save("strings.ods")
PYTHON
printf '%s\r\n' 'ID,English,Deutsch,Français' ',en,de,fr' 'VALUE,Value %d of %s,%2$s: %1$d von,Valeur %d sur %s' \
    'OK_TEXT,OK,OK,' '"TWO_LINES","Say hi' 'then go",,' 'SAME,Back,[USE_DEFAULT],Retour' >strings.csv

# Export, change a target with Translate Toolkit's classes (the XLIFF keeps its <ph> codes), import.
for table in strings.xlsx strings.ods strings.csv; do
    cp "$table" "original-$table"
    "$lexicorn" export "$table" -o "xlf-$table" >/dev/null
    "$lexicorn" export "$table" -o "po-$table" --format po >/dev/null
    "$python" - "xlf-$table/fr.xlf" "po-$table/de.po" <<'PYTHON' || fail "Translate Toolkit cannot change the files of $table"
import sys
from translate.storage import factory

xliff = factory.getobject(sys.argv[1])
for unit in xliff.units:
    if unit.getid().endswith("OK_TEXT"):
        unit.target = "D'accord"
    if unit.getid().endswith("SAME"):
        unit.target = "En arrière"
xliff.save()
po = factory.getobject(sys.argv[2])
for unit in po.units:
    if unit.getcontext() == "TWO_LINES":
        unit.target = "Sag hallo\ndann geh"
    if unit.getcontext() == "VALUE":
        unit.target = "%2$s: %1$d bis"
po.save()
PYTHON
    "$lexicorn" import "$table" "xlf-$table/fr.xlf" "po-$table/de.po" >"import-$table.out" 2>&1 ||
        fail "import into $table: $(cat "import-$table.out")"
    grep -qF "fr.xlf: fr: 2 changed (D4 D6), 1 unchanged, 0 skipped, 1 untranslated" "import-$table.out" ||
        fail "import into $table: $(cat "import-$table.out")"
    grep -qF "de.po: de: 2 changed (C3 C5), 1 unchanged, 0 skipped, 1 untranslated" "import-$table.out" ||
        fail "import into $table: $(cat "import-$table.out")"
done

# The workbooks read back cell by cell: only the edited cells differ, and the formatting is kept.
"$python" - <<'PYTHON' || fail "the workbooks changed beyond their edited cells"
import openpyxl
from odf import teletype
from odf.namespaces import TABLENS
from odf.opendocument import load
from odf.table import Table, TableCell, TableRow

edited = {"C3": "%2$s: %1$d bis", "D4": "D'accord", "C5": "Sag hallo\ndann geh", "D6": "En arrière"}
failed = False

def complain(*what):
    global failed
    print(*what)
    failed = True

before, after = openpyxl.load_workbook("original-strings.xlsx"), openpyxl.load_workbook("strings.xlsx")
if before.sheetnames != after.sheetnames:
    complain("xlsx sheets", after.sheetnames)
for name in before.sheetnames:
    old, new = before[name], after[name]
    if old.dimensions != new.dimensions:
        complain("xlsx", name, "dimensions", new.dimensions)
    for old_row, new_row in zip(old.iter_rows(), new.iter_rows()):
        for a, b in zip(old_row, new_row):
            want = edited.get(a.coordinate, a.value) if name == "Strings" else a.value
            if b.value != want or a.font.b != b.font.b or a.style_id != b.style_id:
                complain("xlsx", name, a.coordinate, repr(a.value), repr(b.value), b.font.b)
strings = after["Strings"]
if strings.column_dimensions["B"].width != 33 or not strings["A1"].font.b or strings["C4"].comment is None:
    complain("xlsx formatting lost")

def cells(path):
    """Each table's cells as (row, column) -> (text, style), repeats spelled out."""
    found = {}
    for table in load(path).spreadsheet.getElementsByType(Table):
        grid = found.setdefault(table.getAttribute("name"), {})
        for r, row in enumerate(table.getElementsByType(TableRow)[:8]):
            c = 0
            for cell in row.getElementsByType(TableCell):
                repeat = int(cell.getAttrNS(TABLENS, "number-columns-repeated") or 1)
                lines = [teletype.extractText(p) for p in cell.childNodes if p.qname[1] == "p"]
                for _ in range(repeat):
                    grid[(r + 1, c + 1)] = ("\n".join(lines), cell.getAttribute("stylename"))
                    c += 1
    return found

old, new = cells("original-strings.ods"), cells("strings.ods")
columns = {"C": 3, "D": 4}
want = {name: dict(grid) for name, grid in old.items()}
for reference, text in edited.items():
    key = (int(reference[1:]), columns[reference[0]])
    want["Strings"][key] = (text, want["Strings"][key][1])
if new != want:
    complain("ods", {k: (want["Strings"].get(k), v) for k, v in new["Strings"].items() if want["Strings"].get(k) != v})
document = load("strings.ods")
widths = [s for s in document.automaticstyles.childNodes if s.getAttribute("name") == "wide"]
if not widths or "5cm" not in str(widths[0].childNodes[0].attributes.values()):
    complain("ods column width lost")
raise SystemExit(1 if failed else 0)
PYTHON
# The text table changed in those cells alone, its line ends and quoting kept; the translator's line
# feed inside a cell is the translator's.
printf '%s\r\n' 'ID,English,Deutsch,Français' ',en,de,fr' 'VALUE,Value %d of %s,%2$s: %1$d bis,Valeur %d sur %s' \
    "OK_TEXT,OK,OK,D'accord" '"TWO_LINES","Say hi' >expected.csv
printf '%s\n' 'then go","Sag hallo' >>expected.csv
printf '%s\r\n' 'dann geh",' 'SAME,Back,[USE_DEFAULT],En arrière' >>expected.csv
cmp -s strings.csv expected.csv || fail "strings.csv: $(diff expected.csv strings.csv)"

# po2xliff numbers its units and drops msgctxt: they come back by their source text.
cp original-strings.csv numbered.csv
sed 's/^msgstr "Retour"$/msgstr "Zurück"/' po-strings.csv/fr.po >changed.po
po2xliff -i changed.po -o numbered.xlf >/dev/null 2>&1 || fail "po2xliff refuses changed.po"
"$lexicorn" import numbered.csv numbered.xlf >numbered.out 2>&1 || fail "import of po2xliff's file: $(cat numbered.out)"
grep -qE "^numbered.xlf: [0-9]+ units? named no id of the table and matched a string by its source text$" numbered.out ||
    fail "po2xliff's units: $(cat numbered.out)"
grep -qF 'SAME,Back,[USE_DEFAULT],Zurück' numbered.csv || fail "po2xliff's unit not taken: $(cat numbered.csv)"

# msgcat rewraps long lines: import sees the same translations.
sed 's/^msgstr "Valeur %d sur %s"$/msgstr "Valeur %d sur %s, une phrase bien plus longue que la largeur de msgcat"/' \
    po-strings.csv/fr.po >long.po
msgcat --width=20 long.po -o wrapped.po 2>/dev/null
cmp -s long.po wrapped.po && fail "msgcat did not rewrap long.po"
cp original-strings.csv long.csv
cp original-strings.csv wrapped.csv
"$lexicorn" import long.csv long.po >/dev/null || fail "import of long.po"
"$lexicorn" import wrapped.csv wrapped.po >/dev/null || fail "import of wrapped.po"
cmp -s long.csv wrapped.csv || fail "msgcat's rewrapping changed what import took: $(diff long.csv wrapped.csv)"

((failures == 0)) || exit 1
echo "Translate Toolkit, po2xliff and msgcat's files come back into .xlsx, .ods and .csv tables, only their cells changed."
