#!/usr/bin/env bash
# Checks a Debian package of Rowlark: its files are those of installed-files.txt under /usr, and
# its control fields name the package, the version and the libraries the programs link.
#
# Usage: check-package.sh PACKAGE.deb
set -euo pipefail
package=$1
here=$(cd "$(dirname "$0")" && pwd)

diff -u <(sed 's|^|/usr/|' "$here/installed-files.txt") \
  <(dpkg-deb --fsys-tarfile "$package" | tar -t | sed -n 's|^\./|/|; /[^/]$/p' | LC_ALL=C sort)

field() { dpkg-deb --field "$package" "$1"; }
[ "$(field Package)" = rowlark ] || { echo "the package is named $(field Package)" >&2; exit 1; }
version=$(field Version)
case $(basename "$package") in
  "rowlark_${version}_$(field Architecture).deb") ;;
  *) echo "$(basename "$package") does not name version $version" >&2; exit 1 ;;
esac
depends=$(field Depends)
for library in libc6 libqt6widgets6 libqt6svg6 libjavascriptcoregtk-4.1-0 libicu72 zlib1g; do
  [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
    { echo "the package does not depend on $library: $depends" >&2; exit 1; }
done
echo "package $(basename "$package"): files as listed; depends on $depends"
