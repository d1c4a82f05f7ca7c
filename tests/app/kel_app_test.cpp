#include "app/kel_app.h"

#include <gtest/gtest.h>

#include "support/test_context.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::TempDir;
using kel_test::TestContext;
using kel_test::TestFileBuilder;

struct FakeShell : platform::ApplicationShell {
    void SetDefaultOrientation(bool landscape) override { orientations.push_back(landscape); }
    bool ProcessShellCommand() override
    {
        steps.push_back("process");
        return processes;
    }
    void ShowMainWindowMaximized() override { steps.push_back("show"); }
    void UpdateAllViews() override { ++updates; }
    void AddToRecentFileList(const std::string& path) override { recent.push_back(path); }
    void Report(const Status& status) override { reported.push_back(MessageFor(status).text); }

    std::vector<bool> orientations;
    std::vector<std::string> steps;
    std::vector<std::string> recent;
    std::vector<std::string> reported;
    bool processes = true;
    int updates = 0;
};

TEST(CKelApp, StartUpWithAnEmptyStoreAppliesLandscapeAndWritesNothing)
{
    TestContext t;
    kel_test::MemorySettingsStore& store = t.settings;
    FakeShell shell;
    CKelApp& app = t.context.kelApp;
    EXPECT_EQ(app.InitInstance(shell), 1);
    EXPECT_EQ(t.context.appInfo.comPort, 1);
    EXPECT_EQ(t.context.appInfo.orientation, 0);
    EXPECT_EQ(shell.orientations, std::vector<bool>{true});
    EXPECT_EQ(shell.steps, (std::vector<std::string>{"process", "show"}));
    EXPECT_EQ(store.writes, 0);
}

TEST(CKelApp, PortraitLeavesThePrinterAloneAndAFailedCommandLineEndsStartUp)
{
    TestContext t;
    t.settings.values[{"Settings", "Orientation"}] = 1;
    t.settings.values[{"Settings", "ComPort"}] = 7;
    FakeShell shell;
    shell.processes = false;
    CKelApp& app = t.context.kelApp;
    EXPECT_EQ(app.InitInstance(shell), 0);
    EXPECT_EQ(t.context.appInfo.comPort, 7);
    EXPECT_EQ(t.context.serialChannel.port, 7);
    EXPECT_TRUE(shell.orientations.empty());
    EXPECT_EQ(shell.steps, std::vector<std::string>{"process"});
}

TEST(CKelApp, OpeningByNameLoadsThatFileAloneAndEveryOpenReloads)
{
    TempDir dir;
    CurrentFolder here(dir.path());
    TestFileBuilder().TestNumber(12).Write(dir.File("TX12.kel"));
    TestFileBuilder().TestNumber(15).Write(dir.File("TX15.kel"));
    TestContext t;
    CKELTestList& testCatalogue = t.context.testCatalogue;
    testCatalogue.Refresh(dir.path().string());
    testCatalogue.selected[1] = 1;  // a stale selection a dialog left behind

    FakeShell shell;
    CKelApp& app = t.context.kelApp;
    app.InitInstance(shell);
    EXPECT_EQ(app.OpenDocumentFile("TX12.kel", 0), 1);
    CKelDoc& doc = *app.GetDocument();
    ASSERT_EQ(doc.recordCount, 1);
    EXPECT_EQ(doc.records[0].testNumber, 12);
    EXPECT_EQ(testCatalogue.fileCount, 1);
    EXPECT_EQ(testCatalogue.selected[0], 1);
    EXPECT_EQ(shell.recent, std::vector<std::string>{dir.File("TX12.kel")});
    EXPECT_EQ(app.GetPathName(), dir.File("TX12.kel"));

    doc.testOpen = 0;  // Close Test
    EXPECT_EQ(app.OpenDocumentFile(dir.File("TX12.kel"), 1), 1);  // the same name again
    EXPECT_NE(doc.testOpen, 0);

    app.OnFileNew();
    EXPECT_EQ(doc.testOpen, 0);
    EXPECT_TRUE(app.GetPathName().empty());

    EXPECT_EQ(app.OpenDocumentFile("missing.kel", 0), 0);
    EXPECT_EQ(shell.reported, std::vector<std::string>{"Can't open file " + dir.File("missing.kel")});
    EXPECT_EQ(shell.recent.size(), 2u);  // a failed open is not remembered
    EXPECT_EQ(doc.testOpen, 0);
    EXPECT_EQ(shell.updates, 4);  // every open and new redraws the views
}

}  // namespace
