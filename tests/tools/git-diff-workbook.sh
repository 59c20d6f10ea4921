#!/usr/bin/env bash
# The manual's recipe for `git diff` of workbooks, taken from the manual as it stands: a cell changed
# in a committed workbook shows as the one CSV row that changed.
# Usage: git-diff-workbook.sh LEXICORN MANUAL FIXTURES_DIR
set -euo pipefail
lexicorn=$(realpath "$1") manual=$(realpath "$2") fixtures=$(realpath "$3")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The recipe calls `lexicorn`: the one under test.
mkdir "$work/bin" "$work/repo"
ln -s "$lexicorn" "$work/bin/lexicorn"
export PATH="$work/bin:$PATH"

# The text of the manual's Nth code block in its git section, with the HTML entities it may use.
block() {
    sed -n '/<h2 id="git">/,/<h2 id="[^g]/p' "$manual" |
        awk -v want="$1" '
            /<pre><code>/ { n++; inside = 1; sub(/.*<pre><code>/, "") }
            inside && /<\/code><\/pre>/ { sub(/<\/code><\/pre>.*/, ""); if (n == want && length) print; inside = 0; next }
            inside && n == want { print }' |
        sed -e 's/&quot;/"/g' -e 's/&lt;/</g' -e 's/&gt;/>/g' -e 's/&amp;/\&/g'
}

cd "$work/repo"
git init -q
git config user.name "Lexicorn test"
git config user.email "test@lexicorn.invalid"
block 1 > .gitattributes
config=$(block 2)
[[ $config == "git config "* ]] || { echo "the manual's second block is no git configuration: $config"; exit 1; }
eval "$config"

cp "$fixtures/table.xlsx" strings.xlsx
git add .gitattributes strings.xlsx
git commit -qm "strings"

# One cell changed: the workbook's shared string "Abbrechen" becomes "Schliessen".
python3 - strings.xlsx <<'PYTHON'
import sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as old:
    parts = [(info, old.read(info)) for info in old.infolist()]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as new:
    for info, data in parts:
        new.writestr(info, data.replace(b">Abbrechen<", b">Schliessen<"))
PYTHON

diff=$(git diff strings.xlsx)
echo "$diff"
changed=$(grep -E '^[-+]' <<<"$diff" | grep -vE '^(---|\+\+\+) ' | cut -d, -f1-4 | tr -d '\r')
if [[ $changed != $'-CANCEL_TEXT,Cancel,Abbrechen,Anuluj\n+CANCEL_TEXT,Cancel,Schliessen,Anuluj' ]]; then
    echo "expected the one changed row, not: $changed"
    exit 1
fi
