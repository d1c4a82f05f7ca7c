#include "archive/schema.h"

namespace archive {
namespace {

// Version 1: companies, assets, tests and voids; the four group roles; row-level
// security on every table that holds a company's data; the flags computed on
// insert; the documented views; the functions a technician pushes through.
constexpr const char* kVersion1 = R"SQL(
DO $roles$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kel_admin') THEN CREATE ROLE kel_admin NOLOGIN; END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kel_manager') THEN CREATE ROLE kel_manager NOLOGIN; END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kel_viewer') THEN CREATE ROLE kel_viewer NOLOGIN; END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kel_technician') THEN CREATE ROLE kel_technician NOLOGIN; END IF;
END
$roles$;

CREATE TABLE companies (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    name text NOT NULL,
    key text NOT NULL UNIQUE,
    min_ir_ohms double precision NOT NULL DEFAULT 100e6,
    min_pi double precision NOT NULL DEFAULT 2.0,
    drop_fraction double precision NOT NULL DEFAULT 0.5,
    created_at timestamptz NOT NULL DEFAULT now()
);

CREATE TABLE company_members (
    company_id bigint NOT NULL REFERENCES companies,
    member text NOT NULL,
    kind text NOT NULL CHECK (kind IN ('technician', 'viewer')),
    PRIMARY KEY (company_id, member, kind)
);

CREATE TABLE assets (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    company_id bigint NOT NULL REFERENCES companies,
    location text NOT NULL,
    description text NOT NULL,
    location_key text NOT NULL,
    description_key text NOT NULL,
    interval_days integer NOT NULL DEFAULT 365 CHECK (interval_days > 0),
    UNIQUE (company_id, location_key, description_key)
);

CREATE TABLE tests (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    sha256 bytea NOT NULL UNIQUE,
    measurement_key bytea NOT NULL,
    bytes bytea NOT NULL,
    company_id bigint NOT NULL REFERENCES companies,
    asset_id bigint NOT NULL REFERENCES assets,
    test_number integer NOT NULL,
    test_type smallint NOT NULL,
    type_name text NOT NULL,
    tested_at timestamp NOT NULL,
    test_volts integer NOT NULL,
    duration_s integer NOT NULL,
    final_ohms double precision,
    r1min_ohms double precision,
    r1min_40c_ohms double precision,
    pi double precision,
    dd double precision,
    dar double precision,
    capacitance_f double precision,
    temperature_k double precision,
    over_range boolean NOT NULL,
    operator_name text NOT NULL,
    description text NOT NULL,
    location text NOT NULL,
    company text NOT NULL,
    flags text[] NOT NULL DEFAULT '{}',
    uploaded_by name NOT NULL DEFAULT session_user,
    uploaded_at timestamptz NOT NULL DEFAULT now(),
    upload_host text NOT NULL DEFAULT '',
    upload_path text NOT NULL DEFAULT '',
    CONSTRAINT whole_header CHECK (length(bytes) >= 165),
    CONSTRAINT content_hash CHECK (sha256 = sha256(bytes)),
    -- The bytes with the four header texts (file offsets 85-164) zeroed: one measurement, whatever its texts.
    CONSTRAINT measurement_hash
        CHECK (measurement_key = sha256(overlay(bytes PLACING ('\x' || repeat('00', 80))::bytea FROM 86 FOR 80)))
);
CREATE INDEX tests_asset_time ON tests (asset_id, tested_at);
CREATE INDEX tests_company ON tests (company_id);
CREATE INDEX tests_measurement ON tests (measurement_key);

CREATE TABLE voids (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    test_id bigint NOT NULL REFERENCES tests,
    company_id bigint NOT NULL REFERENCES companies,
    reason text NOT NULL CHECK (reason <> ''),
    voided_by name NOT NULL DEFAULT session_user,
    voided_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX voids_test ON voids (test_id);

-- Who may read and who may add, by the role the query runs as.
CREATE FUNCTION kel_can_read(company bigint, who name) RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public AS $$
    SELECT pg_has_role(who, 'kel_manager', 'MEMBER') OR pg_has_role(who, 'kel_admin', 'MEMBER') OR EXISTS (
        SELECT FROM company_members m JOIN pg_roles r ON r.rolname = m.member
        WHERE m.company_id = company AND m.kind = 'viewer' AND pg_has_role(who, r.oid, 'MEMBER'))
$$;
CREATE FUNCTION kel_can_add(company bigint, who name) RETURNS boolean
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public AS $$
    SELECT pg_has_role(who, 'kel_admin', 'MEMBER') OR EXISTS (
        SELECT FROM company_members m JOIN pg_roles r ON r.rolname = m.member
        WHERE m.company_id = company AND m.kind = 'technician' AND pg_has_role(who, r.oid, 'MEMBER'))
$$;

-- Tests and voids are never changed or removed.
CREATE FUNCTION kel_never_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'the archive never changes or removes %', TG_TABLE_NAME USING ERRCODE = 'insufficient_privilege';
END
$$;
CREATE TRIGGER tests_never_changed BEFORE UPDATE OR DELETE ON tests FOR EACH ROW EXECUTE FUNCTION kel_never_changed();
CREATE TRIGGER tests_never_truncated BEFORE TRUNCATE ON tests FOR EACH STATEMENT EXECUTE FUNCTION kel_never_changed();
CREATE TRIGGER voids_never_changed BEFORE UPDATE OR DELETE ON voids FOR EACH ROW EXECUTE FUNCTION kel_never_changed();

-- The server says who uploaded and when, and flags the test against its company's limits and its asset's
-- previous corrected reading.
CREATE FUNCTION kel_test_arrives() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
DECLARE
    limits companies%ROWTYPE;
    previous double precision;
    reading double precision;
BEGIN
    NEW.uploaded_by := session_user;
    NEW.uploaded_at := now();
    SELECT * INTO limits FROM companies WHERE id = NEW.company_id;
    NEW.flags := '{}';
    IF NEW.over_range THEN NEW.flags := NEW.flags || 'over-range'::text; END IF;
    reading := coalesce(NEW.r1min_40c_ohms, NEW.r1min_ohms);
    IF reading < limits.min_ir_ohms THEN NEW.flags := NEW.flags || 'ir-below-minimum'::text; END IF;
    IF NEW.pi < limits.min_pi THEN NEW.flags := NEW.flags || 'pi-below-minimum'::text; END IF;
    IF NEW.r1min_40c_ohms IS NOT NULL THEN
        SELECT t.r1min_40c_ohms INTO previous FROM tests t
        WHERE t.asset_id = NEW.asset_id AND t.tested_at < NEW.tested_at AND t.r1min_40c_ohms IS NOT NULL
        ORDER BY t.tested_at DESC LIMIT 1;
        IF NEW.r1min_40c_ohms < previous * limits.drop_fraction THEN
            NEW.flags := NEW.flags || 'dropped'::text;
        END IF;
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER tests_arrive BEFORE INSERT ON tests FOR EACH ROW EXECUTE FUNCTION kel_test_arrives();

-- Listeners hear the ids of new tests, never their data: row-level security does not cover a payload.
CREATE FUNCTION kel_tests_arrived() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    first bigint;
    last bigint;
BEGIN
    SELECT min(id), max(id) INTO first, last FROM arrived;
    IF first IS NOT NULL THEN PERFORM pg_notify('kel_tests', first || '-' || last); END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER tests_arrived AFTER INSERT ON tests REFERENCING NEW TABLE AS arrived
    FOR EACH STATEMENT EXECUTE FUNCTION kel_tests_arrived();

-- Which of these contents the archive holds: what a push need not send again. It tells only of
-- contents the caller holds already.
CREATE FUNCTION kel_archived(contents bytea[]) RETURNS SETOF bytea
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public AS $$
    SELECT t.sha256 FROM tests t WHERE t.sha256 = ANY(contents)
$$;

-- A push: the caller's staging table (pg_temp.kel_staging) into assets and tests, each test at most
-- once by its content. Each staged content comes back with what became of it: 'added', 'archived'
-- (there already) or 'company' (a company the caller may not add to).
CREATE FUNCTION kel_push() RETURNS TABLE (content bytea, outcome text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
DECLARE
    who name := session_user;
    allowed_ids bigint[];
    allowed_keys text[];
BEGIN
    -- An administrator adds to any company, making those that are new.
    IF pg_has_role(who, 'kel_admin', 'MEMBER') THEN
        INSERT INTO companies (name, key)
            SELECT DISTINCT ON (s.company_key) s.company, s.company_key FROM pg_temp.kel_staging s
            ORDER BY s.company_key, s.tested_at DESC
            ON CONFLICT (key) DO NOTHING;
    END IF;
    -- The companies of the batch that the caller may add to, each asked once.
    SELECT coalesce(array_agg(w.id), '{}'), coalesce(array_agg(w.key), '{}') INTO allowed_ids, allowed_keys
    FROM (SELECT c.id, c.key FROM companies c
          WHERE c.key IN (SELECT DISTINCT company_key FROM pg_temp.kel_staging) OFFSET 0) w
    WHERE kel_can_add(w.id, who);
    INSERT INTO assets (company_id, location, description, location_key, description_key)
        SELECT DISTINCT ON (a.company_id, s.location_key, s.description_key)
               a.company_id, s.location, s.description, s.location_key, s.description_key
        FROM pg_temp.kel_staging s JOIN unnest(allowed_ids, allowed_keys) AS a (company_id, key) ON a.key = s.company_key
        ORDER BY a.company_id, s.location_key, s.description_key, s.tested_at DESC
        ON CONFLICT DO NOTHING;
    RETURN QUERY
        WITH added AS (
            INSERT INTO tests (sha256, measurement_key, bytes, company_id, asset_id, test_number, test_type, type_name,
                               tested_at, test_volts, duration_s, final_ohms, r1min_ohms, r1min_40c_ohms, pi, dd, dar,
                               capacitance_f, temperature_k, over_range, operator_name, description, location,
                               company, upload_host, upload_path)
            SELECT s.sha256, s.measurement_key, s.bytes, a.company_id, t.id, s.test_number, s.test_type, s.type_name,
                   s.tested_at, s.test_volts, s.duration_s, s.final_ohms, s.r1min_ohms, s.r1min_40c_ohms, s.pi, s.dd,
                   s.dar, s.capacitance_f, s.temperature_k, s.over_range, s.operator_name, s.description,
                   s.location, s.company, s.upload_host, s.upload_path
            FROM pg_temp.kel_staging s JOIN unnest(allowed_ids, allowed_keys) AS a (company_id, key) ON a.key = s.company_key
                 JOIN assets t ON t.company_id = a.company_id AND t.location_key = s.location_key
                              AND t.description_key = s.description_key
            ORDER BY s.tested_at
            ON CONFLICT (sha256) DO NOTHING
            RETURNING tests.sha256)
        SELECT s.sha256,
               CASE WHEN d.sha256 IS NOT NULL THEN 'added'
                    WHEN s.company_key = ANY(allowed_keys) THEN 'archived' ELSE 'company' END
        FROM pg_temp.kel_staging s LEFT JOIN added d ON d.sha256 = s.sha256;
END
$$;

-- A manager voids a test: an event, kept; the views leave the test out from then on.
CREATE FUNCTION kel_void(test bigint, why text) RETURNS bigint
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
DECLARE
    voided bigint;
BEGIN
    IF NOT (pg_has_role(session_user, 'kel_manager', 'MEMBER') OR pg_has_role(session_user, 'kel_admin', 'MEMBER')) THEN
        RAISE EXCEPTION 'only a manager voids tests' USING ERRCODE = 'insufficient_privilege';
    END IF;
    INSERT INTO voids (test_id, company_id, reason, voided_by)
        SELECT t.id, t.company_id, why, session_user FROM tests t WHERE t.id = test
        RETURNING id INTO voided;
    RETURN voided;
END
$$;

-- An administrator lets a login role add to (technician) or read (viewer) one company, which is made
-- when it is new. The role's name reaches GRANT through format's %I, never spliced in as text.
CREATE FUNCTION kel_grant(member text, company_name text, company_key text, kind text) RETURNS bigint
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public AS $$
DECLARE
    company bigint;
BEGIN
    IF NOT pg_has_role(session_user, 'kel_admin', 'MEMBER') THEN
        RAISE EXCEPTION 'only an administrator grants' USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF kind NOT IN ('technician', 'viewer') THEN
        RAISE EXCEPTION 'a role is granted as technician or viewer, not %', kind;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = member) THEN
        RAISE EXCEPTION 'there is no role %', member USING ERRCODE = 'undefined_object';
    END IF;
    INSERT INTO companies (name, key) VALUES (company_name, company_key) ON CONFLICT (key) DO NOTHING;
    SELECT id INTO company FROM companies WHERE key = company_key;
    INSERT INTO company_members (company_id, member, kind) VALUES (company, member, kind) ON CONFLICT DO NOTHING;
    EXECUTE format('GRANT %I TO %I', 'kel_' || kind, member);
    RETURN company;
END
$$;
REVOKE ALL ON FUNCTION kel_grant(text, text, text, text) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION kel_grant(text, text, text, text) TO kel_admin;

-- The documented views, in SI units: ohms, amperes, farads, kelvin, seconds, volts.
-- kel_tests: each test once (the newest texts of its measurement), voided tests left out.
CREATE VIEW kel_tests WITH (security_invoker = true) AS
    SELECT t.id, c.name AS company_name, t.company_id, t.asset_id, t.company, t.location, t.description,
           t.operator_name, t.test_number, t.test_type, t.type_name, t.tested_at, t.test_volts, t.duration_s,
           t.final_ohms, t.r1min_ohms, t.r1min_40c_ohms, t.pi, t.dd, t.dar, t.capacitance_f, t.temperature_k,
           t.flags, encode(t.sha256, 'hex') AS sha256, encode(t.measurement_key, 'hex') AS measurement_key,
           t.uploaded_by, t.uploaded_at, t.upload_host, t.upload_path
    FROM tests t JOIN companies c ON c.id = t.company_id
    -- Written as "no newer row, no void" so that a filter on the asset or company reaches the indexes.
    WHERE NOT EXISTS (SELECT FROM tests n WHERE n.measurement_key = t.measurement_key
                      AND (n.uploaded_at, n.id) > (t.uploaded_at, t.id))
      AND NOT EXISTS (SELECT FROM voids v JOIN tests w ON w.id = v.test_id WHERE w.measurement_key = t.measurement_key);
-- kel_asset_trend: each asset's tests in time order.
CREATE VIEW kel_asset_trend WITH (security_invoker = true) AS
    SELECT a.id AS asset_id, k.company_name, a.location AS asset_location, a.description AS asset_description,
           k.tested_at, k.test_number, k.type_name, k.test_volts, k.r1min_ohms, k.r1min_40c_ohms, k.pi, k.dd, k.dar,
           k.flags, k.id AS test_id
    FROM kel_tests k JOIN assets a ON a.id = k.asset_id;
-- kel_due_assets: when each asset's next test is due, from its last test and its interval.
CREATE VIEW kel_due_assets WITH (security_invoker = true) AS
    SELECT a.id AS asset_id, c.name AS company_name, a.location, a.description, a.interval_days,
           last.tested_at AS last_tested_at, last.tested_at + a.interval_days * interval '1 day' AS due_at,
           last.flags AS last_flags
    FROM assets a JOIN companies c ON c.id = a.company_id
    JOIN LATERAL (SELECT k.tested_at, k.flags FROM kel_tests k WHERE k.asset_id = a.id
                  ORDER BY k.tested_at DESC LIMIT 1) last ON true;

-- Row-level security, forced (the owner too), on every table that holds a company's data.
ALTER TABLE companies ENABLE ROW LEVEL SECURITY;
ALTER TABLE companies FORCE ROW LEVEL SECURITY;
ALTER TABLE company_members ENABLE ROW LEVEL SECURITY;
ALTER TABLE company_members FORCE ROW LEVEL SECURITY;
ALTER TABLE assets ENABLE ROW LEVEL SECURITY;
ALTER TABLE assets FORCE ROW LEVEL SECURITY;
ALTER TABLE tests ENABLE ROW LEVEL SECURITY;
ALTER TABLE tests FORCE ROW LEVEL SECURITY;
ALTER TABLE voids ENABLE ROW LEVEL SECURITY;
ALTER TABLE voids FORCE ROW LEVEL SECURITY;
CREATE POLICY admin_all ON companies TO kel_admin USING (true) WITH CHECK (true);
CREATE POLICY readers ON companies FOR SELECT USING (kel_can_read(id, current_user));
CREATE POLICY admin_all ON company_members TO kel_admin USING (true) WITH CHECK (true);
CREATE POLICY readers ON company_members FOR SELECT USING (kel_can_read(company_id, current_user));
CREATE POLICY admin_all ON assets TO kel_admin USING (true) WITH CHECK (true);
CREATE POLICY readers ON assets FOR SELECT USING (kel_can_read(company_id, current_user));
CREATE POLICY admin_all ON tests TO kel_admin USING (true) WITH CHECK (true);
CREATE POLICY readers ON tests FOR SELECT USING (kel_can_read(company_id, current_user));
CREATE POLICY admin_all ON voids TO kel_admin USING (true) WITH CHECK (true);
CREATE POLICY readers ON voids FOR SELECT USING (kel_can_read(company_id, current_user));

-- The objects belong to kel_admin, so its functions run under the forced policies too.
ALTER TABLE companies OWNER TO kel_admin;
ALTER TABLE company_members OWNER TO kel_admin;
ALTER TABLE assets OWNER TO kel_admin;
ALTER TABLE tests OWNER TO kel_admin;
ALTER TABLE voids OWNER TO kel_admin;
ALTER VIEW kel_tests OWNER TO kel_admin;
ALTER VIEW kel_asset_trend OWNER TO kel_admin;
ALTER VIEW kel_due_assets OWNER TO kel_admin;
ALTER FUNCTION kel_can_read(bigint, name) OWNER TO kel_admin;
ALTER FUNCTION kel_can_add(bigint, name) OWNER TO kel_admin;
ALTER FUNCTION kel_test_arrives() OWNER TO kel_admin;
ALTER FUNCTION kel_archived(bytea[]) OWNER TO kel_admin;
ALTER FUNCTION kel_push() OWNER TO kel_admin;
ALTER FUNCTION kel_void(bigint, text) OWNER TO kel_admin;

REVOKE ALL ON companies, company_members, assets, tests, voids, kel_tests, kel_asset_trend, kel_due_assets FROM PUBLIC;
REVOKE ALL ON FUNCTION kel_archived(bytea[]), kel_push(), kel_void(bigint, text) FROM PUBLIC;
GRANT SELECT ON companies, company_members, assets, tests, voids, kel_tests, kel_asset_trend, kel_due_assets
    TO kel_viewer, kel_manager;
GRANT EXECUTE ON FUNCTION kel_archived(bytea[]), kel_push() TO kel_technician;
GRANT EXECUTE ON FUNCTION kel_void(bigint, text) TO kel_manager;
)SQL";

// Version 2: what the connected role may do, for the program's Setup: the
// companies it may add tests to or read, whatever it may see of the tables.
constexpr const char* kVersion2 = R"SQL(
CREATE FUNCTION kel_my_companies() RETURNS TABLE (name text, may_add boolean, may_read boolean)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = pg_catalog, public AS $$
    SELECT c.name, kel_can_add(c.id, session_user), kel_can_read(c.id, session_user) FROM companies c
    WHERE kel_can_add(c.id, session_user) OR kel_can_read(c.id, session_user)
    ORDER BY c.key
$$;
ALTER FUNCTION kel_my_companies() OWNER TO kel_admin;
)SQL";

}  // namespace

const std::vector<const char*>& Migrations()
{
    static const std::vector<const char*> migrations = {kVersion1, kVersion2};
    return migrations;
}

}  // namespace archive
