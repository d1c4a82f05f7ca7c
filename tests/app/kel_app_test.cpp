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
    int Ask(const std::string& question, const std::vector<std::string>& choices, int safeChoice) override
    {
        questions.push_back(question);
        for (std::size_t i = 0; i < choices.size(); ++i)
            if (choices[i] == answer) return static_cast<int>(i);
        return safeChoice;
    }

    std::vector<std::string> questions;
    std::string answer;  // the button the user presses; none: the safe one

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

TEST(CKelApp, SetupAppliesTheChosenOrientationOnlyOnOk)
{
    const struct {
        bool ok;
        int orientation;
        std::vector<bool> landscape;  // what the printer settings hear after start-up
    } cases[] = {{true, 1, {false}}, {true, 0, {true}}, {false, 1, {}}};
    for (const auto& c : cases) {
        TestContext t;
        FakeShell shell;
        CKelApp& app = t.context.kelApp;
        ASSERT_EQ(app.InitInstance(shell), 1);
        shell.orientations.clear();
        t.context.appInfo.runSetupDialog = [&c](int&, int& orientation, ArchiveSettings&) {
            orientation = c.orientation;
            return c.ok;
        };
        app.OnApplicationSetup();
        EXPECT_EQ(shell.orientations, c.landscape) << c.ok << c.orientation;
        EXPECT_EQ(t.context.appInfo.orientation, c.ok ? c.orientation : 0);
    }
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

// Edited texts not yet saved are never dropped without the user's word:
// every operation that replaces or drops the shown test asks first.
TEST(CKelApp, UnsavedTextsAreSavedDiscardedOrKeepTheTestAsTheUserSays)
{
    const struct {
        const char* answer;
        bool goesOn;      // the operation replaced or dropped the test
        bool savedInFile;
    } answers[] = {{"Save", true, true}, {"Discard", true, false}, {"Cancel", false, false}, {"", false, false}};
    enum class Operation { OpenByName, OpenFromSelection, New };
    for (const Operation operation : {Operation::OpenByName, Operation::OpenFromSelection, Operation::New}) {
        for (const auto& a : answers) {
            TempDir dir;
            CurrentFolder here(dir.path());
            TestFileBuilder().TestNumber(12).Operator("TESTER").Write(dir.File("T12.kel"));
            TestFileBuilder().TestNumber(15).Write(dir.File("T15.kel"));
            TestContext t;
            FakeShell shell;
            shell.answer = a.answer;
            CKelApp& app = t.context.kelApp;
            app.InitInstance(shell);
            ASSERT_EQ(app.OpenDocumentFile("T12.kel", 0), 1);
            CKelDoc& doc = *app.GetDocument();
            std::snprintf(doc.records[0].operatorName, sizeof doc.records[0].operatorName, "MY EDIT");
            doc.SetModifiedFlag(true);

            const std::string where = std::to_string(static_cast<int>(operation)) + " " + a.answer;
            if (operation == Operation::OpenByName) app.OpenDocumentFile("T15.kel", 0);
            if (operation == Operation::OpenFromSelection) {
                t.context.testCatalogue.SetOnly(dir.path().string(), "T15.kel");
                app.OpenDocumentFile("T15.kel", 1);
            }
            if (operation == Operation::New) app.OnFileNew();
            EXPECT_EQ(shell.questions, std::vector<std::string>{"Save changes to T12.kel?"}) << where;
            const bool replaced = operation == Operation::New ? doc.testOpen == 0 : doc.records[0].testNumber == 15;
            EXPECT_EQ(replaced, a.goesOn) << where;
            EXPECT_EQ(doc.IsModified(), !a.goesOn) << where;
            CKELFile file;
            ASSERT_TRUE(file.Load(dir.File("T12.kel"), 0));
            EXPECT_STREQ(file.operatorName, a.savedInFile ? "MY EDIT" : "TESTER") << where;
        }
    }
}

}  // namespace
