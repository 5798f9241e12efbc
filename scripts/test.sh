#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

rowlark_install_dependencies
rowlark_build build/asan -DCMAKE_BUILD_TYPE=Debug -DROWLARK_SANITIZE=ON -DROWLARK_BUILD_BENCH=OFF
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$ROWLARK_ROOT/tests/lsan.supp"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$ROWLARK_ROOT/build/asan" --output-on-failure --parallel "$(nproc)"
