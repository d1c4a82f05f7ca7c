// The desktop program's window, offscreen: menus, prompts, enable rules, the
// view's zoom and Close Test, printing, start-up and opening files.
#include "ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QMimeData>
#include <QUrl>
#include <QShortcut>
#include <QToolBar>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "ui/desktop_shell.h"
#include "ui/kel_view.h"
#include "qt/qt_message_presenter.h"
#include "ui/recall_dialog.h"
#include "resources/resource_ids.h"
#include "support/qt_test_main.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::MemorySettingsStore;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 1; i <= 4; ++i)
            TestFileBuilder().TestType(3).TestNumber(static_cast<std::uint16_t>(i)).Samples(120, 500, 1e-9)
                .Company("ACME").Write(dir.File("T" + std::to_string(i) + ".kel"));
        ASSERT_EQ(context.kelApp.InitInstance(shell), 1);
        frame = shell.frame();
        view = frame->view();
    }
    // Shows `count` tests, as a dialog's choice does.
    void Show(int count)
    {
        context.testCatalogue.Refresh(dir.path().string());
        for (int i = 0; i < count; ++i) context.testCatalogue.selected[i] = 1;
        context.kelApp.OpenDocumentFile(context.testCatalogue.fileNames[0], 1);
    }
    bool Enabled(int id)
    {
        // As the user sees it: the update handlers run when the menu opens.
        QAction* action = frame->ActionsFor(id).value(0);
        for (QMenu* menu : frame->menuBar()->findChildren<QMenu*>()) emit menu->aboutToShow();
        return action->isEnabled();
    }

    TempDir dir;
    CurrentFolder here{dir.path()};
    kel_test::TestContext t;
    KelContext& context = t.context;
    MemorySettingsStore& store = t.settings;
    DesktopShell shell{context};
    CMainFrame* frame = nullptr;
    CKelView* view = nullptr;
};

TEST_F(FrameTest, CaptionMenuTextsIdsAndShortcuts)
{
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("KEL-7300 Version 1.12"));
    QStringList bar;
    for (QAction* action : frame->menuBar()->actions()) bar << action->text();
    // Each answers to Alt and a letter of its own; without the marks the texts are as they were.
    EXPECT_EQ(bar, (QStringList{"&File", "&Recall-Test", "Retrieve &Test Record", "File-&Utilities",
                                "&Application-Setup", "&Help"}));
    QMenu* file = frame->menuBar()->actions()[0]->menu();
    QStringList items;
    for (QAction* action : file->actions())
        items << (action->isSeparator() ? QStringLiteral("---")
                                        : action->text() + QLatin1Char('=') + action->data().toString());
    EXPECT_EQ(items, (QStringList{"Recall Test\tCtrl+O=32774", "---", "Close Test=32777", "---", "Edit Test=32779",
                                  "Save Test=32780", "---", "Retrieve Test Record...\tCtrl+D=32772", "---",
                                  "Return KEL-7300 to Panel Control=32773", "---", "File Utilities=",
                                  "Application Setup...=32775", "---", "&Print...\tCtrl+P=57607",
                                  "Print Pre&view=57609", "P&rint Setup...=57606", "---", "Recent File=57616", "---",
                                  "E&xit=57665"}));
    EXPECT_EQ(frame->ActionsFor(ids::ID_RECALL_TEST).size(), 2);          // File menu and menu bar
    EXPECT_EQ(frame->ActionsFor(ids::ID_FILE_MANIPULATION).size(), 2);    // both File Utilities popups
    EXPECT_FALSE(frame->findChild<QToolBar*>());

    QStringList keys;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>()) keys << shortcut->key().toString();
    for (const char* key : {"Ctrl+O", "Ctrl+D", "Ctrl+P", "Ctrl+N", "Ctrl+S", "Ctrl+Ins", "Shift+Del", "F6"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
}

TEST_F(FrameTest, StatusBarShowsPromptsAndReady)
{
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Ready"));
    frame->ActionsFor(ids::ID_RECALL_TEST)[0]->hover();
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Load a test from disk."));
    frame->ActionsFor(ids::ID_FILE_PRINT)[0]->hover();
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Print the active document"));
    QMenu* file = frame->menuBar()->actions()[0]->menu();
    emit file->aboutToHide();
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Ready"));

    // A direct menu-bar entry: its prompt ends when the pointer leaves the bar, and when it is chosen.
    QAction* setup = frame->ActionsFor(ids::ID_APPLICATION_SETUP)[0];
    setup->hover();
    EXPECT_NE(frame->StatusText(), QStringLiteral("Ready"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(frame->menuBar(), &leave);
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Ready"));
    setup->hover();
    QString during;
    context.appInfo.runSetupDialog = [&](int&, int&, ArchiveSettings&) {
        during = frame->StatusText();
        return false;
    };
    setup->trigger();
    context.appInfo.runSetupDialog = nullptr;
    EXPECT_EQ(during, QStringLiteral("Ready"));
    ASSERT_EQ(frame->Indicators().size(), 3);
    EXPECT_EQ(frame->Indicators()[0]->text(), QStringLiteral("CAP"));
    EXPECT_EQ(frame->Indicators()[2]->text(), QStringLiteral("SCRL"));
}

TEST_F(FrameTest, LockKeyPanesShowTheKeysThatAreOnAndGreyWhereTheStateIsUnknown)
{
    const struct {
        std::optional<LockKeys> keys;
        std::vector<bool> enabled;  // CAP, NUM, SCRL
    } cases[] = {
        {std::nullopt, {false, false, false}},
        {LockKeys{true, false, false}, {true, false, false}},
        {LockKeys{false, true, true}, {false, true, true}},
    };
    for (const auto& c : cases) {
        frame->lockKeys = [&] { return c.keys; };
        frame->UpdateIndicators();
        std::vector<bool> enabled;
        for (QLabel* pane : frame->Indicators()) enabled.push_back(pane->isEnabled());
        EXPECT_EQ(enabled, c.enabled);
    }
    // Offscreen there is no keyboard to ask.
    EXPECT_EQ(ReadLockKeys().has_value(), QGuiApplication::platformName() != QLatin1String("offscreen"));
}

TEST_F(FrameTest, EditAndSaveTestOnlyWithExactlyOneTest)
{
    const struct {
        int tests;
        bool one;
    } cases[] = {{0, false}, {1, true}, {2, false}, {4, false}};
    for (const auto& c : cases) {
        if (c.tests) Show(c.tests);
        EXPECT_EQ(Enabled(ids::ID_EDIT_TEST), c.one) << c.tests;
        EXPECT_EQ(Enabled(ids::ID_SAVE_TEST), c.one) << c.tests;
        EXPECT_EQ(Enabled(ids::ID_CLOSE_TEST), c.tests > 0) << c.tests;
    }
    Show(1);
    frame->RunCommand(ids::ID_CLOSE_TEST);
    EXPECT_FALSE(Enabled(ids::ID_SAVE_TEST));
    EXPECT_FALSE(Enabled(ids::ID_CLOSE_TEST));
    EXPECT_EQ(context.kelApp.GetDocument()->recordCount, 1);  // Close Test keeps the records
    Show(1);
    EXPECT_TRUE(Enabled(ids::ID_SAVE_TEST));
    frame->RunCommand(ids::ID_FILE_NEW);  // Ctrl+N
    EXPECT_FALSE(Enabled(ids::ID_EDIT_TEST));
    EXPECT_FALSE(frame->RunCommand(ids::ID_SAVE_TEST));  // a greyed command does not run
    EXPECT_FALSE(frame->RunCommand(ids::ID_FILE_SAVE));  // Ctrl+S does nothing
}

TEST_F(FrameTest, SaveTestWritesTheEditedTexts)
{
    Show(1);
    std::snprintf(context.kelApp.GetDocument()->records[0].operatorName, 21, "%s", "NEW OPERATOR");
    EXPECT_TRUE(frame->RunCommand(ids::ID_SAVE_TEST));
    CKELFile reread;
    ASSERT_TRUE(reread.Load(dir.File("T1.kel"), 0));
    EXPECT_STREQ(reread.operatorName, "NEW OPERATOR");
}

TEST_F(FrameTest, ZoomToggleAlsoWithoutATest)
{
    view->resize(800, 601);
    view->OnLButtonUp(100, 300);
    EXPECT_EQ(view->zoomed, 0);
    view->OnLButtonUp(400, 301);
    EXPECT_EQ(view->zoomed, 1);
    EXPECT_EQ(view->zoomResistance, 0);
    view->OnLButtonUp(0, 0);
    EXPECT_EQ(view->zoomed, 0);
    view->OnLButtonUp(399, 301);
    EXPECT_EQ(view->zoomResistance, 1);
    Show(1);  // the next test shows zoomed
    EXPECT_EQ(view->zoomed, 1);
}

std::string PdfText(const std::string& pdf, int* pages)
{
    FILE* pipe = popen(("pdfinfo " + pdf + " && pdftotext " + pdf + " -").c_str(), "r");
    std::string text;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
    pclose(pipe);
    std::sscanf(text.c_str() + text.find("Pages:") + 6, "%d", pages);
    return text;
}

TEST_F(FrameTest, PrintingGivesOneSheetWithTheReport)
{
    const struct {
        int tests, zoomed;
        const char* expected;
        const char* absent;
    } cases[] = {
        {1, 0, "Test Number: 1", nullptr},
        {1, 1, "Current Plot", "Test Number"},
        {0, 0, "", "Test Number"},  // no test shown: one blank sheet
    };
    for (const auto& c : cases) {
        if (c.tests) Show(c.tests);
        else frame->RunCommand(ids::ID_FILE_NEW);
        view->zoomed = c.zoomed;
        view->zoomResistance = 0;
        QPrinter& printer = shell.printer();
        const std::string pdf = dir.File("print.pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        view->OnPrint(printer);
        int pages = 0;
        const std::string text = PdfText(pdf, &pages);
        EXPECT_EQ(pages, 1) << c.expected;
        EXPECT_NE(text.find(c.expected), std::string::npos) << text;
        if (c.absent) {
            EXPECT_EQ(text.find(c.absent), std::string::npos) << text;
        }
        EXPECT_EQ(view->printing, 1);
    }
}

TEST_F(FrameTest, StartUpAppliesLandscapeUnlessPortraitIsStored)
{
    EXPECT_EQ(shell.printer().pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_EQ(store.writes, 0);
    store.values[{"Settings", "Orientation"}] = 1;
    DesktopShell portrait(context);
    portrait.printer().setPageOrientation(QPageLayout::Portrait);
    ASSERT_EQ(context.kelApp.InitInstance(portrait), 1);
    EXPECT_EQ(portrait.printer().pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_EQ(context.appInfo.orientation, 1);
    ASSERT_EQ(context.kelApp.InitInstance(shell), 1);  // back to the fixture's shell
}

TEST_F(FrameTest, RecentFilesAndOpenByName)
{
    ASSERT_TRUE(frame->openFile);
    frame->openFile(QString::fromStdString(dir.File("T3.kel")));
    ASSERT_EQ(context.kelApp.GetDocument()->recordCount, 1);
    EXPECT_EQ(context.kelApp.GetDocument()->records[0].testNumber, 3);
    const QStringList recent = shell.RecentFiles();
    ASSERT_FALSE(recent.isEmpty());
    EXPECT_EQ(recent[0], QString::fromStdString(dir.File("T3.kel")));
    QMenu* file = frame->menuBar()->actions()[0]->menu();
    emit file->aboutToShow();
    bool listed = false;
    for (QAction* action : file->actions()) listed |= action->text().startsWith(QLatin1String("&1 "));
    EXPECT_TRUE(listed);
}

TEST_F(FrameTest, ADroppedTestFileOpensAlone)
{
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("notes.txt")))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("T2.KEL"))),
                   QUrl::fromLocalFile(QString::fromStdString(dir.File("T4.kel")))});
    std::filesystem::rename(dir.File("T2.kel"), dir.File("T2.KEL"));
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &drop);
    ASSERT_EQ(context.kelApp.GetDocument()->recordCount, 1);
    EXPECT_EQ(context.kelApp.GetDocument()->records[0].testNumber, 2);
    EXPECT_NE(context.kelApp.GetDocument()->testOpen, 0);
}

TEST_F(FrameTest, NamesInAnyScriptReachEveryWidgetAsTheyAre)
{
    namespace fs = std::filesystem;
    const std::string pruef = "Pr\xC3\xBC" "fdaten", rnd = "R&D";
    const std::string names[] = {"Pr\xC3\xBC" "fung \xC3\x96lpumpe.kel", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.kel"};
    fs::create_directories(dir.path() / pruef);
    fs::create_directories(dir.path() / rnd);
    for (const std::string& name : names) TestFileBuilder().TestType(1).Write(dir.File(pruef + "/" + name));
    TestFileBuilder().TestNumber(7).Write(dir.File(rnd + "/Motor&Pump.kel"));

    // Recent files: the name as it is, its '&' shown rather than taken as a mnemonic.
    const QString motor = QString::fromUtf8(dir.File(rnd + "/Motor&Pump.kel"));
    frame->openFile(motor);
    ASSERT_EQ(context.kelApp.GetDocument()->records[0].testNumber, 7);
    EXPECT_EQ(shell.RecentFiles().value(0), motor);
    QMenu* file = frame->menuBar()->actions()[0]->menu();
    emit file->aboutToShow();
    QStringList entries;
    for (QAction* action : file->actions())
        if (action->text().startsWith(QLatin1String("&1 "))) entries << action->text();
    EXPECT_EQ(entries, QStringList{"&1 " + QString(motor).replace("&", "&&")});

    // The Recall Test dialog in a folder whose name is not ASCII: rows and the Shot Path label.
    CurrentFolder inside(dir.path() / pruef);
    COpenTestDlg dialog(context);  // it shows the current folder
    dialog.OnInitDialog();
    ASSERT_EQ(dialog.fileList->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.fileList->topLevelItem(0)->text(0), QString::fromUtf8(names[0]));
    EXPECT_EQ(dialog.fileList->topLevelItem(1)->text(0), QString::fromUtf8(names[1]));
    EXPECT_EQ(qobject_cast<QLabel*>(dialog.GetDlgItem(1022))->text(), QString::fromUtf8(dir.File(pruef)));

    // A message box names the file as the user sees it.
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    platform::QtMessagePresenter presenter;
    t.services.presenter = &presenter;
    context.kelApp.OpenDocumentFile(dir.File(pruef + "/missing.kel"), 0);
    t.services.presenter = &t.presenter;
    EXPECT_EQ(shown, QString::fromUtf8("Can't open file " + dir.File(pruef + "/missing.kel")));
}

}  // namespace

int main(int argc, char** argv)
{
    return kel_test::RunQtTests(argc, argv);
}
