#!/usr/bin/env bash
# Opens the web page report of 100,000 differences (written by bench_html_report) in headless
# Chromium, as a reader's browser would: the page is parsed, its script reads the records and lists
# the first hundred, and the page is drawn. Prints the median wall time and peak memory of several
# rounds for that page and for an empty page, so that Chromium's own start and size are told apart.
#
# Usage: bench/html-report-in-browser.sh   (ROWLARK_ROUNDS sets the rounds, 5 by default)
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"
ROWLARK_PACKAGES+=(bc chromium)

rowlark_install_dependencies
rowlark_build build/release -DCMAKE_BUILD_TYPE=Release -DROWLARK_BUILD_TESTS=OFF
data="$ROWLARK_ROOT/build/release/bench-data"
mkdir -p "$data"
page="$data/report-100000.html"
[ -f "$page" ] || "$ROWLARK_ROOT/build/release/bench/bench_html_report" "$data"
empty="$data/empty.html"
printf '<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8"><title>empty</title></head><body></body></html>\n' >"$empty"

rounds=${ROWLARK_ROUNDS:-5}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The processes below `pid`, Chromium's renderers and helpers.
descendants() {
  local child
  for child in $(ps -o pid= --ppid "$1"); do
    echo "$child"
    descendants "$child"
  done
}

# Loads the page once in a fresh profile and draws it; prints wall seconds and the peak resident
# kilobytes of the page's renderer process, looked at every 20 ms while Chromium runs.
measure() {
  rm -rf "$scratch/profile"
  local start peak=0 pid process hwm
  start=$(date +%s.%N)
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$scratch/profile" --window-size=1280,900 \
    --screenshot="$scratch/shot.png" "file://$1" >/dev/null 2>&1 &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    for process in $(descendants "$pid"); do
      grep -qa -- '--type=renderer' "/proc/$process/cmdline" 2>/dev/null || continue
      hwm=$(awk '/^VmHWM/ { print $2 }' "/proc/$process/status" 2>/dev/null || echo 0)
      [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm
    done
    sleep 0.02
  done
  wait "$pid" || true
  printf '%.2f %s\n' "$(echo "$(date +%s.%N) - $start" | bc)" "$peak"
}

median() { sort -n | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'; }

report() {
  local name=$1 file=$2 seconds=() memory=()
  for _ in $(seq "$rounds"); do
    read -r wall peak < <(measure "$file")
    seconds+=("$wall")
    memory+=("$peak")
  done
  printf '%s: median of %s rounds: wall %s s, renderer peak memory %s MB\n' "$name" "$rounds" \
    "$(printf '%s\n' "${seconds[@]}" | median)" \
    "$(printf '%s\n' "${memory[@]}" | median | awk '{ printf "%.0f", $1 / 1024 }')"
}

report "empty page" "$empty"
report "report of 100,000 differences ($(du -m "$page" | cut -f1) MB)" "$page"
