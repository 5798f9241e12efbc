#!/usr/bin/env bash
# Compares the benchmark's CSV file pairs with rowlark-compare and with DuckDB, in one run on the
# same files: both files read as text, a full outer join on the key and IS DISTINCT FROM on every
# other column (bench/duckdb/compare.mjs). The two alternate for several rounds; the script prints
# each one's median wall time and peak memory, and Rowlark's share of DuckDB's.
#
# Usage: bench/versus-duckdb.sh [ROWS...]   (default: 100000 1000000; 10000000 writes 1.2 GB files)
# ROWLARK_ROUNDS sets the number of rounds (default 5); ROWLARK_COMPARE names another
# rowlark-compare to measure, an earlier build say. DuckDB comes from the npm registry at the
# version bench/duckdb/package-lock.json pins, installed here and nowhere else.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"
ROWLARK_PACKAGES+=(time)

rowlark_install_dependencies
rowlark_build build/release -DCMAKE_BUILD_TYPE=Release -DROWLARK_BUILD_TESTS=OFF
release="$ROWLARK_ROOT/build/release"
data="$release/bench-data"
duckdb="$release/bench-duckdb"
mkdir -p "$data" "$duckdb"
cp "$ROWLARK_ROOT"/bench/duckdb/{package.json,package-lock.json,compare.mjs} "$duckdb/"
# Installed again only when the lock file changed.
if ! cmp -s "$duckdb/package-lock.json" "$duckdb/node_modules/.installed-lock.json" 2>/dev/null; then
  (cd "$duckdb" && npm ci --no-audit --no-fund --loglevel=error)
  cp "$duckdb/package-lock.json" "$duckdb/node_modules/.installed-lock.json"
fi

rounds=${ROWLARK_ROUNDS:-5}
rowlark=${ROWLARK_COMPARE:-$release/cli/rowlark-compare}
measurement=$(mktemp)
trap 'rm -f "$measurement"' EXIT

# Runs a command once; prints its wall seconds and peak resident kilobytes. rowlark-compare exits
# with 1 when the files differ, which they do.
measure() {
  /usr/bin/time -f '%e %M' -o "$measurement" "$@" >/dev/null || [ $? -eq 1 ]
  tail -n 1 "$measurement"
}

median() {
  sort -g | awk '{ values[NR] = $1 } END { print (NR % 2) ? values[(NR + 1) / 2] : (values[NR / 2] + values[NR / 2 + 1]) / 2 }'
}

sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
for count in "${sizes[@]}"; do
  IFS=$'\t' read -r left right changed removed added < <("$release/bench/rowlark-bench-files" "$data" "$count")
  echo "== $count rows per file ($(du -m "$left" | cut -f1) MB and $(du -m "$right" | cut -f1) MB;" \
    "$changed changed, $removed removed, $added added)"
  echo "   Rowlark: $("$rowlark" --json "$left" "$right" || true)"
  echo "   DuckDB:  $(node "$duckdb/compare.mjs" "$left" "$right")"
  rowlarkTimes=() rowlarkPeaks=() duckdbTimes=() duckdbPeaks=()
  for ((round = 1; round <= rounds; ++round)); do
    read -r seconds kilobytes < <(measure "$rowlark" --json "$left" "$right")
    rowlarkTimes+=("$seconds") rowlarkPeaks+=("$kilobytes")
    read -r seconds kilobytes < <(measure node "$duckdb/compare.mjs" "$left" "$right")
    duckdbTimes+=("$seconds") duckdbPeaks+=("$kilobytes")
  done
  rowlarkTime=$(printf '%s\n' "${rowlarkTimes[@]}" | median)
  duckdbTime=$(printf '%s\n' "${duckdbTimes[@]}" | median)
  rowlarkPeak=$(printf '%s\n' "${rowlarkPeaks[@]}" | median)
  duckdbPeak=$(printf '%s\n' "${duckdbPeaks[@]}" | median)
  awk -v rounds="$rounds" -v rt="$rowlarkTime" -v dt="$duckdbTime" -v rp="$rowlarkPeak" -v dp="$duckdbPeak" 'BEGIN {
    printf "   medians of %d rounds: Rowlark %.2f s, %.0f MB peak; DuckDB %.2f s, %.0f MB peak\n", rounds, rt, rp / 1024, dt, dp / 1024
    printf "   Rowlark / DuckDB: wall time %.2f, peak memory %.2f\n", rt / dt, rp / dp
  }'
done
