// Names beyond ASCII reach the file system whole on both systems: written, found in a folder,
// read, saved over, exported beside, downloaded into and made a folder of. On Windows they go
// through the wide calls; through the ANSI ones they came out garbled or not at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "export/readings_export.h"
#include "history/asset_history.h"
#include "instrument/download.h"
#include "platform/atomic_file.h"
#include "platform/folder_search.h"
#include "platform/names.h"
#include "support/fake_port.h"
#include "support/temp_dir.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"
#include "testfile/kel_file.h"
#include "testfile/kel_test_list.h"
#include "tools/demo_set.h"
#include "tools/sim/tester_sim.h"

namespace {

using kel_test::TempDir;
using kel_test::TestFileBuilder;

// Prüf, Ölpumpe (both in Windows-1252) and 日本語 (in no Western code page), as UTF-8.
const std::vector<std::string> kNames = {"Pr\xC3\xBC" "f", "\xC3\x96lpumpe", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"};

bool Exists(const std::string& name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(platform::PathOf(name), error);
}

TEST(Names, BeyondAsciiReachTheFileSystemWhole)
{
    for (const std::string& name : kNames) {
        TempDir dir;
        const std::string test = dir.File(name + ".kel");
        TestFileBuilder().Company("ACME").Samples(60, 500, 1e-9).Write(test);

        // Found in its folder by both walks, by the name it was written with.
        EXPECT_EQ(platform::FindByExtension(dir.File(""), ".kel", 10), std::vector<std::string>{name + ".kel"}) << name;
        CKELTestList list;
        list.Refresh(platform::NameOf(dir.path()));
        ASSERT_EQ(list.fileCount, 1) << name;
        EXPECT_EQ(list.fileNames[0], name + ".kel") << name;
        EXPECT_EQ(list.companies[0], "ACME") << name;
        const history::Scan scan = history::ScanPaths({platform::NameOf(dir.path())}, {});
        EXPECT_EQ(scan.testsRead, 1u) << name;
        EXPECT_TRUE(scan.unreadable.empty()) << name;

        // Read, corrected and saved in place.
        CKELFile record;
        ASSERT_TRUE(record.Load(list.PathOf(0), 1)) << name;
        std::snprintf(record.operatorName, sizeof record.operatorName, "%s", "JANE");
        EXPECT_TRUE(record.WriteHeaderTexts()) << name;
        CKELFile again;
        ASSERT_TRUE(again.Load(test, 0)) << name;
        EXPECT_STREQ(again.operatorName, "JANE") << name;

        // Exported beside it: the workbook (written by libxlsxwriter by its own name) and the CSV.
        EXPECT_TRUE(ExportReadingsWorkbook(test, dir.File(name + ".xlsx"))) << name;
        EXPECT_TRUE(ExportReadingsCsv(test, dir.File(name + ".csv"))) << name;
        EXPECT_TRUE(Exists(dir.File(name + ".xlsx")) && Exists(dir.File(name + ".csv"))) << name;

        // A folder of that name holds the demo tests.
        std::string error;
        EXPECT_TRUE(WriteDemoTests(dir.File(name), nullptr, &error)) << name << ": " << error;
        EXPECT_TRUE(Exists(dir.File(name + "/Test3.kel"))) << name;
    }
}

// A download with a prefix beyond ASCII names its file "<prefix><number>.kel" whole (demo test 3).
TEST(Names, ADownloadTakesAPrefixBeyondAscii)
{
    for (const std::string& name : kNames) {
        TempDir dir;
        kel_test::TestContext t;
        TesterSimulator simulator(TesterSimulator::DemoTests());
        t.openPort = [&] { return std::make_unique<kel_test::SimulatorPort>(simulator, t.services); };
        CSerialCom channel(t.services, [&] { return t.openPort(); });
        TestTransfer transfer(channel, platform::NameOf(dir.path()));
        char path[TestTransfer::kPathSize];
        ASSERT_TRUE(TestTransfer::MakePath(name, 3, path));
        Arrival arrival;
        const Status downloaded = transfer.DownloadTest(3, path, &arrival);
        EXPECT_TRUE(downloaded) << name << ": " << MessageFor(downloaded).text;
        EXPECT_EQ(platform::FindByExtension(dir.File(""), ".kel", 10), std::vector<std::string>{name + "3.kel"})
            << name;
        CKELFile record;
        EXPECT_TRUE(record.Load(dir.File(name + "3.kel"), 0)) << name;
        EXPECT_EQ(record.testNumber, 3) << name;
    }
}

}  // namespace
