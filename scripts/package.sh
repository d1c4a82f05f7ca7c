#!/usr/bin/env bash
# Builds the Debian package kel7300_<version>_amd64.deb with CPack into
# build-package/ (or $KEL_PACKAGE_DIR), then checks it without installing it:
# its contents and metadata, lintian (no errors), the AppStream file, and the
# command-line tool run from the package extracted into a scratch root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" package
build=${KEL_PACKAGE_DIR:-$root/build-package}
# Debian's hardening: fortified functions, the stack protector, read-only
# relocations bound at start (the flags every Debian package is built with).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DKEL_WERROR=ON \
  -DKEL_WITH_TESTS=OFF -DKEL_WITH_BENCH=OFF "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build"
gzip -9nc "$build/changelog.Debian" >"$build/changelog.gz"
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^project(kel7300 VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
deb="$build/kel7300_${version}_amd64.deb"
[[ -f "$deb" ]] || { echo "package: $deb was not made" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/kel7300 ./usr/bin/kel7300-cli ./usr/bin/kel7300-sim \
            ./usr/share/applications/kel7300.desktop ./usr/share/icons/hicolor/scalable/apps/kel7300.svg \
            ./usr/share/mime/packages/kel7300.xml ./usr/share/metainfo/com.quellton.kel7300.metainfo.xml \
            ./usr/share/man/man1/kel7300.1.gz ./usr/share/man/man1/kel7300-cli.1.gz \
            ./usr/share/man/man1/kel7300-sim.1.gz ./usr/share/doc/kel7300/README.md \
            ./usr/share/doc/kel7300/copyright ./usr/share/doc/kel7300/changelog.gz; do
  grep -q " $path\$" <<<"$contents" || { echo "package: $path is missing" >&2; exit 1; }
done
info=$(dpkg-deb -I "$deb")
for field in "Package: kel7300" "Version: $version" "Architecture: amd64" "Depends: .*libqt6widgets6" \
             "Depends: .*libxlsxwriter"; do
  grep -qE "^ $field" <<<"$info" || { echo "package: the control file has no '$field'" >&2; echo "$info" >&2; exit 1; }
done
appstreamcli validate --no-net "$root/resources/desktop/com.quellton.kel7300.metainfo.xml" >/dev/null
# lintian's errors and any hardening tag (at every level) fail the package; its warnings are reported.
lintian --tag-display-limit 0 --display-info --display-level '>=pedantic' "$deb" >"$build/lintian.txt" 2>&1 || true
if grep -qE '^E:|hardening' "$build/lintian.txt"; then
  echo "package: lintian reports errors or missing hardening:" >&2
  grep -E '^E:|hardening' "$build/lintian.txt" >&2
  exit 1
fi
# Each program is built position-independent, with relocations read-only and bound at start.
for program in kel7300 kel7300-cli kel7300-sim; do
  headers=$(readelf -hd "$build/$program")
  grep -q 'Type:.*DYN' <<<"$headers" && grep -q 'BIND_NOW\|FLAGS.*NOW' <<<"$headers" &&
    readelf -lW "$build/$program" | grep -q GNU_RELRO ||
    { echo "package: $program is not built hardened" >&2; exit 1; }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
"$scratch/usr/bin/kel7300-cli" --help | grep -q "kel7300-cli" || { echo "package: the extracted CLI does not run" >&2; exit 1; }
echo "package: $deb ($(du -k "$deb" | cut -f1) KB), lintian: $(grep -c '^W:' "$build/lintian.txt" || true) warnings"
