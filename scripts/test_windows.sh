#!/usr/bin/env bash
# The Windows build under Wine: the core tests through ctest's cross-compiling emulator, then
# kel7300-cli.exe as a user runs it, checked from the Linux side against the Linux program:
# the demo files, names beyond ASCII, the workbooks (read back by Linux's python3 readers), the
# serial line to the simulated tester on a COM port that Wine maps to its pseudo-terminal, with
# its faults, and the atomic replace of a file another program holds open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build_windows.sh"
# The Linux programs: the simulator, and the Linux side of each comparison.
"$root/scripts/build.sh" test
linux=${KEL_BUILD_DIR:-$root/build}
win=${KEL_WINDOWS_BUILD:-$root/build-windows}/kel
export KEL_WINE_PREFIX=${KEL_WINE_PREFIX:-${KEL_WINDOWS_BUILD:-$root/build-windows}/wine}
run=$root/scripts/wine_run.sh

echo "test_windows: the core tests under Wine"
# The prefix is made once, before ctest runs several programs in it at a time.
"$run" cmd /c ver >/dev/null
(cd "$win" && ctest --output-on-failure -j "$(nproc)")

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for port in 5 6 7; do "$run" reg delete 'HKLM\Software\Wine\Ports' /v "COM$port" /f >/dev/null 2>&1 || true; done
  WINEPREFIX=$KEL_WINE_PREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -f "$KEL_WINE_PREFIX"/dosdevices/com{5,6,7}
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {
  local name=$1
  shift
  if "$@"; then echo "ok    $name"; else echo "FAIL  $name" >&2; failures=$((failures + 1)); fi
}
# The Windows program in folder $1 (of $work), with the remaining arguments as they are.
wcli() { (cd "$work/$1" && shift && "$run" "$win/kel7300-cli.exe" "$@"); }
lcli() { (cd "$work/$1" && shift && XDG_CONFIG_HOME=$work/config "$linux/kel7300-cli" "$@"); }
# Status and output (both streams) of a command, each stream's paths with "/" and CR LF as LF.
outcome() {
  local status=0 out
  out=$("$@" 2>&1) || status=$?
  printf '%s\nstatus %d\n' "$out" "$status" | tr -d '\r' | sed 's|\\|/|g'
}
quiet() { "$@" >/dev/null; }
same() { [[ "$1" == "$2" ]] || { diff <(echo "$1") <(echo "$2") >&2; return 1; }; }
mkdir -p "$work"/{l,w,config}

# 1. The demo files: byte for byte the Linux ones (the sample words round in 64 bits).
wcli w make-demo demo >/dev/null
lcli l make-demo demo >/dev/null
check "make-demo writes the Linux bytes" diff -r "$work/l/demo" "$work/w/demo"

# 2. Names beyond ASCII, as arguments and as files.
for name in Prüfdaten Ölpumpe 日本語; do
  wcli w make-demo "$name" >/dev/null
  check "make-demo $name" test -f "$work/w/$name/Test3.kel"
  cp "$work/w/demo/Test3.kel" "$work/w/demo/$name.kel"
done
listing=$(wcli w list demo)
for name in Prüfdaten Ölpumpe 日本語; do
  check "list names $name.kel" grep -q "^$name.kel" <<<"$listing"
done
check "info reads 日本語.kel" quiet wcli w info "demo/日本語.kel"
rm -f "$work"/w/demo/{Prüfdaten,Ölpumpe,日本語}.kel

# 3. The workbooks, read back by Linux's readers: the same cells as the Linux program's.
dump_xls() { /usr/bin/python3 -c '
import sys, xlrd
for path in sorted(sys.argv[1:]):
    s = xlrd.open_workbook(path).sheet_by_index(0)
    for r in range(s.nrows):
        print(path.rsplit("/", 1)[1], r, [str(v) for v in s.row_values(r)])' "$@"; }
dump_xlsx() { /usr/bin/python3 -c '
import sys, openpyxl
for path in sorted(sys.argv[1:]):
    b = openpyxl.load_workbook(path)
    for ws in b.worksheets:
        for row in ws.iter_rows(values_only=True):
            print(path.rsplit("/", 1)[1], ws.title, [str(v) for v in row])' "$@"; }
for format in xls xlsx csv; do
  mkdir -p "$work/l/$format" "$work/w/$format"
  wcli w export --format "$format" --to "$format" demo/Test1.kel demo/Test3.kel demo/Test6.kel >/dev/null
  lcli l export --format "$format" --to "$format" demo/Test1.kel demo/Test3.kel demo/Test6.kel >/dev/null
done
check "xls workbooks read back as the Linux ones" \
  same "$(dump_xls "$work"/w/xls/*.xls)" "$(dump_xls "$work"/l/xls/*.xls)"
check "xlsx workbooks read back as the Linux ones" \
  same "$(dump_xlsx "$work"/w/xlsx/*.xlsx)" "$(dump_xlsx "$work"/l/xlsx/*.xlsx)"
check "csv files are the Linux ones" diff -r "$work/l/csv" "$work/w/csv"

# 4. The serial line: the simulator on a pseudo-terminal, reached as COMn through Wine's port
# registry (so that the port list sees it) and by the Linux program's alias.
start_sim() {  # start_sim PORT [--fault F]: the simulator, linked for both programs
  local port=$1 device
  shift
  "$linux/kel7300-sim" --demo "$@" >"$work/sim$port" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -s "$work/sim$port" ]] && break; sleep 0.05; done
  device=$(head -n 1 "$work/sim$port" | cut -d' ' -f1)
  "$run" reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /d "$device" /f >/dev/null
  mkdir -p "$work/config/Quellton/KEL-7300/ports"
  ln -sfn "$device" "$work/config/Quellton/KEL-7300/ports/COM$port"
}
start_sim 5
start_sim 6 --fault silent
start_sim 7 --fault short-last-block
# Wine maps the registered ports when it starts again.
WINEPREFIX=$KEL_WINE_PREFIX /usr/lib/wine/wineserver -k || true
check "ports lists COM5" grep -q "^COM5" <<<"$(wcli w ports)"
check "find finds the tester on COM5" grep -q "COM5" <<<"$(wcli w find 2>&1)"
for command in "revision" "dir" "download 99"; do
  # shellcheck disable=SC2086
  check "$command on COM5 as on Linux" \
    same "$(outcome wcli w --port 5 $command)" "$(outcome lcli l --port 5 $command)"
done
mkdir -p "$work/w/get" "$work/l/get"
check "download --prefix Prüf 3 as on Linux" \
  same "$(outcome wcli w/get --port 5 download --prefix Prüf 3)" "$(outcome lcli l/get --port 5 download --prefix Prüf 3)"
check "the downloaded Prüf3.kel is the Linux bytes" cmp "$work/w/get/Prüf3.kel" "$work/l/get/Prüf3.kel"
check "a silent tester: the Linux message and status" \
  same "$(outcome wcli w --port 6 revision)" "$(outcome lcli l --port 6 revision)"
mkdir -p "$work/w/short" "$work/l/short"
check "a short last block: the Linux message and status" \
  same "$(outcome wcli w/short --port 7 download 3)" "$(outcome lcli l/short --port 7 download 3)"
check "a short last block: the Linux bytes" diff -r "$work/l/short" "$work/w/short"

# 5. A file another program holds open: the replace waits for it about a second, then says so.
hold() {  # hold FILE MS: a Windows reader holding FILE, started and holding before this returns
  (cd "$work/w" && "$run" "$win/tests/kel_hold_file.exe" "$1" "$2" >"$work/held" 2>&1) &
  pids+=($!)
  for _ in $(seq 200); do grep -q held "$work/held" 2>/dev/null && break; sleep 0.05; done
}
printf 'old' >"$work/w/demo/Test3.kel"
hold demo/Test3.kel 400
check "a replace waits out a short hold" quiet wcli w make-demo --force demo
check "and the file is the new one" cmp "$work/l/demo/Test3.kel" "$work/w/demo/Test3.kel"
wait "${pids[-1]}" 2>/dev/null || true
printf 'old' >"$work/w/demo/Test3.kel"
hold demo/Test3.kel 4000
held=$(outcome wcli w make-demo --force demo)
check "a long hold fails the replace with a message and status 1" \
  grep -q "Can't write file .*Test3.kel" <<<"$held"
check "with status 1" grep -q "^status 1$" <<<"$held"
check "and the held file stays as it was" same "$(cat "$work/w/demo/Test3.kel")" "old"

if ((failures > 0)); then
  echo "test_windows: $failures check(s) failed" >&2
  exit 1
fi
echo "test_windows: the core tests and every check passed under Wine"
