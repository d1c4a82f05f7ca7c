#!/usr/bin/env bash
# Sets up, builds and starts the desktop program on its built-in defaults, in a
# folder of demo test files, with a demo test open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build=${KEL_BUILD_DIR:-$root/build}
demo=${KEL_DEMO_DIR:-$root/demo-tests}
"$build/kel7300-cli" make-demo "$demo" >/dev/null
cd "$demo"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  "$build/kel7300-cli" render Test3.kel Test6.kel -o report.png
  echo "There is no display here to show the program on. Demo tests are in $demo;"
  echo "their report page is drawn into $demo/report.png. To run the program:"
  echo "  xvfb-run -a ./scripts/start.sh                (a virtual display)"
  echo "  QT_QPA_PLATFORM=offscreen ./scripts/start.sh  (no window at all)"
  exit 1
fi
echo "Demo tests in $demo; showing Test3.kel."
exec "$build/kel7300" Test3.kel
