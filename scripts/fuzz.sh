#!/usr/bin/env bash
# A bounded libFuzzer run of every fuzz target, from the seed corpus in fuzz/corpus.
# Usage: fuzz.sh [seconds per target, default 30]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
"$root/scripts/setup.sh" fuzz
build=${KEL_FUZZ_DIR:-$root/build-fuzz}
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_WITH_FUZZ=ON -DKEL_WERROR=ON \
  -DKEL_WITH_QT=OFF -DKEL_WITH_TESTS=OFF -DKEL_WITH_BENCH=OFF >/dev/null
cmake --build "$build"
for target in fuzz_directory fuzz_load fuzz_trend_point fuzz_values; do
  corpus=$(mktemp -d)
  # The trend reads the start of the same test files that fuzz_load reads whole.
  seeds=$target
  [[ $target == fuzz_trend_point ]] && seeds=fuzz_load
  cp -r "$root/fuzz/corpus/$seeds/." "$corpus/" 2>/dev/null || true
  echo "fuzz: $target for ${seconds}s"
  log=$(mktemp)
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -max_len=70000 -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz: $target failed" >&2
    exit 1
  fi
  # How far it got: "cov:" counts the coverage edges reached, in the harness and the core alike.
  grep -E 'DONE|stat::number_of_executed_units|stat::new_units_added' "$log"
  echo "fuzz: $target reached $(grep -oE 'DONE +cov: [0-9]+' "$log" | grep -oE '[0-9]+$') coverage edges in ${seconds}s"
  rm -rf "$corpus" "$log"
done
