#!/usr/bin/env bash
# make package as Debian's tools see it: two packages, lexicorn (the command line, the runtime, the
# CMake package, the manual, the manual page and the completion, without Qt) and lexicorn-wizard
# (the window, its manual page, completion, desktop entry, icon and project file type, depending
# on lexicorn); lintian -EI --pedantic finds no error and no warning; the files name each other
# rightly; the packaged program runs and finds its .xls reader, and examples/cmake builds from the
# packages' files alone.
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
architecture=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
for package in lexicorn lexicorn-wizard; do
    deb=$work/${package}_${version}_$architecture.deb
    [[ -f $deb ]] || { echo "FAILED: no $deb"; ls "$work"; exit 1; }
    # Informational notes may stay (the product's own spellings among them), nothing worse.
    lintian -EI --pedantic --fail-on error,warning "$deb" || fail "lintian finds more than notes in $package"
    [[ $(dpkg-deb --field "$deb" Package) == "$package" ]] || fail "the name of $package"
    [[ $(dpkg-deb --field "$deb" Version) == "$version" ]] || fail "the version of $package"
    [[ $(dpkg-deb --field "$deb" Recommends) == *bash-completion* ]] || fail "$package does not recommend bash-completion"
    outside=$(dpkg-deb --contents "$deb" | awk '{ print $NF }' | grep -vE '^\./(usr/.*)?$' || true)
    [[ -z $outside ]] || fail "$package holds files outside /usr: $outside"
    dpkg-deb -x "$deb" "$work/root"
done
lexicorn=$work/lexicorn_${version}_$architecture.deb
wizard=$work/lexicorn-wizard_${version}_$architecture.deb

depends=$(dpkg-deb --field "$lexicorn" Depends)
for library in libc6 libzip4 libfreexl1; do
    [[ $depends == *"$library "* ]] || fail "lexicorn does not depend on $library: $depends"
done
[[ $depends != *qt* ]] || fail "lexicorn depends on Qt: $depends"
depends=$(dpkg-deb --field "$wizard" Depends)
[[ $depends == *"lexicorn (= $version)"* && $depends == *"libqt6widgets6 "* ]] ||
    fail "lexicorn-wizard does not depend on lexicorn and Qt: $depends"

holds() { # PACKAGE PATH-PATTERN
    dpkg-deb --contents "$1" | awk '{ print $NF }' | grep -qE "^\./usr/$2\$" || fail "$(basename "$1") holds no /usr/$2"
}
holds "$lexicorn" bin/lexicorn
holds "$lexicorn" libexec/lexicorn/lexicorn-xls-reader
holds "$lexicorn" include/lexicorn/Lexicorn.h
holds "$lexicorn" "lib/$multiarch/liblexicorn_runtime\.a"
holds "$lexicorn" "lib/$multiarch/pkgconfig/lexicorn\.pc"
holds "$lexicorn" share/cmake/Lexicorn/LexicornConfig.cmake
holds "$lexicorn" share/cmake/Lexicorn/LexicornStrings.cmake
holds "$lexicorn" share/lexicorn/runtime/lexicorn_runtime.c
for document in manual.html release-notes.md runtime.md README.md copyright changelog.gz \
    examples/cmake/CMakeLists.txt examples/arm/CMakeLists.txt examples/arm/arm-none-eabi.cmake; do
    holds "$lexicorn" "share/doc/lexicorn/$document"
done
holds "$lexicorn" share/man/man1/lexicorn.1.gz
holds "$lexicorn" share/bash-completion/completions/lexicorn
holds "$wizard" bin/lexicorn-wizard
for document in copyright changelog.gz; do
    holds "$wizard" "share/doc/lexicorn-wizard/$document"
done
holds "$wizard" share/man/man1/lexicorn-wizard.1.gz
holds "$wizard" share/bash-completion/completions/lexicorn-wizard
holds "$wizard" share/applications/lexicorn-wizard.desktop
holds "$wizard" share/mime/packages/lexicorn-wizard.xml
holds "$wizard" 'share/icons/hicolor/[^/]+/apps/lexicorn-wizard\.(svg|png)'

# The desktop entry starts a packaged program with its icon, for a type the package declares.
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
for page in lexicorn lexicorn-wizard; do
    MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" >/dev/null 2>"$work/man-warnings"
    [[ ! -s $work/man-warnings ]] || fail "man warns about $page(1): $(cat "$work/man-warnings")"
done

# The example as the package documents it, built from the packages' files alone.
example=$root/share/doc/lexicorn/examples/cmake
cmake -S "$example" -B "$work/example" -DCMAKE_PREFIX_PATH="$root" >"$work/example.log" 2>&1 &&
    cmake --build "$work/example" >>"$work/example.log" 2>&1 || fail "examples/cmake: $(cat "$work/example.log")"
[[ $("$work/example/panel" 2>&1) == $'en: Ready\nde: Bereit' ]] || fail "examples/cmake does not print its texts"

((failures == 0)) || exit 1
echo "The packages pass lintian and hold what they should."
