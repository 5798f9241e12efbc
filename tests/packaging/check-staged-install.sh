#!/usr/bin/env bash
# Installs the build tree into a scratch folder (DESTDIR, prefix /usr), compares the files there
# with installed-files.txt, and runs the staged programs: rowlark-compare reads an XLS workbook,
# which it can only do with the reader helper and the library bundle found where they were
# installed, and its manual page renders without warnings.
#
# Usage: check-staged-install.sh BUILD_DIR CLI_CASES_DIR WORKBOOKS_DIR
set -euo pipefail
build=$1
cases=$2
workbooks=$3
here=$(cd "$(dirname "$0")" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
diff -u "$here/installed-files.txt" <(cd "$stage/usr" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)

compare=$stage/usr/bin/rowlark-compare
"$compare" "$workbooks/people.xls" "$workbooks/people.csv" >"$stage/stdout"
sed -E 's/^(Compared in )[0-9]+\.[0-9]{2}( s)$/\1<elapsed>\2/' "$stage/stdout" | diff -u "$cases/workbook-xls/stdout" -

manual=$stage/usr/share/man/man1/rowlark-compare.1.gz
warnings=$(MANWIDTH=80 man --warnings -l "$manual" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "the manual page has warnings: $warnings" >&2; exit 1; }
version=$("$compare" --version)
MANWIDTH=80 man -l "$manual" 2>/dev/null | grep -q -F "$version" || { echo "the manual page is not of $version" >&2; exit 1; }
echo "staged install: $(wc -l <"$here/installed-files.txt") files as listed; rowlark-compare reads workbooks from there"
