#!/usr/bin/env bash
# Compile-checks, with mingw-w64, every source that the Windows build compiles
# without Qt: the core, the services, the platform layer with its Win32 half, the command-line
# tool, the demo tests and the simulator's protocol machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" windows
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
cd "$root"
version=$(sed -n 's/^project(kel7300 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sources=()
for source in app/*.cpp testfile/*.cpp instrument/*.cpp history/*.cpp display/*.cpp export/*.cpp export/biff8/*.cpp \
              resources/*.cpp status/*.cpp services/*.cpp archive/*.cpp platform/*.cpp platform/win32/*.cpp tools/*.cpp tools/sim/*.cpp; do
  # The Qt front end is checked by the Linux build; kel7300-sim runs on POSIX pseudo-terminals only.
  grep -q '#include <Q' "$source" && continue
  [[ "$source" == tools/kel7300_sim.cpp ]] && continue
  sources+=("$source")
done
for source in "${sources[@]}"; do
  # The header-only libraries come from the Debian packages, after mingw's own headers.
  "$cxx" -std=c++20 -Wall -Wextra -Wshadow -Wconversion -Wold-style-cast -Werror -fsyntax-only -I"$root" \
    -DKEL_VERSION="\"$version\"" \
    -idirafter /usr/include -idirafter /usr/include/postgresql -idirafter /usr/include/x86_64-linux-gnu "$source"
done
echo "win32: ${#sources[@]} sources compile with $cxx"
