#!/usr/bin/env bash
# Builds the libFuzzer targets with clang 14 in build/fuzz and runs each for a number of seconds.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
#   SECONDS  time per target (default 10)
#   TARGET   the name of a fuzz/<target>.cpp, such as csv_load or xls_native (default: all of them)
# Each target starts from its committed seeds (fuzz/<target>/seeds) with its dictionary
# (fuzz/<target>.dict); inputs it finds are kept in build/fuzz/corpus/<target>, and an input that
# fails is written to build/fuzz/findings/<target>/. Exits 1 when any target failed.
set -euo pipefail
ROWLARK_ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROWLARK_ROOT/scripts/dependencies.sh"

seconds=${1:-10}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for file in "$ROWLARK_ROOT"/fuzz/*.cpp; do
    targets+=("$(basename "$file" .cpp)")
  done
fi

ROWLARK_PACKAGES+=(clang-14 libclang-rt-14-dev)
rowlark_install_dependencies
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
build="$ROWLARK_ROOT/build/fuzz"
cmake -S "$ROWLARK_ROOT" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DROWLARK_FUZZ=ON -DROWLARK_BUILD_TESTS=OFF -DROWLARK_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "== $target: $seconds s"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -dict="$ROWLARK_ROOT/fuzz/$target.dict" -artifact_prefix="$findings/" \
      "$corpus" "$ROWLARK_ROOT/fuzz/$target/seeds"; then
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (inputs in $build/findings)" >&2
  exit 1
fi
