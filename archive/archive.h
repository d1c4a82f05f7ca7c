// The team archive on PostgreSQL: every test of every technician in one place.
// The test files stay the source of truth; the archive keeps their exact bytes
// and the values decoded from them, each distinct content once. Who may see and
// add what is the database's to enforce (row-level security); this layer only
// ever passes values as parameters.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "history/asset_history.h"
#include "platform/pg.h"
#include "status/status.h"

namespace archive {

// The schema version this program writes.
int KnownVersion();

// The archive's schema version (0: none yet). Ok, ArchiveNewer when this
// program is older than the schema (it may read, not write), or ArchiveFailed.
Status CheckSchema(platform::PgConnection& db, int& version);

// Creates or upgrades the schema: each missing migration in a transaction of
// its own, one migrator at a time (an advisory lock). `from` and `to` say what it did.
Status Migrate(platform::PgConnection& db, int& from, int& to);

// Lets login role `role` add tests to (technician) or read (viewer) company
// `company` (UTF-8), made when it is new. An administrator's command.
Status Grant(platform::PgConnection& db, const std::string& role, const std::string& company, const std::string& kind);

// A file a push or a verify left out, and why.
struct LeftOut {
    std::string path;
    std::string why;
};

struct PushReport {
    std::size_t added = 0;     // new in the archive
    std::size_t archived = 0;  // there already
    std::vector<LeftOut> leftOut;
};

// Uploads every test under `paths` (files, and folders read as the trend reads
// them) that the archive does not hold, each content once, in one transaction
// per batch of `batchSize`. A damaged file, a file that is no test, or a test
// of a company the role may not add to is left out and named; it never stops
// the push. A failure of the server ends the push: what earlier batches
// committed stays, the failed batch is not counted.
// With `cancel` set the reading stops and the push ends after the batch under way.
Status Push(platform::PgConnection& db, const std::vector<std::string>& paths, bool followFolderLinks,
            const std::string& host, PushReport& report, std::size_t batchSize = 2000,
            const std::atomic<bool>* cancel = nullptr);

// The archive's tests that the role may read, as the trend shows test files:
// grouped into assets, ordered and flagged, each company with its own limits.
// `company` (UTF-8, any case) keeps one company; empty: all.
Status ReadTrend(platform::PgConnection& db, const std::string& company, std::vector<history::Asset>& assets);

// The stored bytes of the archive's test `id`, when the role may read it.
Status ReadStoredTest(platform::PgConnection& db, long long id, std::vector<unsigned char>& bytes);

struct VerifyReport {
    std::size_t checked = 0;
    std::vector<std::string> damaged;      // ids of stored files whose bytes no longer match their hash
    std::vector<LeftOut> notArchived;      // local test files the archive does not hold
};
// Re-hashes every stored file the role may read; with `paths`, also names each
// local test file that is not archived.
Status Verify(platform::PgConnection& db, const std::vector<std::string>& paths, VerifyReport& report);
// Only the second half: the test files under `paths` that the archive lacks,
// and how many of them it holds.
Status FindUnarchived(platform::PgConnection& db, const std::vector<std::string>& paths,
                      std::vector<LeftOut>& notArchived, std::size_t& archived);

// Writes the stored files the role may read (of `company` only, when given)
// into `folder`, one subfolder per company, byte for byte, never replacing a
// file. `written` hears each file written.
Status ExportFiles(platform::PgConnection& db, const std::string& folder, const std::string& company,
                   std::vector<std::string>& written);

struct DueAsset {
    std::string company, location, description;  // UTF-8
    std::string lastTested;                      // YYYY-MM-DDThh:mm:ss
    std::string due;                             // YYYY-MM-DD
    std::vector<std::string> flags;              // of the last test
    bool overdue = false;
};
// The assets whose next test is overdue or due within `withinDays`, soonest first.
Status Due(platform::PgConnection& db, int withinDays, std::vector<DueAsset>& due);

// What a connection found, for the program's Setup: the server, the role, and
// the companies the role may add tests to and read (UTF-8).
struct Found {
    std::string server;  // e.g. "PostgreSQL 15.18"
    std::string role;
    int schema = 0;
    std::vector<std::string> adds, reads;
    // "PostgreSQL 15.18, role alice; adds to: Acme; reads: Acme, Borealis"
    std::string Text() const;
};
Status Describe(platform::PgConnection& db, Found& found);

// What to connect with when nothing is given: $KEL_ARCHIVE, else empty.
std::string DefaultConnection();

}  // namespace archive
