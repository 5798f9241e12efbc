#!/usr/bin/env bash
# Installs what is missing, builds Rowlark in release mode, writes its Debian package with cpack,
# checks the package's files and fields, and prints the path of the package.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

# cpack works the package's library dependencies out with dpkg-shlibdeps, which needs file(1).
ROWLARK_PACKAGES+=(dpkg-dev file)
rowlark_install_dependencies
rowlark_build build/release -DCMAKE_BUILD_TYPE=Release -DROWLARK_BUILD_TESTS=OFF -DROWLARK_BUILD_BENCH=OFF
build="$ROWLARK_ROOT/build/release"
rm -f "$build"/rowlark_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/rowlark_*.deb)
"$ROWLARK_ROOT/tests/packaging/check-package.sh" "$package" >&2
echo "$package"
