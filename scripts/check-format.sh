#!/usr/bin/env bash
# Fails when a tracked C++ file differs from what clang-format makes of it; with --fix, formats them.
# The formatter is pinned to Debian 12's clang-format-14 so that every machine agrees on the layout.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"
cd "$ROWLARK_ROOT"

ROWLARK_PACKAGES=(clang-format-14)
rowlark_install_dependencies

files=()
while IFS= read -r -d '' file; do
    files+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h')

if [ "${1:-}" = --fix ]; then
    printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 50 clang-format-14 -i
else
    printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 50 clang-format-14 --dry-run --Werror
fi
