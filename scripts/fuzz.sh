#!/usr/bin/env bash
# A bounded libFuzzer run of every fuzz target, from the seed corpus in fuzz/corpus.
# Usage: fuzz.sh [seconds per target, default 30]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
"$root/scripts/setup.sh"
build=${KEL_FUZZ_DIR:-$root/build-fuzz}
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_WITH_FUZZ=ON -DKEL_WERROR=ON \
  -DKEL_WITH_QT=OFF -DKEL_WITH_TESTS=OFF -DKEL_WITH_BENCH=OFF >/dev/null
cmake --build "$build"
for target in fuzz_directory fuzz_load fuzz_values; do
  corpus=$(mktemp -d)
  cp -r "$root/fuzz/corpus/$target/." "$corpus/" 2>/dev/null || true
  echo "fuzz: $target for ${seconds}s"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=70000 -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
  rm -rf "$corpus"
done
