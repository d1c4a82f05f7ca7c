#include "export/excel_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/posix_only.h"
#include "support/recording_dispatch.h"
#include "support/temp_dir.h"
#include "support/test_file_builder.h"
#include "support/xlrd_reader.h"
#include "testfile/kel_file.h"
#include "testfile/kel_test_list.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::DispatchLog;
using kel_test::RecordingDispatch;
using kel_test::RecordingPresenter;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

class ExportTestFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        services.presenter = &presenter;
        services.serverFactory = [this](const std::string& progId) -> std::shared_ptr<platform::DispatchObject> {
            log->calls.push_back("create " + progId);
            if (!serverAvailable) return nullptr;
            return std::make_shared<RecordingDispatch>(log, "application");
        };
    }
    // The desktop program's export of the catalogue's choice, its message shown.
    bool ExportSelectedTests()
    {
        // The front end chooses the folder, starting at the test folder; no folder ends the command unsaid.
        std::string folder;
        if (!services.BrowseForFolder("Export to folder", dir.path().string(), folder)) return false;
        const Status exported = ::ExportSelectedTests(testCatalogue, services, folder);
        Report(presenter, exported);
        return exported.Ok();
    }
    bool ExportTest(const std::string& test, const std::string& workbook)
    {
        const Status exported = ::ExportTest(services, test, workbook);
        Report(presenter, exported);
        return exported.Ok();
    }
    void SetFolderChooser(platform::FolderChooser chooser) { services.folderChooser = std::move(chooser); }
    void SetServerFactory(std::nullptr_t) { services.serverFactory = nullptr; }
    // The cells of column A and B, row by row, as "A|B".
    std::vector<std::string> Rows() const
    {
        std::vector<std::string> rows;
        for (int row = 1; log->cells.count({row, 1}); ++row) {
            std::string line = log->cells.at({row, 1}) + "|" + log->cells.at({row, 2});
            if (log->cells.count({row, 3})) line += "|" + log->cells.at({row, 3});
            rows.push_back(line);
        }
        return rows;
    }

    TempDir dir;
    CurrentFolder here{dir.path()};
    RecordingPresenter presenter;
    platform::Services services;
    CKELTestList testCatalogue;
    std::shared_ptr<DispatchLog> log = std::make_shared<DispatchLog>();
    bool serverAvailable = true;
};

TEST_F(ExportTestFixture, CallSequenceAndReleases)
{
    TestFileBuilder().TestType(9).TestNumber(12).Write(dir.File("T.kel"));
    ASSERT_TRUE(ExportTest("T.kel", "/out/T.xls"));
    const auto& calls = log->calls;
    ASSERT_GE(calls.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 5),
              (std::vector<std::string>{"create Excel.Application", "application get 0x23c", "workbooks method 0xb5 <optional>",
                                        "workbook get 0x1e5", "sheets get 0xaa i2:1"}));
    EXPECT_EQ(std::vector<std::string>(calls.begin() + 5, calls.begin() + 9),
              (std::vector<std::string>{"sheet get 0xc5 'A1' 'A1'", "range put 0xc1 '@'", "range put 0x56c 'Filename:'",
                                        "release range"}));
    const std::vector<std::string> tail(calls.end() - 7, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{
                        "sheet method 0x785 '/out/T.xls' <optional> <optional> <optional> <optional> <optional> "
                        "<optional> <optional> <optional> <optional>",
                        "application method 0x12e", "release sheets", "release sheet", "release workbook",
                        "release workbooks", "release application"}));
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "application method 0x12e"), 1);
    // Rows 1 to 9 only: 18 cells of three calls and a release each.
    EXPECT_EQ(calls.size(), 5u + 18 * 4 + 7);
    for (const auto& [cell, format] : log->formats) EXPECT_EQ(format, "@");
    EXPECT_EQ(Rows().size(), 9u);
    EXPECT_EQ(Rows()[1], "Test Number:|12");
    EXPECT_EQ(Rows()[2], "Date:|3/14/26");
    EXPECT_EQ(Rows()[3], "Time:|9:30:0");
    EXPECT_TRUE(presenter.messages.empty());
}

struct GridCase {
    const char* name;
    std::function<void(TestFileBuilder&)> build;
    std::map<int, std::string> rows;  // row -> "A|B" (or "A|B|C")
    std::size_t rowCount;
};

TEST_F(ExportTestFixture, CellGridsByTestType)
{
    const std::vector<GridCase> cases = {
        {"resistance, 600 samples, no temperature",
         [](auto& b) { b.TestType(1).Samples(600, 500, 1e-9); },
         {{10, "Final Test Resistance:|1.000 G"}, {15, "Hum Rejection Freq:|60 HZ"}, {16, "R@15sec :|500.000 G"},
          {19, "R@1min :|500.000 G"}, {28, "R@10min :|1.000 G"}},
         28},
        {"resistance, 1200 samples", [](auto& b) { b.TestType(1).Samples(1200, 500, 1e-9); },
         {{33, "R@15min :|500.000 G"}}, 33},
        {"resistance, 14 samples", [](auto& b) { b.TestType(1).Samples(14, 500, 1e-9); },
         {{15, "Hum Rejection Freq:|60 HZ"}}, 15},
        {"polarization index with temperature",
         [](auto& b) { b.TestType(3).Temperature(72).Measured(63, 'G', 2, 1000).Samples(60, 500, 1e-9); },
         {{11, "RES @  01:00|0.000 "}, {12, "RES @  01:00|1.000 G"},  // header bytes 17-20 zero: no unit
          {17, "D.U.T. TEMP:|72 F"}, {18, "EQUIV RES @40C:|1.000 G"}, {19, "EQUIV RES @20C:|4.000 G"},
          {20, "R@15sec :|500.000 G"}, {23, "R@1min :|1.000 G"}},
         23},
        {"insulation resistance: no readings", [](auto& b) { b.TestType(2).Samples(600, 500, 1e-9); },
         {{10, "Final Test Resistance:|1.000 G"}}, 15},
        {"dielectric discharge without capacitance", [](auto& b) { b.TestType(4).DdRatio(180); },
         {{10, "DD Ratio:|1.800"}, {11, "Final Test Voltage:|500 V"}, {14, "Hum Rejection Freq:|60 HZ"}}, 14},
        {"dielectric discharge with capacitance", [](auto& b) { b.TestType(4).Capacitance(210); },
         {{11, "I @ TEST +1 MIN:|0.000 "}, {12, "Final Test Voltage:|500 V"}},  // a NUL unit ends the text
         15},
        {"step voltage", [](auto& b) { b.TestType(5).StepInterval(1, 0); },
         {{10, "Step Interval:|01:00|MIN"}, {13, "Hum Rejection Freq:|60 HZ"}}, 13},
        {"unknown type", [](auto& b) { b.TestType(0); }, {{9, "Test Type:|Unknown"}}, 9},
        // Every type with a temperature reading, rows 10 to the end checked whole.
        {"resistance with temperature",
         [](auto& b) { b.TestType(1).Temperature(68).Measured(63, 'M', 2, 500).Capacitance(150).Samples(60, 500, 1e-9); },
         {{10, "Final Test Resistance:|1.000 G"}, {11, "Final Test Voltage:|500 V"}, {12, "Final Test Current:|0.500 nA"},
          {13, "Test Capacitance:|1.50 uF"}, {14, "Test Duration:|01:00 MIN"}, {15, "Hum Rejection Freq:|60 HZ"},
          {16, "D.U.T. TEMP:|68 F"}, {17, "EQUIV RES @40C:|0.500 M"}, {18, "EQUIV RES @20C:|2.000 M"},
          {19, "R@15sec :|500.000 G"}, {22, "R@1min :|1.000 G"}},
         22},
        {"insulation resistance with temperature",
         [](auto& b) { b.TestType(2).Temperature(68).Measured(63, 'M', 2, 500).Samples(60, 500, 1e-9); },
         {{11, "Final Test Voltage:|500 V"}, {12, "Final Test Current:|0.500 nA"}, {13, "Test Capacitance:|N/A"},
          {16, "D.U.T. TEMP:|68 F"}, {17, "EQUIV RES @40C:|0.500 M"}, {18, "EQUIV RES @20C:|2.000 M"}},
         18},
        {"dielectric discharge with temperature: no equivalent resistances",
         [](auto& b) { b.TestType(4).Temperature(68).Measured(63, 'M', 2, 500).DdRatio(180); },
         {{10, "DD Ratio:|1.800"}, {11, "Final Test Voltage:|500 V"}, {12, "Test Capacitance:|N/A"},
          {13, "Test Duration:|00:00 MIN"}, {14, "Hum Rejection Freq:|60 HZ"}, {15, "D.U.T. TEMP:|68 F"}},
         15},
        {"step voltage with temperature",
         [](auto& b) { b.TestType(5).StepInterval(1, 0).Temperature(68).Measured(63, 'M', 2, 500); },
         {{10, "Step Interval:|01:00|MIN"}, {11, "Test Capacitance:|N/A"}, {12, "Test Duration:|00:00 MIN"},
          {13, "Hum Rejection Freq:|60 HZ"}, {14, "D.U.T. TEMP:|68 F"}, {15, "EQUIV RES @40C:|0.500 M"},
          {16, "EQUIV RES @20C:|2.000 M"}},
         16},
    };
    for (const auto& c : cases) {
        log->cells.clear();
        TestFileBuilder builder;
        c.build(builder);
        builder.Write(dir.File("T.kel"));
        ASSERT_TRUE(ExportTest("T.kel", "x.xls")) << c.name;
        const auto rows = Rows();
        EXPECT_EQ(rows.size(), c.rowCount) << c.name;
        for (const auto& [row, text] : c.rows) {
            ASSERT_LE(static_cast<std::size_t>(row), rows.size()) << c.name;
            EXPECT_EQ(rows[static_cast<std::size_t>(row) - 1], text) << c.name << " row " << row;
        }
    }
}

TEST_F(ExportTestFixture, WorkbookPathRule)
{
    const struct {
        const char* folder;
        const char* name;
        char separator;
        const char* workbook;
    } cases[] = {
        {"D:\\Out", "TEST12.kel", '\\', "D:\\Out\\TEST12.xls"},
        {"/home/me/out", "TEST12.kel", '/', "/home/me/out/TEST12.xls"},
        {"/home/me/out", "a.b.KEL", '/', "/home/me/out/a.b.xls"},
        // A dot in a folder is no extension: the workbook stays inside the folder.
        {"out/my.folder", "my", '/', "out/my.folder/my.xls"},
        {"missing.kel", "T", '/', "missing.kel/T.xls"},
        {"D:\\v1.2", "NODOT", '\\', "D:\\v1.2\\NODOT.xls"},
    };
    for (const auto& c : cases) EXPECT_EQ(WorkbookPath(c.folder, c.name, c.separator), c.workbook) << c.name;
}

TEST_F(ExportTestFixture, TwoTestsOfOneWorkbookNameExportTheFirstAndRefuseTheSecond)
{
    TestFileBuilder().TestNumber(1).Write(dir.File("T.KEL"));
    TestFileBuilder().TestNumber(2).Write(dir.File("T.kel"));
    testCatalogue.Refresh(dir.path().string());
#ifdef _WIN32
    // Names are case-insensitive on Windows: T.kel is the file T.KEL, and there is one test only.
    ASSERT_EQ(testCatalogue.fileCount, 1);
    GTEST_SKIP() << "T.KEL and T.kel are one file on Windows";
#endif
    ASSERT_EQ(testCatalogue.fileCount, 2);
    testCatalogue.selected[0] = testCatalogue.selected[1] = 1;
    TempDir out;
    SetFolderChooser([&](const std::string&, const std::string&, std::string& folder) {
        folder = out.path().string();
        return true;
    });
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_EQ(std::count(log->calls.begin(), log->calls.end(), "create Excel.Application"), 1);
    // The first in catalogue order is exported; the second is refused by name.
    CKELFile first;
    ASSERT_TRUE(first.Load(testCatalogue.PathOf(0), 0));
    EXPECT_EQ(log->cells.at({2, 2}), std::to_string(first.testNumber));
    ASSERT_EQ(presenter.Texts().size(), 1u);
    EXPECT_EQ(presenter.Texts()[0].rfind(testCatalogue.fileNames[1] + " is not exported", 0), 0u)
        << presenter.Texts()[0];

    // An empty folder is not the root of the file system.
    SetFolderChooser([](const std::string&, const std::string&, std::string& folder) {
        folder.clear();
        return true;
    });
    log->calls.clear();
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_TRUE(log->calls.empty());
}

TEST_F(ExportTestFixture, CancelledFolderMissingServerAndFailedCall)
{
    TestFileBuilder().Write(dir.File("A.kel"));
    TestFileBuilder().Write(dir.File("B.kel"));
    testCatalogue.Refresh(dir.path().string());
    testCatalogue.selected[0] = testCatalogue.selected[1] = 1;

    SetFolderChooser([](const std::string&, const std::string&, std::string&) { return false; });
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_TRUE(log->calls.empty());
    EXPECT_TRUE(presenter.messages.empty());

    TempDir out;
    std::string asked;
    SetFolderChooser([&](const std::string& title, const std::string& start, std::string& folder) {
        asked = title + "|" + start;
        folder = out.path().string();
        return true;
    });
    serverAvailable = false;
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_EQ(asked, "Export to folder|" + dir.path().string());
    EXPECT_EQ(presenter.Texts(), (std::vector<std::string>{"Unable to initialize Excel.", "Unable to initialize Excel."}));
    EXPECT_EQ(std::filesystem::current_path(), dir.path());  // the export folder is not made current

    serverAvailable = true;
    presenter.messages.clear();
    log->calls.clear();
    log->failAtCall = 7;  // the first value of the first test
    log->failText = "The server is busy.";
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"The server is busy."});
    EXPECT_EQ(std::count(log->calls.begin(), log->calls.end(), "application method 0x12e"), 0);
    EXPECT_EQ(std::count(log->calls.begin(), log->calls.end(), "create Excel.Application"), 1);  // B not tried
    EXPECT_EQ(log->calls.back(), "release application");

    presenter.messages.clear();
    log->calls.clear();
    log->failText.clear();
    EXPECT_FALSE(ExportSelectedTests());
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Command failed."});
}

TEST_F(ExportTestFixture, TheBuiltInServerWritesWorkbooksThatReadBack)
{
    KEL_LINUX_READERS_ONLY();
    SetServerFactory(nullptr);  // the default: the built-in server here
    TestFileBuilder().TestType(3).Temperature(72).Measured(63, 'G', 2, 1000).Samples(900, 500, 1e-9)
        .Company("\xC9" "COLE").Write(dir.File("PI.kel"));
    kel_test::WriteFileBytes(dir.File("PI.xls"), {'o', 'l', 'd'});
    ASSERT_TRUE(ExportTest("PI.kel", dir.File("PI.xls")));
    const std::string read = kel_test::ReadWithXlrd(dir.File("PI.xls"));
    EXPECT_NE(read.find("sheets 1\n"), std::string::npos) << read.substr(0, 300);
    EXPECT_NE(read.find("0,0,49,0,Filename:\n0,1,49,0,PI.kel\n"), std::string::npos);
    EXPECT_NE(read.find("4,1,49,0,\xC3\x89" "COLE\n"), std::string::npos);
    EXPECT_NE(read.find("36,0,49,0,R@15min :\n36,1,49,0,1.000 G\n"), std::string::npos) << read;
    EXPECT_NE(read.find("log []"), std::string::npos);
    std::size_t cells = 0;
    for (std::size_t at = 0; (at = read.find(",49,0,", at)) != std::string::npos; ++at) ++cells;
    EXPECT_EQ(cells, 74u);  // rows 1 to 37, two cells each: every one text with "@"
}

TEST_F(ExportTestFixture, CellB1HoldsTheNameAsTheUserSeesIt)
{
    KEL_LINUX_READERS_ONLY();
    SetServerFactory(nullptr);  // the built-in server, read back by xlrd
    for (const std::string name : {"Pr\xC3\xBC" "fung \xC3\x96lpumpe.kel", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kel"}) {
        TestFileBuilder().Company("\xC9" "COLE").Write(dir.File(name));
        const std::string workbook = WorkbookPath(dir.path().string(), name);
        ASSERT_TRUE(ExportTest(dir.File(name), workbook)) << name;
        const std::string read = kel_test::ReadWithXlrd(workbook);
        EXPECT_NE(read.find("0,1,49,0," + name + "\n"), std::string::npos) << read.substr(0, 200);
        EXPECT_NE(read.find("4,1,49,0,\xC3\x89" "COLE\n"), std::string::npos);  // a file text stays Latin-1
    }
}

}  // namespace
