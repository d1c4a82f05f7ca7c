#include "archive/archive.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <unordered_set>

#include "archive/schema.h"
#include "platform/atomic_file.h"
#include "platform/folder_search.h"
#include "platform/names.h"
#include "platform/regular_file.h"
#include "platform/sha256.h"
#include "testfile/kel_format.h"
#include "testfile/latin1.h"
#include "testfile/same_test.h"
#include "testfile/test_values.h"

namespace archive {
namespace {

using platform::PgParam;
using platform::PgResult;

// The advisory lock that lets one migrator at a time work on a database.
constexpr long long kMigrationLock = 0x4B454C37;  // "KEL7"
// The largest test file: the preamble and a 16-bit stream; one byte more tells a longer file.
constexpr std::size_t kLargestTestFile = kel::kPreambleSize + 0xFFFF + 1;

Status Failed(const PgResult& result)
{
    Status status = Status::Of(Problem::ArchiveFailed);
    status.detail = result.Error();
    return status;
}

Status Failed(std::string why)
{
    Status status = Status::Of(Problem::ArchiveFailed);
    status.detail = std::move(why);
    return status;
}

// A key the trend groups by: the Latin-1 text folded, in UTF-8.
std::string Key(const std::string& latin1)
{
    return Latin1ToUtf8(history::FoldedText(latin1));
}

bool IsDate(const kel::TestValues& v)
{
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int month = v.dateParts[0];
    const int day = v.dateParts[1];
    const int year = 2000 + v.dateParts[2];
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    if (month == 2 && day == 29 && !(year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))) return false;
    return v.timeParts[0] < 24 && v.timeParts[1] < 60 && v.timeParts[2] < 60;
}

void AppendNumber(std::string& out, const std::optional<double>& value)
{
    if (!value) {
        out += "\\N";
        return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", *value);
    out += text;
}

// One test file on its way into the archive.
struct Upload {
    std::string path;
    std::vector<unsigned char> bytes;
    platform::Digest content{};
    std::string sha;  // hex of `content`
    platform::Digest measurementKey{};
    kel::TestValues values;
    history::TestPoint point;
    std::string row;  // its line of the staging table's COPY text
};

// The staging table's columns, in COPY order; the archive's push function reads them.
constexpr const char* kStaging =
    "CREATE TEMP TABLE kel_staging (sha256 bytea, measurement_key bytea, bytes bytea, company_key text, "
    "location_key text, description_key text, test_number integer, test_type smallint, type_name text, "
    "tested_at timestamp, test_volts integer, duration_s integer, final_ohms double precision, "
    "r1min_ohms double precision, r1min_40c_ohms double precision, pi double precision, dd double precision, "
    "dar double precision, capacitance_f double precision, temperature_k double precision, over_range boolean, "
    "operator_name text, description text, location text, company text, upload_host text, upload_path text) "
    "ON COMMIT DELETE ROWS";

void AppendRow(std::string& copy, const Upload& u, const std::string& host)
{
    const kel::TestValues& v = u.values;
    const auto text = [&](const std::string& value) {
        platform::AppendCopyText(copy, value);
        copy += '\t';
    };
    const auto number = [&](const std::optional<double>& value) {
        AppendNumber(copy, value);
        copy += '\t';
    };
    platform::AppendCopyBytes(copy, u.content);
    copy += '\t';
    platform::AppendCopyBytes(copy, u.measurementKey);
    copy += '\t';
    platform::AppendCopyBytes(copy, u.bytes);
    copy += '\t';
    text(Key(v.company));
    text(Key(v.location));
    text(Key(v.description));
    text(std::to_string(v.testNumber));
    text(std::to_string(v.typeCode));
    text(TestTypeName(v.typeCode));
    text(v.IsoDateTime());
    text(std::to_string(v.testVolts));
    text(std::to_string(v.sampleCount));
    number(v.finalResistance.Si());
    number(u.point.resistance1Min);
    number(u.point.resistance1Min40C);
    number(u.point.piRatio);
    number(u.point.ddRatio);
    number(u.point.darRatio);
    number(v.CapacitanceFarads());
    number(v.TemperatureKelvin());
    text(u.point.Has(history::kOverRange) ? "t" : "f");
    text(Latin1ToUtf8(v.operatorName));
    text(Latin1ToUtf8(history::TrimmedText(v.description)));
    text(Latin1ToUtf8(history::TrimmedText(v.location)));
    text(Latin1ToUtf8(history::TrimmedText(v.company)));
    text(host);
    platform::AppendCopyText(copy, platform::NameToUtf8(u.path));
    copy += '\n';
}

// Which of `uploads` the archive holds already, by content.
Status Archived(platform::PgConnection& db, const std::vector<Upload>& uploads, std::unordered_set<std::string>& held)
{
    std::string hashes = "{";
    for (const Upload& u : uploads) (hashes += hashes.size() > 1 ? "," : "") += u.sha;
    hashes += "}";
    const PgResult result = db.Exec(
        "SELECT encode(a, 'hex') FROM kel_archived(ARRAY(SELECT decode(h, 'hex') FROM unnest($1::text[]) h)) a",
        {PgParam::Text(hashes)});
    if (!result.Ok()) return Failed(result);
    for (int r = 0; r < result.Rows(); ++r) held.insert(result.Text(r, 0));
    return {};
}

// One batch in one transaction: staged by COPY, put in by the archive's push function.
Status PushBatch(platform::PgConnection& db, std::vector<Upload>& batch, PushReport& report)
{
    std::unordered_set<std::string> held;
    if (Status checked = Archived(db, batch, held); !checked) return checked;
    std::string copy;
    std::map<std::string, const Upload*> staged;
    for (const Upload& u : batch) {
        if (held.count(u.sha)) {
            ++report.archived;
            continue;
        }
        copy += u.row;
        staged[u.sha] = &u;
    }
    if (staged.empty()) return {};
    const auto abandon = [&](const PgResult& result) {
        db.Script("ROLLBACK");
        return Failed(result);
    };
    if (PgResult begun = db.Script("BEGIN"); !begun.Ok()) return Failed(begun);
    // The session's staging table, made by its first batch; each commit empties it. Its bytes stay in
    // the row, uncompressed: they are read once, into the tests table.
    const PgResult made = db.Exec("SELECT to_regclass('pg_temp.kel_staging') IS NOT NULL");
    if (!made.Ok()) return abandon(made);
    if (!made.Bool(0, 0)) {
        const PgResult staging = db.Script(std::string(kStaging) +
                                           "; ALTER TABLE pg_temp.kel_staging ALTER COLUMN bytes SET STORAGE PLAIN"
                                           "; GRANT SELECT ON pg_temp.kel_staging TO kel_admin");
        if (!staging.Ok()) return abandon(staging);
    }
    if (PgResult copied = db.CopyIn("COPY pg_temp.kel_staging FROM STDIN", copy); !copied.Ok()) return abandon(copied);
    const PgResult pushed = db.Exec("SELECT encode(content, 'hex'), outcome FROM kel_push()");
    if (!pushed.Ok()) return abandon(pushed);
    if (PgResult committed = db.Script("COMMIT"); !committed.Ok()) return Failed(committed);
    // Counted only once the server has committed them.
    for (int r = 0; r < pushed.Rows(); ++r) {
        const std::string outcome = pushed.Text(r, 1);
        const auto upload = staged.find(pushed.Text(r, 0));
        if (upload == staged.end()) continue;
        if (outcome == "added") {
            ++report.added;
        } else if (outcome == "archived") {
            ++report.archived;
        } else {
            const std::string company = Latin1ToUtf8(history::TrimmedText(upload->second->values.company));
            report.leftOut.push_back({upload->second->path, "company \"" + company +
                                                                "\" is not one this role may add tests to"});
        }
    }
    return {};
}

// Why the bytes of a file cannot go into the archive, or empty when they can.
std::string Refusal(const std::vector<unsigned char>& bytes, Upload& upload)
{
    if (Status decoded = kel::DecodeTestValues(bytes, upload.values); !decoded)
        return "not a KEL-7300 test file (" + decoded.detail + ")";
    const std::size_t whole = kel::kPreambleSize + static_cast<std::size_t>(upload.values.streamLength);
    if (bytes.size() < whole)
        return "damaged: cut short at byte " + std::to_string(bytes.size()) + " of " + std::to_string(whole);
    if (!IsDate(upload.values)) return "damaged: its date and time are no date";
    if (!history::DecodeTestPoint(bytes, upload.point)) return "not a KEL-7300 test file";
    return {};
}

// A name for a file or folder from the archive's texts: no separators, no
// controls, no leading dots, never empty.
std::string SafeName(const std::string& text)
{
    std::string name;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        name += byte < 0x20 || byte == 0x7F || std::string("/\\:*?\"<>|").find(c) != std::string::npos ? '_' : c;
    }
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(0, 1);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name.empty() ? "_" : name;
}

}  // namespace

int KnownVersion()
{
    return static_cast<int>(Migrations().size());
}

std::string DefaultConnection()
{
    const char* connection = std::getenv("KEL_ARCHIVE");
    return connection ? connection : "";
}

std::string Found::Text() const
{
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
        return text.empty() ? std::string("none") : text;
    };
    return server + ", role " + role + ", schema version " + std::to_string(schema) + "; adds tests to: " +
           list(adds) + "; reads: " + list(reads);
}

Status Describe(platform::PgConnection& db, Found& found)
{
    const PgResult who = db.Exec("SELECT 'PostgreSQL ' || current_setting('server_version'), session_user");
    if (!who.Ok()) return Failed(who);
    found.server = who.Text(0, 0);
    found.role = who.Text(0, 1);
    if (Status schema = CheckSchema(db, found.schema); !schema && schema.problem != Problem::ArchiveNewer) return schema;
    if (found.schema < 2) return Failed("the archive has no schema of this program yet: run archive migrate");
    const PgResult companies = db.Exec("SELECT name, may_add, may_read FROM kel_my_companies()");
    if (!companies.Ok()) return Failed(companies);
    for (int r = 0; r < companies.Rows(); ++r) {
        if (companies.Bool(r, 1)) found.adds.push_back(companies.Text(r, 0));
        if (companies.Bool(r, 2)) found.reads.push_back(companies.Text(r, 0));
    }
    return {};
}

Status CheckSchema(platform::PgConnection& db, int& version)
{
    version = 0;
    const PgResult exists = db.Exec("SELECT to_regclass('kel_schema_version') IS NOT NULL");
    if (!exists.Ok()) return Failed(exists);
    if (!exists.Bool(0, 0)) return {};
    const PgResult result = db.Exec("SELECT coalesce(max(version), 0) FROM kel_schema_version");
    if (!result.Ok()) return Failed(result);
    version = static_cast<int>(result.Integer(0, 0));
    if (version > KnownVersion()) {
        Status newer = Status::Of(Problem::ArchiveNewer);
        newer.number = version;
        newer.other = std::to_string(KnownVersion());
        return newer;
    }
    return {};
}

Status Migrate(platform::PgConnection& db, int& from, int& to)
{
    from = to = 0;
    const PgParam lock = PgParam::Text(std::to_string(kMigrationLock));
    if (PgResult locked = db.Exec("SELECT pg_advisory_lock($1::bigint)", {lock}); !locked.Ok()) return Failed(locked);
    Status outcome;
    const PgResult made = db.Script(
        "CREATE TABLE IF NOT EXISTS kel_schema_version (version integer PRIMARY KEY, "
        "applied_at timestamptz NOT NULL DEFAULT now()); GRANT SELECT ON kel_schema_version TO PUBLIC");
    if (!made.Ok()) outcome = Failed(made);
    if (outcome) outcome = CheckSchema(db, from);
    to = from;
    for (int version = from + 1; outcome && version <= KnownVersion(); ++version) {
        PgResult step = db.Script("BEGIN");
        if (step.Ok()) step = db.Script(Migrations()[static_cast<std::size_t>(version - 1)]);
        if (step.Ok())
            step = db.Exec("INSERT INTO kel_schema_version (version) VALUES ($1::integer)",
                           {PgParam::Text(std::to_string(version))});
        if (step.Ok()) step = db.Script("COMMIT");
        if (!step.Ok()) {
            db.Script("ROLLBACK");
            outcome = Failed("migration " + std::to_string(version) + ": " + step.Error());
            break;
        }
        to = version;
    }
    db.Exec("SELECT pg_advisory_unlock($1::bigint)", {lock});
    return outcome;
}

Status Grant(platform::PgConnection& db, const std::string& role, const std::string& company, const std::string& kind)
{
    const std::string latin1 = Utf8ToLatin1(company);
    const PgResult result = db.Exec("SELECT kel_grant($1, $2, $3, $4)",
                                    {PgParam::Text(role), PgParam::Text(Latin1ToUtf8(history::TrimmedText(latin1))),
                                     PgParam::Text(Key(latin1)), PgParam::Text(kind)});
    return result.Ok() ? Status{} : Failed(result);
}

Status Push(platform::PgConnection& db, const std::vector<std::string>& paths, bool followFolderLinks,
            const std::string& host, PushReport& report, std::size_t batchSize, const std::atomic<bool>* cancel)
{
    int version = 0;
    if (Status schema = CheckSchema(db, version); !schema) return schema;
    if (version == 0) return Failed("the archive has no schema yet: run archive migrate");

    // A reader thread reads, decodes and hashes the files into batches while this
    // thread sends the batch before: at most two batches wait, so memory stays bounded.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<Upload>> ready;
    bool readerDone = false;
    std::atomic<bool> stop{false};
    std::vector<LeftOut> unreadable;  // the reader's, kept in the order met
    std::size_t repeated = 0;         // the same content twice in this push: archived once
    std::thread reader([&] {
        std::vector<Upload> batch;
        std::unordered_set<std::string> seen;
        const auto hand = [&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return ready.size() < 2 || stop; });
            ready.push_back(std::move(batch));
            batch.clear();
            changed.notify_all();
        };
        const auto take = [&](std::string path, bool read, const std::vector<unsigned char>& bytes) {
            if (stop || (cancel && *cancel)) return false;
            if (!read) {
                unreadable.push_back({std::move(path), "can't be read"});
                return true;
            }
            Upload upload;
            upload.path = std::move(path);
            if (const std::string refused = Refusal(bytes, upload); !refused.empty()) {
                unreadable.push_back({std::move(upload.path), refused});
                return true;
            }
            upload.bytes = bytes;
            upload.content = platform::Sha256(bytes);
            upload.sha = platform::HexDigest(upload.content);
            if (!seen.insert(upload.sha).second) {
                ++repeated;
                return true;
            }
            std::vector<unsigned char> untexted = bytes;
            std::fill(untexted.begin() + kel::kTextsBegin, untexted.begin() + kel::kTextsEnd, 0);
            upload.measurementKey = platform::Sha256(untexted);
            AppendRow(upload.row, upload, host);
            batch.push_back(std::move(upload));
            if (batch.size() >= batchSize) hand();
            return true;
        };
        history::ReadTestFiles(paths, kLargestTestFile, followFolderLinks, take, [&](const std::string& folder) {
            unreadable.push_back({folder, "folder can't be read"});
        });
        if (!batch.empty()) hand();
        std::lock_guard lock(mutex);
        readerDone = true;
        changed.notify_all();
    });

    Status outcome;
    std::vector<LeftOut> refused;  // companies the role may not add to
    PushReport sent;
    while (true) {
        std::vector<Upload> batch;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return !ready.empty() || readerDone; });
            if (ready.empty()) break;
            batch = std::move(ready.front());
            ready.pop_front();
            changed.notify_all();
        }
        if (outcome) outcome = PushBatch(db, batch, sent);
        if (!outcome) {
            // A failed batch ends the push; the reader is told to stop and drained.
            std::lock_guard lock(mutex);
            stop = true;
            ready.clear();
            changed.notify_all();
        }
    }
    reader.join();
    report.added += sent.added;
    report.archived += sent.archived + repeated;
    report.leftOut.insert(report.leftOut.end(), unreadable.begin(), unreadable.end());
    report.leftOut.insert(report.leftOut.end(), sent.leftOut.begin(), sent.leftOut.end());
    return outcome;
}

Status ReadTrend(platform::PgConnection& db, const std::string& company, std::vector<history::Asset>& assets)
{
    assets.clear();
    const std::string key = company.empty() ? std::string() : Key(Utf8ToLatin1(company));
    const PgResult result = db.Exec(
        "SELECT c.key, c.min_ir_ohms, c.min_pi, c.drop_fraction, k.upload_path, k.test_number, "
        "to_char(k.tested_at, 'YYYY-MM-DD\"T\"HH24:MI:SS'), k.test_type, k.test_volts, k.r1min_ohms, "
        "k.r1min_40c_ohms, k.pi, k.dd, k.dar, 'over-range' = ANY(k.flags), k.company, k.location, k.description, k.id "
        "FROM kel_tests k JOIN companies c ON c.id = k.company_id WHERE $1 = '' OR c.key = $1 ORDER BY c.key",
        {PgParam::Text(key)});
    if (!result.Ok()) return Failed(result);
    // Each company's tests with its own limits, companies in the order the trend sorts them.
    for (int r = 0; r < result.Rows();) {
        const std::string companyKey = result.Text(r, 0);
        history::Limits limits;
        limits.minIrOhms = result.Number(r, 1).value_or(limits.minIrOhms);
        limits.minPi = result.Number(r, 2).value_or(limits.minPi);
        limits.dropFraction = result.Number(r, 3).value_or(limits.dropFraction);
        std::vector<history::TestPoint> points;
        for (; r < result.Rows() && result.Text(r, 0) == companyKey; ++r) {
            history::TestPoint point;
            point.path = result.Text(r, 4);
            point.testNumber = static_cast<int>(result.Integer(r, 5));
            point.dateTime = result.Text(r, 6);
            point.testTypeName = TestTypeName(static_cast<int>(result.Integer(r, 7)));
            point.testVoltage = static_cast<int>(result.Integer(r, 8));
            point.resistance1Min = result.Number(r, 9);
            point.resistance1Min40C = result.Number(r, 10);
            point.piRatio = result.Number(r, 11);
            point.ddRatio = result.Number(r, 12);
            point.darRatio = result.Number(r, 13);
            if (result.Bool(r, 14)) point.flags.emplace_back(history::kOverRange);
            point.company = Utf8ToLatin1(result.Text(r, 15));
            point.location = Utf8ToLatin1(result.Text(r, 16));
            point.description = Utf8ToLatin1(result.Text(r, 17));
            point.archiveId = result.Integer(r, 18);
            points.push_back(std::move(point));
        }
        std::vector<history::Asset> built = history::BuildAssets(std::move(points), limits);
        std::move(built.begin(), built.end(), std::back_inserter(assets));
    }
    return {};
}

Status ReadStoredTest(platform::PgConnection& db, long long id, std::vector<unsigned char>& bytes)
{
    const PgResult result = db.Exec("SELECT bytes FROM tests WHERE id = $1::bigint", {PgParam::Text(std::to_string(id))});
    if (!result.Ok()) return Failed(result);
    if (result.Rows() != 1) return Failed("no stored test " + std::to_string(id) + " that this role may read");
    bytes = result.Bytes(0, 0);
    return {};
}

Status Verify(platform::PgConnection& db, const std::vector<std::string>& paths, VerifyReport& report)
{
    long long after = 0;
    while (true) {
        const PgResult page = db.Exec("SELECT id, bytes, encode(sha256, 'hex') FROM tests WHERE id > $1::bigint "
                                      "ORDER BY id LIMIT 1000",
                                      {PgParam::Text(std::to_string(after))});
        if (!page.Ok()) return Failed(page);
        if (page.Rows() == 0) break;
        for (int r = 0; r < page.Rows(); ++r) {
            after = page.Integer(r, 0);
            ++report.checked;
            if (platform::HexDigest(platform::Sha256(page.Bytes(r, 1))) != page.Text(r, 2)) report.damaged.push_back(page.Text(r, 0));
        }
    }
    std::size_t archived = 0;
    return paths.empty() ? Status{} : FindUnarchived(db, paths, report.notArchived, archived);
}

Status FindUnarchived(platform::PgConnection& db, const std::vector<std::string>& paths,
                      std::vector<LeftOut>& notArchived, std::size_t& archived)
{
    std::vector<Upload> local;
    Status outcome;
    const auto check = [&]() {
        std::unordered_set<std::string> held;
        if (Status checked = Archived(db, local, held); !checked) return checked;
        for (const Upload& u : local) {
            if (held.count(u.sha)) ++archived;
            else notArchived.push_back({u.path, "not archived"});
        }
        local.clear();
        return Status{};
    };
    history::ReadTestFiles(
        paths, kLargestTestFile, false,
        [&](std::string path, bool read, const std::vector<unsigned char>& bytes) {
            Upload upload;
            if (!read || !kel::DecodeTestValues(bytes, upload.values)) return true;  // no test: nothing to archive
            upload.path = std::move(path);
            upload.sha = platform::HexDigest(platform::Sha256(bytes));
            local.push_back(std::move(upload));
            if (local.size() >= 1000) outcome = check();
            return outcome.Ok();
        },
        [](const std::string&) {});
    if (outcome && !local.empty()) outcome = check();
    return outcome;
}

Status ExportFiles(platform::PgConnection& db, const std::string& folder, const std::string& company,
                   std::vector<std::string>& written)
{
    const std::string key = company.empty() ? std::string() : Key(Utf8ToLatin1(company));
    long long after = 0;
    while (true) {
        const PgResult page = db.Exec(
            "SELECT t.id, c.name, t.upload_path, t.bytes, encode(t.sha256, 'hex') FROM tests t "
            "JOIN companies c ON c.id = t.company_id WHERE t.id > $1::bigint AND ($2 = '' OR c.key = $2) "
            "ORDER BY t.id LIMIT 500",
            {PgParam::Text(std::to_string(after)), PgParam::Text(key)});
        if (!page.Ok()) return Failed(page);
        if (page.Rows() == 0) return {};
        for (int r = 0; r < page.Rows(); ++r) {
            after = page.Integer(r, 0);
            const std::vector<unsigned char> bytes = page.Bytes(r, 3);
            std::string name = SafeName(platform::NameOf(platform::PathOf(page.Text(r, 2)).filename()));
            if (!platform::EndsWithCaseInsensitive(name, ".kel")) name += ".kel";
            const std::filesystem::path into = platform::PathOf(folder) / platform::PathOf(SafeName(page.Text(r, 1)));
            std::error_code error;
            std::filesystem::create_directories(into, error);
            if (error) return Status::File(Problem::CantWriteFile, platform::NameOf(into));
            // A name taken by other bytes gets the content's first hex digits; the same bytes are there already.
            std::filesystem::path target = into / platform::PathOf(name);
            for (int attempt = 0; attempt < 2; ++attempt) {
                platform::AtomicFile file;
                if (!file.Open(target) || !file.Write(bytes.data(), bytes.size()))
                    return Status::File(Problem::CantWriteFile, platform::NameOf(target));
                if (file.Commit(platform::Existing::Keep)) {
                    written.push_back(platform::NameOf(target));
                    break;
                }
                std::vector<unsigned char> held;
                platform::FileIdentity identity;
                if (platform::ReadFileStart(platform::NameOf(target), kLargestTestFile, held, identity) && held == bytes) break;
                if (attempt == 1) return Status::File(Problem::CantWriteFile, platform::NameOf(target));
                target = into / platform::PathOf(platform::NameOf(platform::PathOf(name).stem()) + " (" +
                                                  page.Text(r, 4).substr(0, 12) + ").kel");
            }
        }
    }
}

Status Due(platform::PgConnection& db, int withinDays, std::vector<DueAsset>& due)
{
    const PgResult result = db.Exec(
        "SELECT company_name, location, description, to_char(last_tested_at, 'YYYY-MM-DD\"T\"HH24:MI:SS'), "
        "to_char(due_at, 'YYYY-MM-DD'), array_to_string(last_flags, ' '), due_at < localtimestamp "
        "FROM kel_due_assets WHERE due_at < localtimestamp + $1::integer * interval '1 day' "
        "ORDER BY due_at, company_name, location, description",
        {PgParam::Text(std::to_string(withinDays))});
    if (!result.Ok()) return Failed(result);
    for (int r = 0; r < result.Rows(); ++r) {
        DueAsset asset{result.Text(r, 0), result.Text(r, 1), result.Text(r, 2), result.Text(r, 3),
                       result.Text(r, 4), {}, result.Bool(r, 6)};
        const std::string flags = result.Text(r, 5);
        for (std::size_t at = 0; at < flags.size();) {
            const std::size_t end = std::min(flags.find(' ', at), flags.size());
            asset.flags.push_back(flags.substr(at, end - at));
            at = end + 1;
        }
        due.push_back(std::move(asset));
    }
    return {};
}

}  // namespace archive
