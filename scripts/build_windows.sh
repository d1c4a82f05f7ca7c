#!/usr/bin/env bash
# Cross-builds the core libraries, kel7300-cli.exe and the core tests for 64-bit Windows with
# mingw-w64, statically: the programs need only Windows' own DLLs, which the end checks.
#
# Everything comes from Debian: GoogleTest from /usr/src/googletest, the header-only CLI11 and
# nlohmann-json as installed, zlib from libz-mingw-w64-dev, and libxlsxwriter built from Debian's
# own source package (the script adds a source entry for the archive this machine already uses).
# There is no PostgreSQL client for mingw here: the Windows build has no team archive, and says so.
#
#   ./scripts/build_windows.sh            builds into build-windows/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" windows
build=${KEL_WINDOWS_BUILD:-$root/build-windows}
deps=$build/deps
export KEL_WINDOWS_DEPS=$deps
toolchain=$root/cmake/mingw-w64.cmake
mkdir -p "$deps/include" "$deps/lib" "$deps/src"

# The header-only libraries: their headers only, so that no Linux header reaches the Windows build.
for header in CLI nlohmann; do
  [[ -d $deps/include/$header ]] || cp -r "/usr/include/$header" "$deps/include/"
done

# GoogleTest, from Debian's source copy.
if [[ ! -f $deps/lib/libgtest.a ]]; then
  cmake -S /usr/src/googletest -B "$deps/src/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/src/googletest" >/dev/null
  cmake --install "$deps/src/googletest" >/dev/null
fi

# libxlsxwriter, from Debian's source package of the version the Linux build uses.
if [[ ! -f $deps/lib/libxlsxwriter.a ]]; then
  version=$(dpkg-query -W -f='${source:Version}' libxlsxwriter-dev)
  upstream=${version%-*}
  cache=$deps/src/debian
  mkdir -p "$cache"
  if ! compgen -G "$cache/libxlsxwriter_${upstream}.orig.tar.*" >/dev/null; then
    sources=/etc/apt/sources.list.d/kel7300-debian-src.sources
    if ! apt-get source --download-only --print-uris "libxlsxwriter=$version" >/dev/null 2>&1; then
      # A source entry beside the binary one: same archive, same suite, same key.
      [[ $(id -u) -eq 0 ]] || { echo "build_windows: Debian's source entries are needed; run as root" >&2; exit 1; }
      suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
      printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$suite" >"$sources"
      apt-get update -o Dir::Etc::sourcelist="$sources" -o Dir::Etc::sourceparts=- -o APT::Get::List-Cleanup=0 \
        >/dev/null
    fi
    (cd "$cache" && apt-get source --download-only "libxlsxwriter=$version" >/dev/null 2>&1)
  fi
  rm -rf "$deps/src/libxlsxwriter"
  mkdir -p "$deps/src/libxlsxwriter"
  tar -xf "$cache"/libxlsxwriter_"${upstream}".orig.tar.* -C "$deps/src/libxlsxwriter" --strip-components=1
  tar -xf "$cache"/libxlsxwriter_"${version}".debian.tar.* -C "$deps/src/libxlsxwriter"
  if [[ -f $deps/src/libxlsxwriter/debian/patches/series ]]; then
    while read -r patch; do
      [[ -z $patch || $patch == \#* ]] || patch -d "$deps/src/libxlsxwriter" -p1 -s <"$deps/src/libxlsxwriter/debian/patches/$patch"
    done <"$deps/src/libxlsxwriter/debian/patches/series"
  fi
  # libxlsxwriter opens its files by UTF-8 name through the wide Win32 calls, except when built
  # with mingw, where it falls back to the ANSI fopen: make mingw take the wide calls too.
  sed -i '/^#ifdef __MINGW32__$/,/^#endif$/d' "$deps/src/libxlsxwriter/src/packager.c" "$deps/src/libxlsxwriter/src/utility.c"
  sed -i 's|^    if(MSVC)$|    if(WIN32)|' "$deps/src/libxlsxwriter/CMakeLists.txt"
  cmake -S "$deps/src/libxlsxwriter" -B "$deps/src/libxlsxwriter/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
        -DZLIB_ROOT=/usr/x86_64-w64-mingw32 -DCMAKE_C_FLAGS="-w" >/dev/null
  cmake --build "$deps/src/libxlsxwriter/build" >/dev/null
  cmake --install "$deps/src/libxlsxwriter/build" >/dev/null
fi

# The program: the core, the command-line tool and the core tests; no Qt, no benchmarks.
export PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_SYSROOT_DIR=
cmake -S "$root" -B "$build/kel" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DKEL_WITH_QT=OFF -DKEL_WITH_BENCH=OFF -DKEL_WERROR=ON -DCMAKE_PREFIX_PATH="$deps" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine_run.sh" >/dev/null
cmake --build "$build/kel"

# Only Windows' own DLLs may be imported.
allowed='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|bcrypt|msvcrt|ws2_32|setupapi)\.dll$'
for program in "$build"/kel/*.exe "$build"/kel/tests/*.exe; do
  [[ -e $program ]] || continue
  while read -r dll; do
    if ! grep -qiE "$allowed" <<<"$dll"; then
      echo "build_windows: $(basename "$program") imports $dll, which Windows does not have" >&2
      exit 1
    fi
  done < <(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
done
echo "build_windows: $(cd "$build/kel" && ls *.exe tests/*.exe | tr '\n' ' ')import only Windows' own DLLs"
