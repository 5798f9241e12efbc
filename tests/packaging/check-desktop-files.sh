#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo with the desktop's own tools, and checks
# that the entry's file is named by the metainfo's id, that every type the entry opens is one the
# system's MIME database knows by that name (an alias or a misspelt type would leave Rowlark out of
# "Open with") or one the package's own type file defines, and that the metainfo names the same
# types. The package's type file must build a MIME database and give .rowlark files its type.
#
# Usage: check-desktop-files.sh DESKTOP_ENTRY METAINFO MIME_TYPES
set -euo pipefail
desktop=$1
metainfo=$2
types=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/mime/packages"
cp "$types" "$scratch/mime/packages/"
update-mime-database "$scratch/mime"
own=$(sed -n 's|.*<mime-type type="\([^"]*\)".*|\1|p' "$types")
[ -f "$scratch/mime/$own.xml" ] || { echo "$types defines no type the database holds" >&2; exit 1; }
grep -q -x "$own:\*\.rowlark" "$scratch/mime/globs" || { echo "*.rowlark is not of type $own" >&2; exit 1; }

desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

id=$(sed -n 's|.*<id>\(.*\)</id>.*|\1|p' "$metainfo")
[ "$(basename "$desktop")" = "$id.desktop" ] || { echo "$desktop is not named by the id $id" >&2; exit 1; }

opened=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | LC_ALL=C sort)
[ -n "$opened" ] || { echo "$desktop opens no types" >&2; exit 1; }
for type in $opened; do
  [ -f "/usr/share/mime/$type.xml" ] || [ "$type" = "$own" ] || { echo "the MIME database does not know $type" >&2; exit 1; }
done
diff -u <(echo "$opened") <(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1|p' "$metainfo" | LC_ALL=C sort)
echo "desktop files valid; opens $(echo "$opened" | wc -l) known types"
