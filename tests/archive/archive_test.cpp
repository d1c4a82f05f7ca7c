// The team archive against a real PostgreSQL server (tests/archive/test_server.sh
// starts it): each test works in a database of its own, made from the migrated
// template, with login roles of its own.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "archive/schema.h"
#include "archive/sender.h"
#include "support/archive_db.h"
#include "support/temp_dir.h"
#include "support/test_file_builder.h"
#include "testfile/latin1.h"
#include "tools/demo_set.h"

namespace {

using kel_test::ArchiveDb;
using kel_test::Open;
using kel_test::TempDir;
using kel_test::TestFileBuilder;
using platform::PgConnection;
using platform::PgParam;

long long Count(PgConnection& db, const std::string& sql)
{
    const auto result = db.Exec(sql);
    EXPECT_TRUE(result.Ok()) << result.Error();
    return result.Ok() ? result.Integer(0, 0) : -1;
}

// A test of `company` at `location`, its test number telling it apart.
void WriteTest(const TempDir& dir, const std::string& name, const std::string& company, int number,
               const std::string& location = "SITE")
{
    TestFileBuilder()
        .TestNumber(static_cast<std::uint16_t>(number))
        .TestType(3)
        .Samples(90, 1000, 1e-9)
        .Company(company)
        .Location(location)
        .Description("MOTOR")
        .Write(dir.File(name));
}

void WriteDemoSet(const TempDir& dir)
{
    std::string error;
    EXPECT_TRUE(WriteDemoTests(dir.path().string(), nullptr, &error)) << error;
}

TEST(Archive, MigratingTwiceChangesNothingAndANewerSchemaIsReadOnly)
{
    ArchiveDb archive;
    auto db = Open(archive.As());
    ASSERT_TRUE(db);
    int from = -1, to = -1;
    ASSERT_TRUE(archive::Migrate(*db, from, to));
    EXPECT_EQ(from, archive::KnownVersion());
    EXPECT_EQ(to, archive::KnownVersion());

    ASSERT_TRUE(db->Exec("INSERT INTO kel_schema_version (version) VALUES (99)").Ok());
    int version = 0;
    const Status newer = archive::CheckSchema(*db, version);
    EXPECT_EQ(newer.problem, Problem::ArchiveNewer);
    EXPECT_EQ(newer.number, 99);
    TempDir dir;
    WriteTest(dir, "a.kel", "ACME", 1);
    archive::PushReport report;
    EXPECT_EQ(archive::Push(*db, {dir.path().string()}, false, "host", report).problem, Problem::ArchiveNewer);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM tests"), 0);
    std::vector<history::Asset> assets;
    EXPECT_TRUE(archive::ReadTrend(*db, "", assets));  // it still reads
}

TEST(Archive, EachTestIsArchivedExactlyOnceThroughRepeatsFailuresAndAKilledConnection)
{
    ArchiveDb archive;
    auto db = Open(archive.As());
    ASSERT_TRUE(db);
    TempDir dir;
    WriteDemoSet(dir);
    const long long files = static_cast<long long>(MakeDemoTests().size() + MakeDemoHistory().size());
    // Files that are no test, or a damaged one, are named and never stop the push.
    kel_test::WriteFileBytes(dir.File("notes.kel"), {'h', 'i'});
    TestFileBuilder().Samples(30, 500, 1e-9).TruncateTo(200).Write(dir.File("cut.kel"));
    TestFileBuilder().Date(0x13, 0x45, 0x26).Write(dir.File("baddate.kel"));

    // The server fails part way: the first batch is committed, the failing one not, and the next push
    // sends the rest. Then the connection itself is killed inside a batch's transaction.
    const struct {
        const char* name;
        const char* trap;  // a trigger body run for each arriving test; empty: none
    } faults[] = {
        {"the server refuses test 3", "IF NEW.test_number = 3 THEN RAISE EXCEPTION 'refused'; END IF;"},
        {"the connection is killed at test 5",
         "IF NEW.test_number = 5 THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF;"},
        {"nothing goes wrong", ""},
    };
    std::size_t added = 0;
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.name);
        auto super = Open(archive.As());
        ASSERT_TRUE(super->Script("DROP TRIGGER IF EXISTS trap ON tests").Ok());
        if (*fault.trap) {
            const std::string trap = std::string("CREATE OR REPLACE FUNCTION trap() RETURNS trigger LANGUAGE plpgsql "
                                                 "AS $$ BEGIN ") + fault.trap + " RETURN NEW; END $$; "
                                     "CREATE TRIGGER trap BEFORE INSERT ON tests FOR EACH ROW EXECUTE FUNCTION trap()";
            ASSERT_TRUE(super->Script(trap).Ok());
        }
        auto pusher = Open(archive.As());
        archive::PushReport report;
        const Status pushed = archive::Push(*pusher, {dir.path().string()}, false, "laptop", report, 2);
        EXPECT_EQ(pushed.Ok(), !*fault.trap) << pushed.detail;
        added += report.added;
        // What the push reports is what the server holds: never a test it did not commit.
        EXPECT_EQ(Count(*super, "SELECT count(*) FROM tests"), static_cast<long long>(added));
        if (!*fault.trap) {
            ASSERT_EQ(report.leftOut.size(), 3u);
            EXPECT_EQ(report.leftOut[0].why, "damaged: its date and time are no date");
            EXPECT_EQ(report.leftOut[1].why, "damaged: cut short at byte 200 of 285");
            EXPECT_EQ(report.leftOut[2].why, "not a KEL-7300 test file (cut short at byte 2)");
        }
    }
    EXPECT_EQ(static_cast<long long>(added), files);
    // Again: nothing is sent, everything is known.
    archive::PushReport again;
    ASSERT_TRUE(archive::Push(*db, {dir.path().string()}, false, "laptop", again));
    EXPECT_EQ(again.added, 0u);
    EXPECT_EQ(static_cast<long long>(again.archived), files);
    EXPECT_EQ(Count(*db, "SELECT count(DISTINCT sha256) FROM tests"), files);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM tests WHERE upload_host <> 'laptop'"), 0);
}

TEST(Archive, TheTrendFromTheArchiveIsTheTrendOfTheFiles)
{
    ArchiveDb archive;
    auto db = Open(archive.As());
    ASSERT_TRUE(db);
    TempDir dir;
    WriteDemoSet(dir);
    // A hostile text is data: stored and read back as it stands.
    WriteTest(dir, "hostile.kel", "');DROP TABLE tests;", 40);
    archive::PushReport report;
    ASSERT_TRUE(archive::Push(*db, {dir.path().string()}, false, "laptop", report));
    EXPECT_TRUE(report.leftOut.empty());

    const history::Scan scan = history::ScanPaths({dir.path().string()}, history::Limits{});
    std::vector<history::Asset> fromArchive;
    ASSERT_TRUE(archive::ReadTrend(*db, "", fromArchive));
    ASSERT_EQ(fromArchive.size(), scan.assets.size());
    for (std::size_t a = 0; a < scan.assets.size(); ++a) {
        const history::Asset& file = scan.assets[a];
        const history::Asset& stored = fromArchive[a];
        EXPECT_EQ(stored.company, file.company);
        EXPECT_EQ(stored.location, file.location);
        EXPECT_EQ(stored.description, file.description);
        ASSERT_EQ(stored.tests.size(), file.tests.size()) << file.description;
        for (std::size_t t = 0; t < file.tests.size(); ++t) {
            const history::TestPoint& x = file.tests[t];
            const history::TestPoint& y = stored.tests[t];
            EXPECT_EQ(y.testNumber, x.testNumber);
            EXPECT_EQ(y.dateTime, x.dateTime);
            EXPECT_STREQ(y.testTypeName, x.testTypeName);
            EXPECT_EQ(y.testVoltage, x.testVoltage);
            EXPECT_EQ(y.resistance1Min, x.resistance1Min);
            EXPECT_EQ(y.resistance1Min40C, x.resistance1Min40C);
            EXPECT_EQ(y.piRatio, x.piRatio);
            EXPECT_EQ(y.ddRatio, x.ddRatio);
            EXPECT_EQ(y.darRatio, x.darRatio);
            EXPECT_EQ(y.flags, x.flags) << x.path;
            EXPECT_EQ(y.path, x.path);
        }
    }
    const auto hostile = db->Exec("SELECT count(*) FROM tests WHERE company = $1", {PgParam::Text("');DROP TABLE tests;")});
    ASSERT_TRUE(hostile.Ok()) << hostile.Error();
    EXPECT_EQ(hostile.Integer(0, 0), 1);
    // The server's own flags on insert agree with the trend's.
    const auto flagged = db->Exec("SELECT test_number, array_to_string(flags, ' ') FROM kel_tests ORDER BY tested_at");
    ASSERT_TRUE(flagged.Ok()) << flagged.Error();
    std::size_t agreed = 0;
    for (const history::Asset& asset : scan.assets)
        for (const history::TestPoint& test : asset.tests)
            for (int r = 0; r < flagged.Rows(); ++r)
                if (flagged.Integer(r, 0) == test.testNumber) {
                    std::string flags;
                    for (const std::string& flag : test.flags) flags += (flags.empty() ? "" : " ") + flag;
                    EXPECT_EQ(flagged.Text(r, 1), flags) << test.path;
                    ++agreed;
                }
    EXPECT_GT(agreed, 0u);
}

TEST(Archive, EachRoleSeesAndDoesOnlyWhatItIsGranted)
{
    ArchiveDb archive;
    auto admin = Open(archive.As());
    ASSERT_TRUE(admin);
    const std::string technician = archive.Role("tech");
    const std::string viewer = archive.Role("viewer");
    const std::string manager = archive.Role("manager");
    ASSERT_TRUE(archive::Grant(*admin, technician, "Acme", "technician"));
    ASSERT_TRUE(archive::Grant(*admin, viewer, "Borealis", "viewer"));
    ASSERT_TRUE(admin->Script("GRANT kel_manager TO " + manager).Ok());
    // A role that does not exist, and a company name that is SQL, are refused or stored as data.
    EXPECT_FALSE(archive::Grant(*admin, "nobody\"; DROP TABLE tests; --", "Acme", "viewer"));
    ASSERT_TRUE(archive::Grant(*admin, viewer, "x'); DELETE FROM companies; --", "viewer"));
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM companies"), 3);

    // What Setup's Test Connection says of each role.
    archive::Found found;
    auto asTechnician = Open(archive.As(technician));
    ASSERT_TRUE(archive::Describe(*asTechnician, found));
    EXPECT_EQ(found.adds, std::vector<std::string>{"Acme"});
    EXPECT_TRUE(found.reads.empty());
    EXPECT_NE(found.Text().find("role " + technician + ", schema version 2; adds tests to: Acme; reads: none"),
              std::string::npos) << found.Text();

    TempDir dir;
    WriteTest(dir, "acme.kel", "ACME", 1);        // "Acme" in another case: the same company
    WriteTest(dir, "borealis.kel", "BOREALIS", 2);
    auto listener = Open(archive.As(viewer));
    ASSERT_TRUE(listener->Script("LISTEN kel_tests").Ok());

    auto tech = Open(archive.As(technician));
    archive::PushReport report;
    ASSERT_TRUE(archive::Push(*tech, {dir.path().string()}, false, "laptop", report));
    EXPECT_EQ(report.added, 1u);
    ASSERT_EQ(report.leftOut.size(), 1u);
    EXPECT_EQ(report.leftOut[0].why, "company \"BOREALIS\" is not one this role may add tests to");
    ASSERT_TRUE(archive::Push(*admin, {dir.path().string()}, false, "office", report));

    // A notification carries ids, never a company's data.
    const auto heard = listener->NextNotification(2000);
    ASSERT_TRUE(heard);
    EXPECT_EQ(heard->payload.find_first_not_of("0123456789-"), std::string::npos) << heard->payload;

    auto managing = Open(archive.As(manager));
    // What each role may do: true where the statement must succeed.
    const struct {
        const char* what;
        PgConnection* as;
        std::string sql;
        bool allowed;
    } cases[] = {
        {"technician reads tests", tech.get(), "SELECT count(*) FROM tests", false},
        {"technician reads the view", tech.get(), "SELECT count(*) FROM kel_tests", false},
        {"technician inserts directly", tech.get(),
         "INSERT INTO companies (name, key) VALUES ('MINE', 'MINE')", false},
        {"technician voids", tech.get(), "SELECT kel_void(1, 'mine')", false},
        {"technician grants", tech.get(), "SELECT kel_grant('" + technician + "', 'B', 'B', 'viewer')", false},
        {"technician changes who uploaded", tech.get(), "UPDATE tests SET uploaded_by = 'someone'", false},
        {"technician deletes", tech.get(), "DELETE FROM tests", false},
        {"viewer reads", listener.get(), "SELECT count(*) FROM kel_tests", true},
        {"viewer deletes", listener.get(), "DELETE FROM tests", false},
        {"viewer pushes", listener.get(), "SELECT * FROM kel_push()", false},
        {"manager voids", managing.get(), "SELECT kel_void(1, 'wrong asset')", true},
        {"even the owner never deletes", admin.get(), "DELETE FROM tests", false},
        {"the server checks a content's hash against its bytes", admin.get(),
         "INSERT INTO tests (sha256, measurement_key, bytes, company_id, asset_id, test_number, test_type, type_name, "
         "tested_at, test_volts, duration_s, over_range, operator_name, description, location, company) "
         "SELECT sha256(bytes || '\\x02'::bytea), measurement_key, bytes || '\\x00'::bytea, company_id, asset_id, "
         "test_number, test_type, type_name, tested_at, test_volts, duration_s, false, '', '', '', '' FROM tests "
         "LIMIT 1",
         false},
        {"... and a measurement key against the bytes without their texts", admin.get(),
         "INSERT INTO tests (sha256, measurement_key, bytes, company_id, asset_id, test_number, test_type, type_name, "
         "tested_at, test_volts, duration_s, over_range, operator_name, description, location, company) "
         "SELECT sha256(bytes || '\\x01'::bytea), sha256(bytes), bytes || '\\x01'::bytea, company_id, asset_id, "
         "test_number, test_type, type_name, tested_at, test_volts, duration_s, false, '', '', '', '' FROM tests "
         "LIMIT 1",
         false},
    };
    for (const auto& c : cases) {
        const auto result = c.as->Exec(c.sql);
        EXPECT_EQ(result.Ok(), c.allowed) << c.what << ": " << result.Error();
    }
    // Who uploaded is the server's word.
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM tests WHERE uploaded_by = '" + technician + "'"), 1);
    // The viewer sees Borealis only; the manager sees both, less the voided test.
    const auto seen = listener->Exec("SELECT DISTINCT company_name FROM kel_tests");
    ASSERT_TRUE(seen.Ok()) << seen.Error();
    ASSERT_EQ(seen.Rows(), 1);
    EXPECT_EQ(seen.Text(0, 0), "Borealis");
    std::vector<history::Asset> assets;
    ASSERT_TRUE(archive::ReadTrend(*listener, "", assets));
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(assets[0].company, "BOREALIS");

    EXPECT_EQ(Count(*managing, "SELECT count(*) FROM tests"), 2);
    EXPECT_EQ(Count(*managing, "SELECT count(*) FROM kel_tests"), 1);
    EXPECT_EQ(Count(*managing, "SELECT count(*) FROM voids"), 1);
}

TEST(Archive, VerifyAndExportGiveBackTheStoredBytes)
{
    ArchiveDb archive;
    auto db = Open(archive.As());
    ASSERT_TRUE(db);
    TempDir dir, out;
    WriteTest(dir, "a.kel", "ACME", 1);
    WriteTest(dir, "b.kel", "../../etc", 2);  // a company that is a path stays inside the folder
    archive::PushReport report;
    ASSERT_TRUE(archive::Push(*db, {dir.path().string()}, false, "laptop", report));
    WriteTest(dir, "c.kel", "ACME", 3);  // not pushed
    archive::VerifyReport verified;
    ASSERT_TRUE(archive::Verify(*db, {dir.path().string()}, verified));
    EXPECT_EQ(verified.checked, 2u);
    EXPECT_TRUE(verified.damaged.empty());
    ASSERT_EQ(verified.notArchived.size(), 1u);
    EXPECT_EQ(std::filesystem::path(verified.notArchived[0].path).filename(), "c.kel");

    std::vector<std::string> written;
    ASSERT_TRUE(archive::ExportFiles(*db, out.path().string(), "", written));
    ASSERT_EQ(written.size(), 2u);
    for (const std::string& path : written) {
        EXPECT_EQ(std::filesystem::path(path).parent_path().parent_path(), out.path()) << path;
        const std::string name = std::filesystem::path(path).filename().string();
        EXPECT_EQ(kel_test::ReadFileBytes(path), kel_test::ReadFileBytes(dir.File(name)));
    }
    // Exported again: nothing is replaced, the same bytes are there already.
    std::vector<std::string> again;
    ASSERT_TRUE(archive::ExportFiles(*db, out.path().string(), "", again));
    EXPECT_TRUE(again.empty());
}

// Waits until the sender has ended `rounds` rounds, for at most 20 s.
archive::Sender::State AfterRounds(const archive::Sender& sender, std::size_t rounds)
{
    for (int i = 0; i < 2000 && sender.Rounds() < rounds; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return sender.Snapshot();
}

TEST(ArchiveSender, TheQueueDrainsAndAKilledConnectionIsSaidAndRetried)
{
    ArchiveDb archive;
    auto admin = Open(archive.As());
    ASSERT_TRUE(admin);
    TempDir dir;
    WriteTest(dir, "a.kel", "ACME", 1);
    WriteTest(dir, "b.kel", "ACME", 2);

    archive::Sender sender(std::chrono::minutes(10), std::chrono::milliseconds(50), std::chrono::milliseconds(400));
    EXPECT_EQ(sender.Snapshot().Text(), "");  // off until configured
    sender.Configure(archive.As(), dir.path().string(), true);
    archive::Sender::State state = AfterRounds(sender, 1);
    EXPECT_EQ(state.Text(), "Archive: all 2 tests archived");
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM tests"), 2);

    // A download adds a test; the archive's server goes away: the state says so, and the sender retries.
    WriteTest(dir, "c.kel", "ACME", 3);
    sender.Configure(archive.As() + " port=1", dir.path().string(), true);
    state = AfterRounds(sender, 2);
    EXPECT_EQ(state.kind, archive::Sender::State::CannotConnect);
    EXPECT_EQ(state.Text().rfind("Archive: cannot connect (", 0), 0u) << state.Text();
    EXPECT_NE(state.Text().find("), will retry"), std::string::npos);
    const std::size_t before = sender.Rounds();
    state = AfterRounds(sender, before + 2);  // retried by itself, with no one asking
    EXPECT_EQ(state.kind, archive::Sender::State::CannotConnect);
    // The server is back: the next round sends what waited, once.
    sender.Configure(archive.As(), dir.path().string(), true);
    state = AfterRounds(sender, sender.Rounds() + 1);
    EXPECT_EQ(state.Text(), "Archive: all 3 tests archived");
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM tests"), 3);
    // A connection killed by the server is a failure of that round only.
    WriteTest(dir, "d.kel", "ACME", 4);
    ASSERT_TRUE(admin->Script("CREATE FUNCTION trap() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                              "PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$; "
                              "CREATE TRIGGER trap BEFORE INSERT ON tests FOR EACH ROW EXECUTE FUNCTION trap()")
                    .Ok());
    sender.SendNow();
    state = AfterRounds(sender, sender.Rounds() + 1);
    EXPECT_EQ(state.kind, archive::Sender::State::Failed) << state.Text();
    ASSERT_TRUE(admin->Script("DROP TRIGGER trap ON tests").Ok());
    state = AfterRounds(sender, sender.Rounds() + 1);  // the retry, by itself
    EXPECT_EQ(state.Text(), "Archive: all 4 tests archived");
    EXPECT_EQ(Count(*admin, "SELECT count(*) FROM tests"), 4);
    sender.Configure("", dir.path().string(), true);  // switched off: the status bar says nothing
    EXPECT_EQ(sender.Snapshot().Text(), "");
}

}  // namespace
