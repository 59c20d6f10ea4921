#!/usr/bin/env bash
# make package as Debian's tools see it: lintian finds no error; the package holds both programs,
# the runtime, the CMake package, the manual, the manual pages, the completion and the desktop's
# entry, icon and project file type, and they name each other rightly; the packaged program runs
# and finds its .xls reader.
# Usage: debian-package.sh BUILD_DIR VERSION
set -euo pipefail
build=$(realpath "$1") version=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# What make package does, into a folder of its own.
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$work/lexicorn-wizard_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "FAILED: no $deb"; ls "$work"; exit 1; }

lintian --fail-on error "$deb" || fail "lintian found errors"

[[ $(dpkg-deb --field "$deb" Package) == lexicorn-wizard ]] || fail "the package's name"
[[ $(dpkg-deb --field "$deb" Version) == "$version" ]] || fail "the package's version"
depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libqt6widgets6 libzip4 libfreexl1; do
    [[ $depends == *"$library "* ]] || fail "the package does not depend on $library: $depends"
done

contents=$(dpkg-deb --contents "$deb" | awk '{ print $NF }')
holds() { grep -qE "^\./usr/$1\$" <<<"$contents" || fail "the package holds no /usr/$1"; }
holds bin/lexicorn
holds bin/lexicorn-wizard
holds libexec/lexicorn/lexicorn-xls-reader
holds include/lexicorn/Lexicorn.h
holds 'lib/(.*/)?liblexicorn_runtime\.a'
holds 'lib/(.*/)?pkgconfig/lexicorn\.pc'
holds 'lib/(.*/)?cmake/Lexicorn/LexicornConfig\.cmake'
holds 'lib/(.*/)?cmake/Lexicorn/LexicornStrings\.cmake'
holds share/lexicorn/runtime/lexicorn_runtime.c
for document in manual.html release-notes.md runtime.md copyright changelog.gz; do
    holds "share/doc/lexicorn-wizard/$document"
done
holds share/man/man1/lexicorn.1.gz
holds share/man/man1/lexicorn-wizard.1.gz
holds share/bash-completion/completions/lexicorn
holds share/bash-completion/completions/lexicorn-wizard
holds share/applications/lexicorn-wizard.desktop
holds share/mime/packages/lexicorn-wizard.xml
holds 'share/icons/hicolor/[^/]+/apps/lexicorn-wizard\.(svg|png)'
outside=$(grep -vE '^\./(usr/.*)?$' <<<"$contents" || true)
[[ -z $outside ]] || fail "files outside /usr: $outside"

# The desktop entry starts a packaged program with its icon, for a type the package declares.
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr
entry=$root/share/applications/lexicorn-wizard.desktop
program=$(sed -n 's/^Exec=\([^ ]*\) %f$/\1/p' "$entry")
[[ -n $program && -x $root/bin/$program ]] || fail "the desktop entry starts '$program'"
icon=$(sed -n 's/^Icon=//p' "$entry")
compgen -G "$root/share/icons/hicolor/*/apps/$icon.*" >/dev/null || fail "no icon named '$icon'"
type=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$entry")
grep -q "<mime-type type=\"$type\">" "$root/share/mime/packages/lexicorn-wizard.xml" ||
    fail "the desktop entry opens '$type', which the package does not declare"
grep -q '<glob pattern="\*\.lxn"/>' "$root/share/mime/packages/lexicorn-wizard.xml" ||
    fail "the project file type does not take *.lxn"

[[ $("$root/bin/lexicorn" --version) == "lexicorn $version" ]] || fail "the packaged lexicorn does not run"
# .xls workbooks are read by the packaged helper, found from wherever the package was unpacked.
fixtures=$(dirname "$(realpath "$0")")/../fixtures
"$root/bin/lexicorn" table "$fixtures/table.xls" | grep -q OK_TEXT || fail "the packaged lexicorn does not read .xls"
MANWIDTH=80 man --warnings -l "$root/share/man/man1/lexicorn.1.gz" >/dev/null 2>"$work/man-warnings"
[[ ! -s $work/man-warnings ]] || fail "man warns about lexicorn(1): $(cat "$work/man-warnings")"

((failures == 0)) || exit 1
echo "The package passes lintian and holds what it should."
