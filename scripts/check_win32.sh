#!/usr/bin/env bash
# Compile-checks the Win32 sources (and the core they serve) with mingw-w64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
for source in "$root"/platform/win32/*.cpp "$root"/instrument/serial_com.cpp "$root"/testfile/kel_file.cpp \
              "$root"/platform/atomic_file.cpp "$root"/tools/demo_tests.cpp "$root"/export/excel_export.cpp "$root"/export/builtin_server.cpp \
              "$root"/export/biff8/workbook_writer.cpp "$root"/platform/unicode.cpp; do
  "$cxx" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I"$root" "$source"
done
echo "win32: the Win32 sources compile with $cxx"
