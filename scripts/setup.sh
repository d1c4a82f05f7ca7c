#!/usr/bin/env bash
# Installs the Debian packages one purpose needs: setup.sh [start|test|sanitize|fuzz|windows|package].
# Quick and silent when everything is there already; as root it runs apt-get,
# otherwise it names the packages and the command that installs them.
set -euo pipefail

# What each command needs. Starting the program needs what builds and runs it (and its private
# archive); the tests add their own tools; the Windows build, the fuzzer and the package install
# theirs when they run, so that a newcomer's first start does not wait for them.
purpose=${1:-start}
start=(
  # build
  g++ cmake ninja-build pkg-config
  # libraries
  qt6-base-dev nlohmann-json3-dev libcli11-dev libx11-dev libxlsxwriter-dev libpq-dev libssl-dev
  # libxlsxwriter links zlib, which its -dev package does not bring
  zlib1g-dev
  # the private archive that start.sh runs (and the archive tests' throwaway cluster)
  postgresql-15 postgresql-client-15
  # fonts for the report page; Qt's platform plugins and a virtual display for a machine without one
  fonts-liberation2 qt6-qpa-plugins xvfb xauth
)
test=(
  "${start[@]}"
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # looking at output: PDF and workbook readers
  poppler-utils python3-xlrd python3-openpyxl
  # the manual pages are made from the programs' help
  help2man
  # the system calls of a command, to see that a file put in place is synced with its folder
  strace
)
case "$purpose" in
  start) packages=("${start[@]}") ;;
  test) packages=("${test[@]}") ;;
  # The core tests under AddressSanitizer and UndefinedBehaviorSanitizer.
  sanitize) packages=("${test[@]}") ;;
  # libFuzzer: clang and its runtime.
  fuzz) packages=("${start[@]}" clang libclang-rt-14-dev) ;;
  # The Windows build and its tests: mingw-w64, zlib for it, GoogleTest's sources, Wine;
  # libxlsxwriter is built from Debian's source package (dpkg-dev unpacks it).
  windows) packages=("${test[@]}" g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine64 dpkg-dev) ;;
  # The Debian package and its checks.
  package) packages=("${start[@]}" help2man dpkg-dev file lintian appstream) ;;
  *) echo "setup: unknown purpose '$purpose' (start, test, sanitize, fuzz, windows, package)" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 ]]; then
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
if [[ $(id -u) -eq 0 ]]; then
  export DEBIAN_FRONTEND=noninteractive
  # Refresh the package lists only when they are missing or a package is not known yet.
  if ! apt-get install -y --no-install-recommends "${missing[@]}" >/tmp/kel7300-setup.log 2>&1; then
    apt-get update >>/tmp/kel7300-setup.log 2>&1
    apt-get install -y --no-install-recommends "${missing[@]}" >>/tmp/kel7300-setup.log 2>&1 || {
      echo "setup: apt-get failed; see /tmp/kel7300-setup.log" >&2
      tail -n 20 /tmp/kel7300-setup.log >&2
      exit 1
    }
  fi
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo DEBIAN_FRONTEND=noninteractive apt-get update
  sudo DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "setup: these Debian packages are missing: ${missing[*]}" >&2
  echo "setup: install them as root with:" >&2
  echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
  exit 1
fi
