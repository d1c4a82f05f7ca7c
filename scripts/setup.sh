#!/usr/bin/env bash
# Installs every Debian package that the build, the program and the tests need.
# Quick and silent when everything is there already; as root it runs apt-get,
# otherwise it names the packages and the command that installs them.
set -euo pipefail

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # libraries
  qt6-base-dev nlohmann-json3-dev libcli11-dev libx11-dev libxlsxwriter-dev libpq-dev libssl-dev
  # the team archive's server: the tests start a throwaway cluster of their own
  postgresql-15 postgresql-client-15
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
  # looking at output: fonts for the report page, PDF and workbook readers
  fonts-liberation2 poppler-utils python3-xlrd python3-openpyxl
  # the desktop program in a real window: Qt's platform plugins and a virtual display
  qt6-qpa-plugins xvfb xauth
  # the Win32 sources are compile-checked with mingw-w64
  g++-mingw-w64-x86-64-posix
  # the Debian package: manual pages from the programs' help, its checks
  help2man dpkg-dev file lintian appstream
  # the system calls of a command, to see that a file put in place is synced with its folder
  strace
)

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
