// Retrieve Test Record, the directory and transfer dialogs, Setup and About,
// end to end in the desktop program against the in-process simulator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "ui/desktop_shell.h"
#include "ui/directory_dialog.h"
#include "ui/xfer_dlg.h"
#include "resources/resource_ids.h"
#include "support/fake_port.h"
#include "support/test_file_builder.h"
#include "tools/demo_set.h"
#include "support/test_context.h"
#include "ui/main_frame.h"
#include "ui/setup_about_dialogs.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::MemorySettingsStore;
using kel_test::RecordingPresenter;
using kel_test::SimulatorPort;
using kel_test::TempDir;

class TesterUiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
        context.serialChannel.Close();
        t.openPort = [this] { return std::make_unique<SimulatorPort>(simulator, t.services); };
        t.services.eventPump = [](int) { QCoreApplication::processEvents(); };
        ASSERT_EQ(context.kelApp.InitInstance(shell), 1);
        frame = shell.frame();
    }
    void TearDown() override
    {
        context.serialChannel.Close();
        unsetenv("XDG_CACHE_HOME");
    }
    // Runs a command whose modal dialogs `user` then drives, one step per dialog.
    void RunWithDialogs(int id, std::vector<std::function<void(QWidget*)>> steps)
    {
        auto remaining = std::make_shared<std::vector<std::function<void(QWidget*)>>>(std::move(steps));
        std::function<void()> next;
        next = [remaining, &next] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || remaining->empty()) {
                if (!remaining->empty()) QTimer::singleShot(5, next);
                return;
            }
            auto step = remaining->front();
            remaining->erase(remaining->begin());
            step(modal);
            if (!remaining->empty()) QTimer::singleShot(5, next);
        };
        QTimer::singleShot(0, next);
        frame->RunCommand(id);
    }
    static void Select(CTestDlg* dialog, std::initializer_list<int> rows)
    {
        for (int row : rows)
            dialog->testList->selectionModel()->select(dialog->testList->model()->index(row, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    TempDir cache;
    TempDir folder;
    CurrentFolder here{folder.path()};
    kel_test::TestContext t;
    KelContext& context = t.context;
    MemorySettingsStore& store = t.settings;
    RecordingPresenter& presenter = t.presenter;
    TesterSimulator simulator{TesterSimulator::DemoTests()};
    DesktopShell shell{context};
    CMainFrame* frame = nullptr;
};

TEST_F(TesterUiTest, RetrieveSelectDownloadShowsTheFirstTest)
{
    RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD, {[](QWidget* widget) {
        auto* dialog = dynamic_cast<CTestDlg*>(widget);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("KEL-7300 Directory"));
        ASSERT_EQ(dialog->testList->topLevelItemCount(), 7);
        EXPECT_EQ(dialog->testList->topLevelItem(2)->text(0), QStringLiteral("0003"));
        EXPECT_EQ(dialog->testList->topLevelItem(2)->text(3), QStringLiteral("PI"));
        EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->text(), QStringLiteral("Test"));
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->setText(QStringLiteral("Job"));
        Select(dialog, {4, 2});
        qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
    }});
    EXPECT_TRUE(std::filesystem::exists(folder.File("Job3.kel")));
    EXPECT_TRUE(std::filesystem::exists(folder.File("Job5.kel")));
    CKelDoc& doc = *context.kelApp.GetDocument();
    ASSERT_EQ(doc.recordCount, 1);  // the first selected row's test alone
    EXPECT_EQ(doc.records[0].testNumber, 3);
    EXPECT_NE(doc.testOpen, 0);
    EXPECT_TRUE(presenter.messages.empty());
}

// A download into a name that holds another test asks; "Keep Both" saves the
// test beside it and shows that file. The same test with the user's texts is kept and said so.
TEST_F(TesterUiTest, ATakenNameIsTheUsersToDecideAndTheTestShownIsTheOneSaved)
{
    const std::vector<std::uint8_t> other = {'O', 'T', 'H', 'E', 'R'};
    kel_test::WriteFileBytes(folder.File("Test3.kel"), other);
    presenter.answers = {"Keep Both"};
    const auto download = [&](int row) {
        RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD, {[row](QWidget* widget) {
            auto* dialog = dynamic_cast<CTestDlg*>(widget);
            Select(dialog, {row});
            qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
        }});
    };
    download(2);
    ASSERT_EQ(presenter.questions.size(), 1u);
    EXPECT_EQ(presenter.questions[0], "Test3.kel holds another test, or no test. Replace it, keep both (test 3 as "
                                      "\"Test3 (2).kel\"), or skip test 3?");
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test3.kel")), other);
    CKelDoc& doc = *context.kelApp.GetDocument();
    ASSERT_NE(doc.testOpen, 0);
    EXPECT_EQ(doc.records[0].path, folder.File("Test3 (2).kel"));

    // The user corrects the texts of the file; a download again keeps them and says so.
    CKELFile& shown = doc.records[0];
    std::snprintf(shown.operatorName, sizeof shown.operatorName, "MY EDIT");
    ASSERT_TRUE(context.kelApp.SaveTest());
    const auto edited = kel_test::ReadFileBytes(folder.File("Test3 (2).kel"));
    std::filesystem::rename(folder.File("Test3 (2).kel"), folder.File("Test3.kel"));
    download(2);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Test3.kel holds this test with other texts; it was kept as it is"});
    EXPECT_EQ(kel_test::ReadFileBytes(folder.File("Test3.kel")), edited);
    EXPECT_STREQ(doc.records[0].operatorName, "MY EDIT");
}

TEST_F(TesterUiTest, DeleteTestAsksThenErasesTheSelectedInOrderAndCloses)
{
    TempDir demo;
    ASSERT_TRUE(WriteDemoTests(demo.path().string(), nullptr, nullptr, false));
    // Test 5 was downloaded (and its texts corrected); Test2.kel holds another test.
    std::filesystem::copy_file(demo.File("Test5.kel"), folder.File("Test5.kel"));
    CKELFile corrected;
    ASSERT_TRUE(corrected.Load(folder.File("Test5.kel"), 0));
    std::snprintf(corrected.operatorName, sizeof corrected.operatorName, "MY EDIT");
    ASSERT_TRUE(corrected.WriteHeaderTexts());
    std::filesystem::copy_file(demo.File("Test4.kel"), folder.File("Test2.kel"));
    bool openAfterCancel = false;
    RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD, {[&](QWidget* widget) {
        auto* dialog = dynamic_cast<CTestDlg*>(widget);
        qobject_cast<QPushButton*>(dialog->GetDlgItem(1002))->click();  // nothing selected
        Select(dialog, {4, 1});
        qobject_cast<QPushButton*>(dialog->GetDlgItem(1002))->click();  // the question's default: Cancel
        openAfterCancel = dialog->isVisible() && simulator.erased.empty();
        presenter.answers = {"Erase"};
        qobject_cast<QPushButton*>(dialog->GetDlgItem(1002))->click();
    }});
    EXPECT_TRUE(openAfterCancel);
    ASSERT_EQ(presenter.questions.size(), 2u);
    EXPECT_EQ(presenter.questions[0], "Erase these tests on the KEL-7300?\n\n0002 (not downloaded yet)\n0005\n\n"
                                      "An erased test cannot be brought back.");
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Please select test first"});
    EXPECT_EQ(simulator.erased, (std::vector<int>{2, 5}));
    EXPECT_EQ(context.kelApp.GetDocument()->testOpen, 0);
}

TEST_F(TesterUiTest, AFailedDownloadKeepsTheDialogOpenAndTheLongPrefixIsRefused)
{
    simulator.faults.answerIn = true;
    bool stillOpen = false;
    RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD,
                   {[&](QWidget* widget) {
                        auto* dialog = dynamic_cast<CTestDlg*>(widget);
                        Select(dialog, {0});
                        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->setText(QString(300, 'P'));
                        qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
                        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->setText(QStringLiteral("T"));
                        qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
                        stillOpen = dialog->isVisible();
                        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDCANCEL), "click");
                    }});
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(presenter.Texts(),
              (std::vector<std::string>{"The file prefix is too long", "Test not found or invalid entry"}));
    EXPECT_EQ(simulator.commands, (std::vector<std::string>{"???", "DIR", "XMT 1"}));
    EXPECT_FALSE(std::filesystem::exists(folder.File("T1.kel")));
}

TEST_F(TesterUiTest, APrefixIsRefusedBeforeAnythingIsSentOnlyWhenItsNameCannotExist)
{
    // Test 1 gives the name prefix + "1.kel": 255 characters fit a file name, 256 do not.
    const struct {
        int length;
        bool downloads;
        const char* message;
    } cases[] = {
        {245, true, ""},
        {250, true, ""},
        {251, false, "The file prefix is too long: a file name holds at most 255 characters"},
        {300, false, "The file prefix is too long"},
    };
    for (const auto& c : cases) {
        presenter.messages.clear();
        simulator.commands.clear();
        RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD, {[&](QWidget* widget) {
                           auto* dialog = dynamic_cast<CTestDlg*>(widget);
                           Select(dialog, {0});
                           qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->setText(QString(c.length, 'P'));
                           qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
                           if (dialog->isVisible()) QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDCANCEL), "click");
                       }});
        const std::string name = std::string(static_cast<std::size_t>(c.length), 'P') + "1.kel";
        std::error_code error;
        EXPECT_EQ(std::filesystem::exists(folder.path() / name, error), c.downloads) << c.length;
        EXPECT_EQ(presenter.Texts(), c.downloads ? std::vector<std::string>{} : std::vector<std::string>{c.message})
            << c.length;
        // Refused: the directory was read, and nothing more went to the tester.
        EXPECT_EQ(simulator.commands.size(), c.downloads ? 3u : 2u) << c.length;
        // Nothing but the downloaded test is left in the folder.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), c.downloads ? 1 : 0)
            << c.length;
        std::filesystem::remove(folder.path() / name, error);
    }
}

TEST_F(TesterUiTest, APrefixInAnyScriptNamesTheFileAsTyped)
{
    RunWithDialogs(ids::ID_RETRIEVE_TEST_RECORD, {[](QWidget* widget) {
        auto* dialog = dynamic_cast<CTestDlg*>(widget);
        Select(dialog, {0});
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1005))->setText(QString::fromUtf8("Pr\xC3\xBC" "f\xE6\x97\xA5"));
        qobject_cast<QPushButton*>(dialog->GetDlgItem(1006))->click();
    }});
    // The system's bytes for the name: UTF-8 here, so that the recent-file list can open it again.
    EXPECT_TRUE(std::filesystem::exists(folder.File("Pr\xC3\xBC" "f\xE6\x97\xA5" "1.kel")));
    EXPECT_EQ(context.kelApp.GetDocument()->records[0].path, folder.File("Pr\xC3\xBC" "f\xE6\x97\xA5" "1.kel"));
    EXPECT_TRUE(presenter.messages.empty());
}

TEST_F(TesterUiTest, SilentTesterNoDialog)
{
    simulator.faults.silent = true;
    kel_test::FakeClock clock(t.services);
    frame->RunCommand(ids::ID_RETRIEVE_TEST_RECORD);
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"KEL-7300 not responding"});
    EXPECT_FALSE(QApplication::activeModalWidget());
}

TEST_F(TesterUiTest, SetupStoresAppliesAndPointsTheChannelAtThePort)
{
    context.appInfo.comPort = 3;
    context.appInfo.orientation = 0;
    context.serialChannel.Open();
    RunWithDialogs(ids::ID_APPLICATION_SETUP, {[](QWidget* widget) {
        auto* dialog = dynamic_cast<CAppSetup*>(widget);
        ASSERT_TRUE(dialog);
        ASSERT_EQ(dialog->portList->count(), 100);
        // Each entry in its place, with where it leads: COM3 is /dev/ttyS2 here, COM100 leads nowhere.
        EXPECT_TRUE(dialog->portList->currentText().startsWith(QStringLiteral("COM3:  /dev/ttyS2")))
            << dialog->portList->currentText().toStdString();
        EXPECT_TRUE(dialog->portList->itemText(32).startsWith(QStringLiteral("COM33:  /dev/ttyUSB0")));
        EXPECT_EQ(dialog->portList->itemText(99), QStringLiteral("COM100:"));
        if (const char* shot = std::getenv("KEL_SETUP_SCREENSHOT")) dialog->grab().save(QString::fromLocal8Bit(shot));
        dialog->portList->setCurrentIndex(11);
        qobject_cast<QRadioButton*>(dialog->GetDlgItem(1010))->click();
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    }});
    EXPECT_EQ(store.values.at({"Settings", "ComPort"}), 12);
    EXPECT_EQ(store.values.at({"Settings", "Orientation"}), 1);
    EXPECT_EQ(shell.printer().pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_FALSE(context.serialChannel.handle);  // closed: the next exchange opens port 12
    EXPECT_EQ(context.serialChannel.port, 12);

    const int writes = store.writes;
    context.serialChannel.Open();
    RunWithDialogs(ids::ID_APPLICATION_SETUP, {[](QWidget* widget) {
        QMetaObject::invokeMethod(dynamic_cast<CAppSetup*>(widget)->GetDlgItem(resources::IDCANCEL), "click");
    }});
    EXPECT_EQ(store.writes, writes);  // Cancel changes nothing
    EXPECT_TRUE(context.serialChannel.handle);
}

TEST_F(TesterUiTest, AboutShowsTheTestersVersionOrNA)
{
    for (const bool silent : {false, true}) {
        simulator.faults.silent = silent;
        std::unique_ptr<kel_test::FakeClock> clock;
        if (silent) clock = std::make_unique<kel_test::FakeClock>(t.services);
        QString shown;
        RunWithDialogs(ids::ID_APP_ABOUT, {[&](QWidget* widget) {
            auto* about = dynamic_cast<CAboutDlg*>(widget);
            ASSERT_TRUE(about);
            shown = qobject_cast<QLabel*>(about->GetDlgItem(1000))->text();
            // The application's icon where the template places it: a blue tile with a white plot.
            QImage icon;
            for (QLabel* label : about->findChildren<QLabel*>())
                if (!label->pixmap().isNull()) icon = label->pixmap().toImage();
            ASSERT_FALSE(icon.isNull());
            EXPECT_EQ(icon.pixelColor(5, icon.height() / 2), QColor(0, 0, 255));
            EXPECT_EQ(icon.pixelColor(icon.width() / 2, icon.height() / 2 - 3), QColor(Qt::white));
            EXPECT_FALSE(about->windowIcon().isNull());
            QMetaObject::invokeMethod(about->GetDlgItem(resources::IDOK), "click");
        }});
        EXPECT_EQ(shown, silent ? QStringLiteral("KEL-7300 Version: N/A") : QStringLiteral("KEL-7300 Version: 1.20"));
    }
}

TEST_F(TesterUiTest, ReturnToPanelAndTheCommandsWaitDuringAnExchange)
{
    EXPECT_TRUE(frame->RunCommand(ids::ID_RETURN_TO_PANEL));
    EXPECT_EQ(simulator.commands, std::vector<std::string>{"END"});
    ExchangeGuard busy(context.serialChannel);
    EXPECT_FALSE(frame->router().IsEnabled(ids::ID_RETRIEVE_TEST_RECORD));
    EXPECT_FALSE(frame->RunCommand(ids::ID_RETURN_TO_PANEL));
    EXPECT_EQ(simulator.commands.size(), 1u);
}

}  // namespace
