#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo with the desktop's own tools, and checks
# that the entry's file is named by the metainfo's id, that every type the entry opens is one the
# system's MIME database knows by that name (an alias or a misspelt type would leave Rowlark out of
# "Open with"), and that the metainfo names the same types.
#
# Usage: check-desktop-files.sh DESKTOP_ENTRY METAINFO
set -euo pipefail
desktop=$1
metainfo=$2

desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
[ "$(basename "$desktop")" = "$id.desktop" ] || { echo "$desktop is not named by the id $id" >&2; exit 1; }

opened=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | LC_ALL=C sort)
[ -n "$opened" ] || { echo "$desktop opens no types" >&2; exit 1; }
for type in $opened; do
  [ -f "/usr/share/mime/$type.xml" ] || { echo "the MIME database does not know $type" >&2; exit 1; }
done
diff -u <(echo "$opened") <(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | LC_ALL=C sort)
echo "desktop files valid; opens $(echo "$opened" | wc -l) known types"
