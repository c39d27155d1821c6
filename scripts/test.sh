#!/usr/bin/env bash
# Sets up a fresh Debian machine (packages), builds Crossmeld with its tests,
# fuzz replays and benchmarks, and runs the whole test suite; then builds it
# again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the
# suite once more, stopping at the first error either finds.
# SANITIZE=0 skips the second pass.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=$(nproc)
LAUNCHER=()
if command -v ccache >/dev/null; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

BUILD=${BUILD_DIR:-build}
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LAUNCHER[@]}"
cmake --build "$BUILD" -j"$JOBS"
ctest --test-dir "$BUILD" --output-on-failure -j"$JOBS"

if [[ ${SANITIZE:-1} != 0 ]]; then
  SAN=${SANITIZE_BUILD_DIR:-build-sanitize}
  # -O1 with line tables only: quicker to build, still fast enough to run,
  # and the sanitizers' reports name file and line.
  cmake -S . -B "$SAN" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
    -DCROSSMELD_SANITIZE=ON -DCROSSMELD_BENCH=OFF "${LAUNCHER[@]}"
  cmake --build "$SAN" -j"$JOBS"
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp
  ctest --test-dir "$SAN" --output-on-failure -j"$JOBS"
fi
