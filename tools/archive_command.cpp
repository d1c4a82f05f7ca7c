#include "tools/archive_command.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <fstream>
#include <iostream>

#include "archive/archive.h"
#include "platform/names.h"
#include "tools/cli_output.h"

namespace {

using cli::Fail;
using cli::Printable;

constexpr const char* kConnectionHelp =
    "the archive: a libpq connection string, URI or service=NAME (default: $KEL_ARCHIVE, else the private "
    "archive of scripts/start.sh); libpq's ~/.pgpass, "
    "PGSERVICEFILE and PGSSLMODE apply, and no password is ever stored by this program";

// The archive when --db names none: $KEL_ARCHIVE, else the private archive that
// scripts/start.sh keeps (its connection in the cluster's folder).
std::string PrivateArchive()
{
    std::string folder;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) folder = std::string(data) + "/KEL-7300/archive";
    else if (const char* home = std::getenv("HOME"); home && *home) folder = std::string(home) + "/.local/share/KEL-7300/archive";
#ifndef _WIN32
    if (geteuid() == 0) folder = "/var/tmp/kel7300-archive-root";
#endif
    std::ifstream file(platform::PathOf(folder + "/archive"));
    std::string connection;
    std::getline(file, connection);
    return connection;
}

std::unique_ptr<platform::PgConnection> Connect(const std::string& db)
{
    std::string connection = db.empty() ? archive::DefaultConnection() : db;
    if (connection.empty()) connection = PrivateArchive();
    if (connection.empty()) {
        Fail("archive: --db names no archive (nor does KEL_ARCHIVE, and there is no private archive: "
             "scripts/start.sh makes one)");
        return nullptr;
    }
    std::string error;
    auto connected = platform::PgConnection::Open(connection, error);
    if (!connected) Fail("can't connect to the archive: " + error);
    return connected;
}

int Said(const Status& status)
{
    if (status) return 0;
    Fail(MessageFor(status).text);
    return 1;
}

// The machine a push comes from, as the archive records it.
std::string HostName()
{
#ifdef _WIN32
    const char* name = std::getenv("COMPUTERNAME");
    return name ? name : "";
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
#endif
}

}  // namespace

CLI::App* AddArchiveCommand(CLI::App& app, ArchiveOptions& o)
{
    auto* archive = app.add_subcommand(
        "archive",
        "The team archive on PostgreSQL. Exit status: 0 done; 1 failed (no connection, refused by the server, "
        "or the server failed part way: what it committed stays, and the next push sends the rest); 2 done, but "
        "files were left out (push) or are damaged or not archived (verify), each named on standard error.");
    archive->require_subcommand(1);
    const auto db = [&](CLI::App* command) { command->add_option("--db", o.db, kConnectionHelp); };

    auto* migrate = archive->add_subcommand("migrate", "Create or upgrade the archive's schema and its roles "
                                                       "(an administrator's command).");
    db(migrate);
    auto* grant = archive->add_subcommand("grant", "Let login role ROLE add tests to (technician) or read (viewer) "
                                                   "one company, made when it is new (an administrator's command).");
    db(grant);
    grant->add_option("ROLE", o.role, "the login role")->required();
    grant->add_option("--company", o.company, "the company, as the test files name it")->required();
    grant->add_option("--as", o.kind, "technician or viewer")->required()->check(CLI::IsMember({"technician", "viewer"}));
    auto* push = archive->add_subcommand(
        "push", "Upload every test under PATH that the archive lacks, each content once, one transaction per "
                "batch; prints how many were new, archived already and left out (each named, with the reason).");
    db(push);
    push->add_option("PATH", o.paths, "test files, or folders searched recursively for .kel files")->required();
    push->add_flag("--follow", o.follow, "follow links to folders found inside the folders named");
    auto* trend = archive->add_subcommand("trend", "The asset trend from the archive, as trend shows it from files.");
    db(trend);
    trend->add_option("--company", o.company, "only this company");
    trend->add_option("--asset", o.trend.asset, "only assets whose company, location or description contains TEXT");
    trend->add_flag("--json", o.trend.json, "one JSON object per asset per line");
    trend->add_flag("--csv", o.trend.csv, "one CSV row per test");
    trend->add_option("-o,--output", o.trend.output, "FILE.png (one asset) or FILE.pdf: the trend pages");
    auto* verify = archive->add_subcommand(
        "verify", "Re-check the hash of every stored file the role may read; with PATHs, name each local test "
                  "file that is not archived.");
    db(verify);
    verify->add_option("PATH", o.paths, "local test files or folders");
    auto* exportFiles = archive->add_subcommand(
        "export", "Write the stored files the role may read back out, byte for byte, into DIR/COMPANY/.");
    db(exportFiles);
    exportFiles->add_option("--to", o.folder, "the folder")->required();
    exportFiles->add_option("--company", o.company, "only this company");
    auto* due = archive->add_subcommand("due", "Assets whose next test is overdue or due within DAYS.");
    db(due);
    due->add_option("--within", o.withinDays, "days ahead (default 30)")->check(CLI::NonNegativeNumber);
    return archive;
}

int RunArchive(CLI::App& archive, const ArchiveOptions& o, int argc, char** argv)
{
    const auto connection = Connect(o.db);
    if (!connection) return 1;
    platform::PgConnection& db = *connection;
    if (*archive.get_subcommand("migrate")) {
        int from = 0, to = 0;
        const Status migrated = archive::Migrate(db, from, to);
        if (migrated || from != to)
            std::cout << "schema version " << to << (from == to ? " (up to date)" : " (was " + std::to_string(from) + ")")
                      << "\n";
        return Said(migrated);
    }
    if (*archive.get_subcommand("grant")) return Said(archive::Grant(db, o.role, o.company, o.kind));
    if (*archive.get_subcommand("push")) {
        archive::PushReport report;
        const Status pushed = archive::Push(db, o.paths, o.follow, HostName(), report);
        for (const archive::LeftOut& left : report.leftOut)
            Fail(Printable(platform::NameToUtf8(left.path)) + ": " + left.why + "; left out");
        std::cout << report.added << " new, " << report.archived << " archived already, " << report.leftOut.size()
                  << " left out\n";
        if (!pushed) return Said(pushed);
        return report.leftOut.empty() ? 0 : cli::kPartial;
    }
    if (*archive.get_subcommand("trend")) {
        std::vector<history::Asset> assets;
        if (Status read = archive::ReadTrend(db, o.company, assets); !read) return Said(read);
        return ShowAssets(assets, o.trend, history::Limits{}, 0, argc, argv);
    }
    if (*archive.get_subcommand("verify")) {
        archive::VerifyReport report;
        if (Status verified = archive::Verify(db, o.paths, report); !verified) return Said(verified);
        for (const std::string& id : report.damaged) Fail("stored test " + id + ": its bytes no longer match its hash");
        for (const archive::LeftOut& local : report.notArchived)
            Fail(Printable(platform::NameToUtf8(local.path)) + ": " + local.why);
        std::cout << report.checked << " stored files checked, " << report.damaged.size() << " damaged, "
                  << report.notArchived.size() << " local files not archived\n";
        return report.damaged.empty() && report.notArchived.empty() ? 0 : cli::kPartial;
    }
    if (*archive.get_subcommand("export")) {
        std::vector<std::string> written;
        const Status exported = archive::ExportFiles(db, o.folder, o.company, written);
        for (const std::string& path : written) std::cout << Printable(platform::NameToUtf8(path)) << "\n";
        return Said(exported);
    }
    if (*archive.get_subcommand("due")) {
        std::vector<archive::DueAsset> due;
        if (Status read = archive::Due(db, o.withinDays, due); !read) return Said(read);
        for (const archive::DueAsset& asset : due) {
            std::string flags;
            for (const std::string& flag : asset.flags) flags += " " + flag;
            std::cout << (asset.overdue ? "overdue " : "due     ") << asset.due << "  " << Printable(asset.company)
                      << " / " << Printable(asset.location) << " / " << Printable(asset.description)
                      << "  last tested " << asset.lastTested << (flags.empty() ? "" : "  flags:" + flags) << "\n";
        }
        return 0;
    }
    return 1;
}
