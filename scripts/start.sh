#!/usr/bin/env bash
# Sets up, builds and shows the program on its built-in defaults: a folder of
# demo test files, listed and described by the command-line tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build=${KEL_BUILD_DIR:-$root/build}
cli="$build/kel7300-cli"
demo=${KEL_DEMO_DIR:-$root/demo-tests}
"$cli" make-demo "$demo" >/dev/null
echo "Demo test files in $demo:"
echo
"$cli" list "$demo"
echo
cd "$demo"
"$cli" info Test3.kel Test5.kel
"$cli" render Test3.kel Test6.kel -o "$demo/report.png"
"$cli" render Test3.kel -o "$demo/report.pdf"
echo
echo "Report pages: $demo/report.png (the screen page of Test3 and Test6 overlaid)"
echo "              $demo/report.pdf (the printed page of Test3)"
