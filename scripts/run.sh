#!/usr/bin/env bash
# Installs what is missing, builds Rowlark in release mode and starts it.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

rowlark_install_dependencies
rowlark_build build/release -DCMAKE_BUILD_TYPE=Release -DROWLARK_BUILD_TESTS=OFF -DROWLARK_BUILD_BENCH=OFF
exec "$ROWLARK_ROOT/build/release/ui/rowlark" "$@"
