#!/usr/bin/env bash
# The builds CI runs beside the sanitizer test run of test.sh: everything compiled by clang 14
# with warnings as errors, and the model's threaded tests under ThreadSanitizer. Installs what is
# missing, as the other scripts do.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

ROWLARK_PACKAGES+=(clang-14)
rowlark_install_dependencies
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== clang 14, warnings as errors"
rowlark_build build/clang-werror -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 -DROWLARK_WERROR=ON \
  "${launcher[@]}"

echo "== the model's tests under ThreadSanitizer"
cmake -S "$ROWLARK_ROOT" -B "$ROWLARK_ROOT/build/tsan" -DCMAKE_BUILD_TYPE=Debug -DROWLARK_TSAN=ON \
  -DROWLARK_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$ROWLARK_ROOT/build/tsan" --parallel "$(nproc)" --target model_tests
QT_QPA_PLATFORM=offscreen TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ROWLARK_TEST_DATA="$ROWLARK_ROOT/tests/data" "$ROWLARK_ROOT/build/tsan/tests/model/model_tests"
