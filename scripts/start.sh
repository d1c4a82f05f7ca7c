#!/usr/bin/env bash
# Sets up, builds and starts the desktop program on its built-in defaults, in a
# folder of demo test files, with a demo test open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" start
build=${KEL_BUILD_DIR:-$root/build}
demo=${KEL_DEMO_DIR:-$root/demo-tests}
# The demo tests are written on the first run and kept after (Save Test may have
# changed them); make-demo never replaces a file.
if ! out=$("$build/kel7300-cli" make-demo "$demo" 2>&1 >/dev/null); then
  case "$out" in
    *"exist already"*) ;;
    *) echo "$out" >&2; exit 1 ;;
  esac
fi
cd "$demo"

# A private archive of the user's own: a PostgreSQL cluster in the user's data folder on a port
# of its own (as root, where the postgres user runs it, in /var/tmp), with the demo tests pushed,
# so that `kel7300-cli archive trend` answers at once. The archive is an extra: without it the
# program starts all the same.
if [[ $(id -u) -eq 0 ]]; then
  archive_dir=/var/tmp/kel7300-archive-root
else
  archive_dir="${XDG_DATA_HOME:-$HOME/.local/share}/KEL-7300/archive"
fi
if server=$("$root/scripts/pg_server.sh" start "$archive_dir" 2>"$archive_dir.log"); then
  private="$server dbname=kel"
  psql "$server" -qXtAc "SELECT 1 FROM pg_database WHERE datname = 'kel'" | grep -q 1 ||
    psql "$server" -qX -c "CREATE DATABASE kel" >/dev/null
  echo "$private" >"$archive_dir/archive"
  if "$build/kel7300-cli" archive migrate --db "$private" >/dev/null &&
     pushed=$("$build/kel7300-cli" archive push --db "$private" "$demo"); then
    echo "Private archive in $archive_dir ($pushed); try: $build/kel7300-cli archive trend"
  fi
else
  echo "start: the private archive did not start (see $archive_dir.log); the program starts without it." >&2
fi

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  "$build/kel7300-cli" render Test3.kel Test6.kel -o report.png
  echo "There is no display here to show the program on. Demo tests are in $demo;"
  echo "their report page is drawn into $demo/report.png. To run the program:"
  echo "  xvfb-run -a ./scripts/start.sh                (a virtual display)"
  echo "  QT_QPA_PLATFORM=offscreen ./scripts/start.sh  (no window at all)"
  exit 1
fi
# The simulated tester answers on the program's configured port (COM1 unless
# the Setup dialog chose another); it ends with the program.
port=1
conf="${XDG_CONFIG_HOME:-$HOME/.config}/Quellton/KEL-7300.conf"
if [[ -f "$conf" ]]; then
  stored=$(sed -n 's/^ComPort=\([0-9]*\)$/\1/p' "$conf" | head -n 1)
  [[ -n "$stored" ]] && port=$stored
fi
# The simulator links the port only when the user's configuration does not use it
# (an alias of the user's own leads to the real tester): it says so and stays off.
simout=$(mktemp)
simerr=$(mktemp)
"$build/kel7300-sim" --demo --link "COM$port" >"$simout" 2>"$simerr" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$simout" "$simerr"' EXIT
# It prints its device once the link is made, or ends at once when it refuses.
for _ in $(seq 100); do
  [[ -s "$simout" ]] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.05
done
if [[ -s "$simout" ]]; then
  echo "Demo tests in $demo; showing Test3.kel. The simulated KEL-7300 answers on COM$port:"
  echo "try Retrieve Test Record (Ctrl+D)."
else
  sed 's/^/start: /' "$simerr" >&2
  echo "start: the program starts without the simulated tester; COM$port stays as you configured it."
  echo "Demo tests in $demo; showing Test3.kel."
fi
"$build/kel7300" Test3.kel
