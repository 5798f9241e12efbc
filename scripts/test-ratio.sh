#!/usr/bin/env bash
# Prints the size of the tests against the size of the product code: non-blank C++ lines that are
# not only a // comment, under tests/ against engine/, model/, ui/, cli/ and reader/.
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 cat | grep -c -v -E '^\s*(//.*)?$'
}

code=$(count engine model ui cli reader)
tests=$(count tests)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d lines, code %d lines, ratio %.2f\n", t, c, t / c }'
