#!/usr/bin/env bash
# The core tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" sanitize
build=${KEL_SANITIZE_DIR:-$root/build-sanitize}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKEL_SANITIZE=ON -DKEL_WITH_QT=OFF \
  -DKEL_WITH_BENCH=OFF -DKEL_WERROR=ON >/dev/null
cmake --build "$build"
cd "$build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -L core -j "$(nproc)"
