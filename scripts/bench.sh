#!/usr/bin/env bash
# Installs what is missing, builds in release mode and runs the benchmarks.
# Generated data sets are kept in build/release/bench-data between runs.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

rowlark_install_dependencies
rowlark_build build/release -DCMAKE_BUILD_TYPE=Release -DROWLARK_BUILD_TESTS=OFF
data="$ROWLARK_ROOT/build/release/bench-data"
mkdir -p "$data"
for bench in "$ROWLARK_ROOT"/build/release/bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  "$bench" "$data"
done
