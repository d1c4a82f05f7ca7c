#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (or $KEL_BUILD_DIR).
#   build.sh start   the programs only: what the first start needs (a build that exists keeps its tests)
#   build.sh test    the programs, the tests and the benchmarks (the default)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
purpose=${1:-test}
"$root/scripts/setup.sh" "$purpose"
build=${KEL_BUILD_DIR:-$root/build}
options=()
if [[ $purpose == test ]]; then
  options=(-DKEL_WITH_TESTS=ON -DKEL_WITH_BENCH=ON)
elif [[ ! -f $build/CMakeCache.txt ]]; then
  options=(-DKEL_WITH_TESTS=OFF -DKEL_WITH_BENCH=OFF)
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_WERROR=ON "${options[@]}" >/dev/null
cmake --build "$build"
