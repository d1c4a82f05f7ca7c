#!/usr/bin/env bash
# The archive tests' server: a throwaway cluster with a migrated template database.
#   test_server.sh setup BUILD CLI     start it; its folder is written to BUILD/archive-test-server
#   test_server.sh cleanup BUILD       stop it and remove its folder
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
record="$2/archive-test-server"
stop() {
  if [[ -f "$record" ]]; then
    "$root/scripts/pg_server.sh" stop "$(cat "$record")"
    rm -rf "$(cat "$record")" "$record"
  fi
}
case "$1" in
setup)
  stop
  dir=$(mktemp -d /tmp/kel-archive-test.XXXXXX)
  echo "$dir" >"$record"
  connection=$("$root/scripts/pg_server.sh" start "$dir")
  psql "$connection" -qX -v ON_ERROR_STOP=1 -c "CREATE DATABASE kel_template" >/dev/null
  "$3" archive migrate --db "$connection dbname=kel_template"
  ;;
cleanup)
  stop
  ;;
esac
