#!/usr/bin/env bash
# The team archive's figures (docs/PERFORMANCE.md), on a server of its own; not run by CI.
#   bench/archive_bench.sh push       20,000 files pushed against a bare COPY of the same rows into the
#                                     archive's tests table (farm-bench, in one run), the same push again,
#                                     and one day's 20 tests
#   bench/archive_bench.sh load [N]   N tests (default 1,000,000) through the archive's push function, then
#                                     one asset's trend, a company's overview and the due list, timed by the server
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KEL_BUILD_DIR:-$root/build}
cli="$build/kel7300-cli"
generate="python3 $root/bench/archive_generate.py"
work=${TMPDIR:-/tmp}/kel7300-archive-bench
export PGOPTIONS="-c client_min_messages=warning"
mkdir -p "$work"
[[ $(id -u) -eq 0 ]] && chmod 755 "$work"
server=$("$root/scripts/pg_server.sh" start "$work/server")
trap '"$root/scripts/pg_server.sh" stop "$work/server"' EXIT
sql() { psql "$server" -qXtA -v ON_ERROR_STOP=1 "$@"; }
fresh() {  # a database made anew from the migrated template
  sql -c "DROP DATABASE IF EXISTS $1 WITH (FORCE)" -c "CREATE DATABASE $1 TEMPLATE kel_bench_template"
}
sql -c "DROP DATABASE IF EXISTS kel_bench_template" -c "CREATE DATABASE kel_bench_template"
"$cli" archive migrate --db "$server dbname=kel_bench_template" >/dev/null
staging="CREATE TEMP TABLE kel_staging (sha256 bytea, measurement_key bytea, bytes bytea, company_key text,
  location_key text, description_key text, test_number integer, test_type smallint, type_name text,
  tested_at timestamp, test_volts integer, duration_s integer, final_ohms double precision,
  r1min_ohms double precision, r1min_40c_ohms double precision, pi double precision, dd double precision,
  dar double precision, capacitance_f double precision, temperature_k double precision, over_range boolean,
  operator_name text, description text, location text, company text, upload_host text, upload_path text)"

case "${1:-push}" in
push)
  rm -rf "$work/files" "$work/day" && mkdir -p "$work/files" "$work/day"
  $generate files "$work/files" 20000
  $generate copyrows "$work/files" >"$work/rows.copy"
  cat >"$work/push.sh" <<SCRIPT
psql "$server" -qX -c "DROP DATABASE IF EXISTS kel_push WITH (FORCE)" -c "CREATE DATABASE kel_push TEMPLATE kel_bench_template" &&
"$cli" archive push --db "$server dbname=kel_push" "$work/files" >/dev/null
SCRIPT
  # The floor: a bare COPY of the same rows into the archive's own tests table (its checks,
  # indexes and triggers included), its company and assets made first.
  cat >"$work/copy.sh" <<SCRIPT
psql "$server" -qX -c "DROP DATABASE IF EXISTS kel_bare WITH (FORCE)" -c "CREATE DATABASE kel_bare TEMPLATE kel_bench_template" &&
psql "$server dbname=kel_bare" -qX -v ON_ERROR_STOP=1 \
  -c "INSERT INTO companies (name, key) VALUES ('BENCH CO', 'BENCH CO')" \
  -c "INSERT INTO assets (company_id, location, description, location_key, description_key) SELECT 1, 'SITE', d, 'SITE', d FROM (SELECT 'ASSET ' || lpad(i::text, 5, '0') AS d FROM generate_series(0, 999) i) a ORDER BY d" \
  -c "\\copy tests (sha256, measurement_key, bytes, company_id, asset_id, test_number, test_type, type_name, tested_at, test_volts, duration_s, final_ohms, r1min_ohms, r1min_40c_ohms, pi, dd, dar, capacitance_f, temperature_k, over_range, operator_name, description, location, company, upload_host, upload_path) FROM '$work/rows.copy'"
SCRIPT
  echo "== push of 20,000 files (A) against a bare COPY of the same rows (B)"
  farm-bench -n 7 --timeout 600 --vs "bash $work/copy.sh" -- bash "$work/push.sh"
  echo "== the same push again"
  farm-bench -n 5 --timeout 300 -- "$cli" archive push --db "$server dbname=kel_push" "$work/files"
  echo "== one day's 20 tests into the archive of 20,000"
  for i in $(seq 0 19); do cp "$work/files/T$(printf %05d "$i").kel" "$work/day/"; done
  python3 - "$work/day" <<'PY'
import os, sys
for name in os.listdir(sys.argv[1]):  # another day: new test numbers, so new contents
    path = os.path.join(sys.argv[1], name)
    data = bytearray(open(path, 'rb').read())
    data[9:11] = (40000 + int(name[1:6])).to_bytes(2, 'big')
    open(path, 'wb').write(data)
PY
  farm-bench -n 1 --warmup 0 -- "$cli" archive push --db "$server dbname=kel_push" "$work/day"
  ;;
load)
  count=${2:-1000000}
  fresh kel_load
  start=$(date +%s.%N)
  for ((first = 0; first < count; first += 50000)); do
    chunk=$((count - first < 50000 ? count - first : 50000))
    psql "$server dbname=kel_load" -qXtA -v ON_ERROR_STOP=1 -c "$staging" -c "GRANT SELECT ON kel_staging TO kel_admin" \
      -c "\\copy kel_staging FROM PROGRAM '$generate rows $first $chunk'" \
      -c "SELECT count(*) FILTER (WHERE outcome = 'added') FROM kel_push()" >/dev/null
  done
  echo "loaded $count tests in $(echo "$(date +%s.%N) - $start" | bc) s"
  psql "$server dbname=kel_load" -qX -v ON_ERROR_STOP=1 -c "ANALYZE" -f - <<'SQL'
-- Server time of each query, in milliseconds: 200 random assets and companies, the due list 20 times.
CREATE FUNCTION pg_temp.timed(kind text, n integer) RETURNS TABLE (p50 numeric, p95 numeric)
LANGUAGE plpgsql AS $$
DECLARE
    took double precision[] := '{}';
    started timestamptz;
    chosen bigint;
BEGIN
    FOR i IN 1..n LOOP
        IF kind = 'asset' THEN
            SELECT id INTO chosen FROM assets OFFSET floor(random() * (SELECT count(*) FROM assets)) LIMIT 1;
            started := clock_timestamp();
            PERFORM * FROM kel_tests WHERE asset_id = chosen ORDER BY tested_at;
        ELSIF kind = 'company' THEN
            SELECT id INTO chosen FROM companies OFFSET floor(random() * (SELECT count(*) FROM companies)) LIMIT 1;
            started := clock_timestamp();
            PERFORM * FROM kel_due_assets WHERE asset_id IN (SELECT id FROM assets WHERE company_id = chosen);
        ELSE
            started := clock_timestamp();
            PERFORM * FROM kel_due_assets WHERE due_at < localtimestamp + interval '30 days';
        END IF;
        took := took || extract(epoch FROM clock_timestamp() - started) * 1000;
    END LOOP;
    RETURN QUERY SELECT round((percentile_cont(0.5) WITHIN GROUP (ORDER BY x))::numeric, 2),
                        round((percentile_cont(0.95) WITHIN GROUP (ORDER BY x))::numeric, 2) FROM unnest(took) x;
END
$$;
SELECT 'one asset''s trend' AS query, * FROM pg_temp.timed('asset', 200)
UNION ALL SELECT 'a company''s overview', * FROM pg_temp.timed('company', 200)
UNION ALL SELECT 'the due list', * FROM pg_temp.timed('due', 20);
SQL
  ;;
esac
