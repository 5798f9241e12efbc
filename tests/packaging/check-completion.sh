#!/usr/bin/env bash
# Completes every option that rowlark-compare --help documents with the bash completion file, so
# that the file stays in step with the options.
#
# Usage: check-completion.sh PROGRAM COMPLETION_FILE
set -euo pipefail
program=$1
source "$2"

options=$("$program" --help | grep -oE '^  (-[a-z], )?--[a-z-]+' | grep -oE -- '-{1,2}[a-z][a-z-]*')
[ -n "$options" ] || { echo "no options found in --help" >&2; exit 1; }
missing=()
for option in $options; do
  COMP_WORDS=(rowlark-compare "$option")
  COMP_CWORD=1
  _rowlark_compare
  printf '%s\n' "${COMPREPLY[@]}" | grep -q -x -F -- "$option" || missing+=("$option")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "not completed: ${missing[*]}" >&2
  exit 1
fi
echo "completes all $(echo "$options" | wc -l) options of --help"
