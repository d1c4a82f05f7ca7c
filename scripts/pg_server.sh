#!/usr/bin/env bash
# A PostgreSQL cluster of the project's own, on a private port and socket folder:
#   pg_server.sh start DIR      initdb (first time) and start; prints the connection string
#   pg_server.sh stop DIR       stop it
# As root, initdb and pg_ctl refuse to run: they run as the postgres user, who owns DIR.
set -euo pipefail
command=${1:?start or stop}
dir=${2:?the cluster folder}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[[ -x "$bin/pg_ctl" ]] || { echo "pg_server: PostgreSQL is not installed (scripts/setup.sh installs it)" >&2; exit 1; }

owner() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$command" in
start)
  mkdir -p "$dir"
  [[ $(id -u) -eq 0 ]] && chown postgres: "$dir" && chmod 700 "$dir"
  # Running already: its connection stands.
  if [[ -f "$dir/connection" ]] && owner "$bin/pg_ctl" -D "$dir/data" status >/dev/null 2>&1; then
    cat "$dir/connection"
    exit 0
  fi
  if [[ ! -f "$dir/data/PG_VERSION" ]]; then
    owner "$bin/initdb" -D "$dir/data" -U postgres --auth=trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
      cat "$dir/initdb.log" >&2; exit 1; }
  fi
  # A free port of the private range, tried in turn; the socket lives in the cluster's folder only.
  for attempt in $(seq 1 20); do
    port=$((20000 + (RANDOM % 20000)))
    if owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
         -o "-p $port -k $dir -c listen_addresses='' -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
         start >/dev/null 2>&1; then
      echo "host=$dir port=$port user=postgres dbname=postgres" >"$dir/connection"
      cat "$dir/connection"
      exit 0
    fi
  done
  echo "pg_server: the server did not start; its log:" >&2
  tail -n 20 "$dir/server.log" >&2 || true
  exit 1
  ;;
stop)
  [[ -f "$dir/data/postmaster.pid" ]] && owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
  ;;
*)
  echo "pg_server: start or stop, not $command" >&2
  exit 2
  ;;
esac
