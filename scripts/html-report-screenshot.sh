#!/usr/bin/env bash
# Renders docs/html-report.png, the README's picture of the web page report: two small customer
# lists compared by rowlark-compare, the page drawn by headless Chromium (apt-get install chromium).
#
# Usage: scripts/html-report-screenshot.sh [ROWLARK_COMPARE]   (default: build/asan/cli/rowlark-compare)
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$ROWLARK_ROOT/build/asan/cli/rowlark-compare}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cat >"$scratch/customers-march.csv" <<'CSV'
Customer ID,Name,Email,City,Plan,Notes
1001,Ann Lee,ann@example.com,Berlin,Pro,Renews every March
1002,Bob Ray,bob@example.com,Paris,Basic,
1003,Cy Moss,cy@example.com,Rome,Pro,Asked for an invoice in Italian
1004,Di Fox,di@example.com,Oslo,Team,Five seats
1005,Ed Kim,ed@example.com,Seoul,Basic,
1006,Flo Diaz,flo@example.com,Madrid,Pro,Pays by transfer
CSV
cat >"$scratch/customers-april.csv" <<'CSV'
customer_id,full_name,email_address,city,plan,notes
1001,Ann Lee,ann@example.com,Berlin,Pro,Renews every April
1002,Bob Ray,bob.ray@example.com,Paris,Basic,
1003,Cy Moss,cy@example.com,Rome,Pro,Asked for an invoice in Italian
1004,Di Fox,di@example.com,Bergen,Team,Eight seats
1006,Flo Diaz,flo@example.com,Madrid,Pro,Pays by card
1007,Gus Park,gus@example.com,Lyon,Basic,New in April
CSV

(cd "$scratch" && "$program" --report report.html customers-march.csv customers-april.csv >/dev/null) || [ $? -eq 1 ]
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
  --disable-component-update --disable-sync --hide-scrollbars --user-data-dir="$scratch/profile" \
  --window-size=1100,1500 --screenshot="$ROWLARK_ROOT/docs/html-report.png" "file://$scratch/report.html" \
  >/dev/null 2>&1
echo "$ROWLARK_ROOT/docs/html-report.png"
