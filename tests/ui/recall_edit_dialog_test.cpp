// The Recall Test and Edit Test dialogs, offscreen, with their commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

#include "ui/desktop_shell.h"
#include "ui/kel_view.h"
#include "resources/resource_ids.h"
#include "support/recording_surface.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"
#include "ui/edit_test_dialog.h"
#include "ui/folders.h"
#include "ui/main_frame.h"
#include "ui/recall_dialog.h"

namespace {

using kel_test::CurrentFolder;
using kel_test::MemorySettingsStore;
using kel_test::RecordingPresenter;
using kel_test::TempDir;
using kel_test::TestFileBuilder;

void WriteTests(const TempDir& dir, int count)
{
    for (int i = 1; i <= count; ++i) {
        TestFileBuilder builder;
        builder.TestType(3).TestNumber(static_cast<std::uint16_t>(i)).Company("CO " + std::to_string(i));
        // Test i: 60 s at 500 V of 1 nA times i, so that each shows its own curve.
        builder.Samples(60, 500, 1e-9 * i);
        builder.Write(dir.File("T" + std::to_string(i) + ".kel"));
    }
}

void SelectRows(COpenTestDlg& dialog, std::initializer_list<int> rows)
{
    dialog.fileList->clearSelection();
    for (int row : rows)
        dialog.fileList->selectionModel()->select(dialog.fileList->model()->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// The test files the catalogue marks, by row.
std::vector<int> Marked(const CKELTestList& catalogue)
{
    std::vector<int> marked;
    for (int i = 0; i < catalogue.fileCount; ++i)
        if (catalogue.selected[i]) marked.push_back(i);
    return marked;
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
    int count = 0;
};

class RecallTest : public ::testing::Test {
protected:
    TempDir dir;
    CurrentFolder here{dir.path()};
    kel_test::TestContext t;
    KelContext& context = t.context;
    RecordingPresenter& presenter = t.presenter;
    void SetFolderChooser(platform::FolderChooser chooser) { t.services.folderChooser = std::move(chooser); }
};

TEST_F(RecallTest, EmptyFolderAndTheOkMessages)
{
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Recall Test"));
    EXPECT_EQ(dialog.fileList->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.shotPath, dir.path().string());
    dialog.OnOK();
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"Please select a test first"});
    EXPECT_EQ(presenter.messages[0].kind, platform::MessageKind::Application);
    EXPECT_NE(dialog.result(), resources::IDOK);
}

TEST_F(RecallTest, FiveRowsAreRefusedFourAccepted)
{
    WriteTests(dir, 6);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    ASSERT_EQ(dialog.fileList->topLevelItemCount(), 6);
    SelectRows(dialog, {0, 1, 2, 3, 4});
    dialog.OnOK();
    EXPECT_EQ(presenter.Texts(), std::vector<std::string>{"You can overlay a maximum of 4 tests"});
    EXPECT_NE(dialog.result(), resources::IDOK);
    EXPECT_TRUE(Marked(context.testCatalogue).empty());
    SelectRows(dialog, {0, 1, 2, 4});
    dialog.OnOK();
    EXPECT_EQ(dialog.result(), resources::IDOK);
    EXPECT_EQ(Marked(context.testCatalogue), (std::vector<int>{0, 1, 2, 4}));
}

TEST_F(RecallTest, RowsChosenOutOfOrderAreMarkedInRowOrder)
{
    WriteTests(dir, 8);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    SelectRows(dialog, {7, 2, 4});
    dialog.OnOK();
    EXPECT_EQ(Marked(context.testCatalogue), (std::vector<int>{2, 4, 7}));
    EXPECT_EQ(dialog.selectedName, "T3.kel");
    EXPECT_EQ(dialog.fileList->topLevelItem(2)->text(0), QStringLiteral("T3.kel"));
    EXPECT_EQ(dialog.fileList->topLevelItem(2)->text(4), QStringLiteral("CO 3"));
    EXPECT_EQ(dialog.fileList->topLevelItem(2)->text(2), QStringLiteral("PI"));
}

TEST_F(RecallTest, OpensWithTheKeysInTheListSoThatDownSelectsTheFirstTest)
{
    WriteTests(dir, 3);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), dialog.fileList);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(dialog.fileList, &down);
    const QModelIndexList rows = dialog.fileList->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].row(), 0);
    EXPECT_EQ(dialog.previewRecord.testNumber, 1);
}

TEST_F(RecallTest, EveryColumnIsReadableAtTheOpeningSize)
{
    WriteTests(dir, 3);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    dialog.show();
    QCoreApplication::processEvents();
    // All seven columns fit the list: no horizontal scroll bar hides the last ones.
    EXPECT_LE(dialog.fileList->header()->length(), dialog.fileList->viewport()->width());
    EXPECT_FALSE(dialog.fileList->horizontalScrollBar()->isVisible());
    EXPECT_LE(dialog.width(), dialog.screen()->availableGeometry().width());
}

TEST_F(RecallTest, DoubleClickActsAsOk)
{
    WriteTests(dir, 3);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    SelectRows(dialog, {1});
    emit dialog.fileList->itemDoubleClicked(dialog.fileList->topLevelItem(1), 0);
    EXPECT_EQ(dialog.result(), resources::IDOK);
    EXPECT_EQ(dialog.selectedName, "T2.kel");
}

TEST_F(RecallTest, PreviewsShowTheLastSelectedTestResistanceLeftCurrentRight)
{
    WriteTests(dir, 3);
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.previewLoaded, 0);
    SelectRows(dialog, {0});
    EXPECT_EQ(dialog.previewRecord.testNumber, 1);
    // Rows 1 and 2 selected at once (a shift-click): previewed in turn, the last stays.
    dialog.fileList->selectionModel()->select(
        QItemSelection(dialog.fileList->model()->index(1, 0), dialog.fileList->model()->index(2, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(dialog.previewLoaded, 1);
    EXPECT_EQ(dialog.previewRecord.testNumber, 3);
    dialog.fileList->selectionModel()->select(dialog.fileList->model()->index(2, 0),
                                              QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    EXPECT_EQ(dialog.previewRecord.testNumber, 2);  // the preview follows what is still chosen

    const auto colours = [&](int id) {
        QWidget* button = dialog.GetDlgItem(id);
        QImage image(button->size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        button->render(&image);
        bool green = false, yellow = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                green |= (image.pixel(x, y) & 0xFFFFFF) == 0x00FF00;
                yellow |= (image.pixel(x, y) & 0xFFFFFF) == 0xFFFF00;
            }
        return std::make_pair(green, yellow);
    };
    EXPECT_EQ(colours(1019), std::make_pair(true, false));  // resistance: green
    EXPECT_EQ(colours(1014), std::make_pair(false, true));  // current: yellow

    // A listed file that is no test: no preview change and no message.
    TestFileBuilder().Magic(0).Write(dir.File("T2.kel"));
    dialog.show();
    QCoreApplication::processEvents();
    PaintCounter paints;
    for (const int id : {1014, 1019}) dialog.GetDlgItem(id)->installEventFilter(&paints);
    SelectRows(dialog, {1});
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.previewLoaded, 0);
    EXPECT_TRUE(presenter.messages.empty());
    // Both previews are painted again, empty, instead of keeping the last test's curves.
    EXPECT_EQ(paints.count, 2);
    EXPECT_EQ(colours(1019), std::make_pair(false, false));
}

TEST_F(RecallTest, ShotPathListsTheChosenFolderAndKeepsThePreview)
{
    WriteTests(dir, 2);
    TempDir other;
    TestFileBuilder().TestNumber(9).Write(other.File("OTHER.KEL"));
    COpenTestDlg dialog(context);
    dialog.OnInitDialog();
    SelectRows(dialog, {1});
    std::string asked;
    SetFolderChooser([&](const std::string& title, const std::string& start, std::string& folder) {
        asked = title + "|" + start;
        folder = other.path().string();
        return true;
    });
    QMetaObject::invokeMethod(dialog.GetDlgItem(1023), "click");
    SetFolderChooser(nullptr);
    EXPECT_EQ(asked, "Select Path|" + dir.path().string());
    ASSERT_EQ(dialog.fileList->topLevelItemCount(), 1);
    EXPECT_EQ(dialog.fileList->topLevelItem(0)->text(0), QStringLiteral("OTHER.KEL"));
    EXPECT_EQ(std::filesystem::current_path(), other.path());
    EXPECT_EQ(dialog.shotPath, other.path().string());
    EXPECT_EQ(dialog.previewRecord.testNumber, 2);

    SetFolderChooser([](const std::string&, const std::string&, std::string&) { return false; });
    dialog.OnShotPath();  // cancelled: nothing changes
    SetFolderChooser(nullptr);
    EXPECT_EQ(std::filesystem::current_path(), other.path());
    std::filesystem::current_path(dir.path());
}

TEST_F(RecallTest, CancelMarksNothingAndTheExportCaption)
{
    WriteTests(dir, 3);
    context.testCatalogue.Refresh(dir.path().string());
    context.testCatalogue.selected[0] = 1;
    COpenTestDlg dialog(context);
    dialog.caption = "Select files to Export";
    QTimer::singleShot(0, &dialog, [&] {
        SelectRows(dialog, {0, 1});
        QMetaObject::invokeMethod(dialog.GetDlgItem(resources::IDCANCEL), "click");
    });
    EXPECT_EQ(dialog.DoModal(), resources::IDCANCEL);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select files to Export"));
    EXPECT_TRUE(Marked(context.testCatalogue).empty());
}

// A saved test file differs from the one before only in its four header texts, bytes 85 to 164.
void ExpectOnlyTheTextBytesChanged(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after)
{
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < 85 || i >= 165) {
            ASSERT_EQ(after[i], before[i]) << i;
        }
    }
}

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteTests(dir, 5);
        ASSERT_EQ(context.kelApp.InitInstance(shell), 1);
        frame = shell.frame();
    }
    // Runs a command whose modal dialog `user` then drives.
    void RunWithDialog(int id, std::function<void(QWidget*)> user)
    {
        QTimer::singleShot(0, frame, [user] { user(QApplication::activeModalWidget()); });
        frame->RunCommand(id);
    }

    TempDir dir;
    CurrentFolder here{dir.path()};
    kel_test::TestContext t;
    KelContext& context = t.context;
    MemorySettingsStore& store = t.settings;
    DesktopShell shell{context};
    CMainFrame* frame = nullptr;
    void SetFolderChooser(platform::FolderChooser chooser) { t.services.folderChooser = std::move(chooser); }
};

TEST_F(CommandTest, RecallOverlaysThreeChosenOutOfOrderInRowOrder)
{
    RunWithDialog(ids::ID_RECALL_TEST, [](QWidget* widget) {
        auto* dialog = dynamic_cast<COpenTestDlg*>(widget);
        ASSERT_TRUE(dialog);
        SelectRows(*dialog, {4, 0, 2});
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    });
    CKelDoc& doc = *context.kelApp.GetDocument();
    ASSERT_EQ(doc.recordCount, 3);
    EXPECT_EQ(doc.records[0].testNumber, 1);
    EXPECT_EQ(doc.records[1].testNumber, 3);
    EXPECT_EQ(doc.records[2].testNumber, 5);
    EXPECT_NE(doc.testOpen, 0);

    RunWithDialog(ids::ID_RECALL_TEST, [](QWidget* widget) {
        QMetaObject::invokeMethod(dynamic_cast<COpenTestDlg*>(widget)->GetDlgItem(resources::IDCANCEL), "click");
    });
    EXPECT_EQ(doc.recordCount, 3);  // Cancel: the shown tests stay
}

TEST_F(CommandTest, BothExportsWriteAFilePerChosenTest)
{
    const struct {
        int command;
        const char* caption;
        const char* extension;
        std::vector<int> rows;  // chosen; the overlay's limit of four binds Export To Excel only
    } cases[] = {
        {ids::ID_EXPORT_TO_EXCEL, "Select files to Export", ".xls", {3, 1}},
        {ids::ID_EXPORT_READINGS, "Select files to Export Readings", ".xlsx", {4, 3, 2, 1}},
    };
    for (const auto& c : cases) {
        TempDir out;
        SetFolderChooser([&](const std::string& title, const std::string&, std::string& folder) {
            EXPECT_EQ(title, "Export to folder");
            folder = out.path().string();
            return true;
        });
        const std::string caption = c.caption;
        const std::vector<int> rows = c.rows;
        RunWithDialog(c.command, [caption, rows](QWidget* widget) {
            auto* dialog = dynamic_cast<COpenTestDlg*>(widget);
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->windowTitle(), QString::fromStdString(caption));
            dialog->fileList->clearSelection();
            for (int row : rows)
                dialog->fileList->selectionModel()->select(dialog->fileList->model()->index(row, 0),
                                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
        });
        SetFolderChooser(nullptr);
        for (int row = 0; row < 5; ++row) {
            const bool chosen = std::find(rows.begin(), rows.end(), row) != rows.end();
            EXPECT_EQ(std::filesystem::exists(out.path() / ("T" + std::to_string(row + 1) + c.extension)), chosen)
                << c.extension << " " << row;
        }
        EXPECT_EQ(std::filesystem::current_path(), dir.path());
        EXPECT_EQ(context.kelApp.GetDocument()->testOpen, 0);  // nothing is shown by an export
    }
}

TEST_F(CommandTest, EditTrimsCutsCancelsAndSaveWritesOnlyTheTexts)
{
    TestFileBuilder().TestNumber(1).Company("ACME                ").Location("OLD").Samples(10, 500, 1e-9)
        .Write(dir.File("T1.kel"));
    const auto before = kel_test::ReadFileBytes(dir.File("T1.kel"));
    context.kelApp.OpenDocumentFile("T1.kel", 0);
    CKELFile& record = context.kelApp.GetDocument()->records[0];

    RunWithDialog(ids::ID_EDIT_TEST, [](QWidget* widget) {
        auto* dialog = dynamic_cast<dlgTestEdit*>(widget);
        ASSERT_TRUE(dialog);
        EXPECT_EQ(qobject_cast<QLineEdit*>(dialog->GetDlgItem(1008))->text(), QStringLiteral("ACME"));
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1006))->setText(QStringLiteral("THIS LOCATION IS TOO LONG"));
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDCANCEL), "click");
    });
    EXPECT_STREQ(record.location, "OLD");
    EXPECT_STREQ(record.company, "ACME                ");

    RunWithDialog(ids::ID_EDIT_TEST, [](QWidget* widget) {
        auto* dialog = dynamic_cast<dlgTestEdit*>(widget);
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1006))->setText(QStringLiteral("THIS LOCATION IS TOO LONG"));
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1021))->setText(QStringLiteral("NEW DESC  "));
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    });
    EXPECT_STREQ(record.location, "THIS LOCATION IS TOO");
    EXPECT_STREQ(record.company, "ACME");
    EXPECT_STREQ(record.description, "NEW DESC  ");  // blanks the user typed stay

    // The view shows the new texts at once; the file keeps the old ones until Save Test.
    kel_test::RecordingSurface surface;
    frame->view()->DrawTests(surface, {0, 0, 1600, 1000});
    ASSERT_TRUE(surface.Text("Test Desc: NEW DESC"));
    EXPECT_EQ(kel_test::ReadFileBytes(dir.File("T1.kel")), before);

    EXPECT_TRUE(frame->RunCommand(ids::ID_SAVE_TEST));
    ExpectOnlyTheTextBytesChanged(before, kel_test::ReadFileBytes(dir.File("T1.kel")));
    CKELFile reread;
    ASSERT_TRUE(reread.Load(dir.File("T1.kel"), 0));
    EXPECT_STREQ(reread.location, "THIS LOCATION IS TOO");
    EXPECT_STREQ(reread.company, "ACME");
}

TEST_F(CommandTest, SaveTestWritesTheShownTestsFileAfterShotPathMovedTheFolder)
{
    // Downloads name files Test%d.kel, so the same name stands in many folders.
    TempDir b;
    TestFileBuilder().TestNumber(1).Operator("OLD A").Samples(10, 500, 1e-9).Write(dir.File("Test1.kel"));
    TestFileBuilder().TestNumber(2).Operator("OLD B").Samples(10, 500, 1e-9).Write(b.File("Test1.kel"));
    const auto beforeA = kel_test::ReadFileBytes(dir.File("Test1.kel"));
    const auto beforeB = kel_test::ReadFileBytes(b.File("Test1.kel"));

    const auto chooseRow = [](QWidget* widget, const char* name) {
        auto* dialog = dynamic_cast<COpenTestDlg*>(widget);
        ASSERT_TRUE(dialog);
        for (int row = 0; row < dialog->fileList->topLevelItemCount(); ++row)
            if (dialog->fileList->topLevelItem(row)->text(0) == QLatin1String(name)) SelectRows(*dialog, {row});
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    };
    RunWithDialog(ids::ID_RECALL_TEST, [&](QWidget* widget) { chooseRow(widget, "Test1.kel"); });
    ASSERT_EQ(context.kelApp.GetDocument()->records[0].testNumber, 1);

    // Recall again, move to folder B with Shot Path, and cancel.
    SetFolderChooser([&](const std::string&, const std::string&, std::string& folder) {
        folder = b.path().string();
        return true;
    });
    RunWithDialog(ids::ID_RECALL_TEST, [](QWidget* widget) {
        auto* dialog = dynamic_cast<COpenTestDlg*>(widget);
        QMetaObject::invokeMethod(dialog->GetDlgItem(1023), "click");
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDCANCEL), "click");
    });
    SetFolderChooser(nullptr);
    ASSERT_EQ(std::filesystem::current_path(), b.path());

    RunWithDialog(ids::ID_EDIT_TEST, [](QWidget* widget) {
        auto* dialog = dynamic_cast<dlgTestEdit*>(widget);
        qobject_cast<QLineEdit*>(dialog->GetDlgItem(1007))->setText(QStringLiteral("NEW"));
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    });
    EXPECT_TRUE(frame->RunCommand(ids::ID_SAVE_TEST));
    std::filesystem::current_path(dir.path());

    EXPECT_EQ(kel_test::ReadFileBytes(b.File("Test1.kel")), beforeB);  // the other test is untouched
    ExpectOnlyTheTextBytesChanged(beforeA, kel_test::ReadFileBytes(dir.File("Test1.kel")));
    CKELFile reread;
    ASSERT_TRUE(reread.Load(dir.File("Test1.kel"), 0));
    EXPECT_STREQ(reread.operatorName, "NEW");
    // The recent-file list names the file that was shown, not the current folder's namesake.
    EXPECT_EQ(context.kelApp.GetPathName(), dir.File("Test1.kel"));
}

// Edited texts are not dropped by Close Test or Exit without a question;
// Ctrl+S saves them.
TEST_F(CommandTest, UnsavedEditsAreAskedAboutAndCtrlSSavesThem)
{
    RecordingPresenter& presenter = t.presenter;
    context.kelApp.OpenDocumentFile("T1.kel", 0);
    CKelDoc& doc = *context.kelApp.GetDocument();
    const auto edit = [this](const char* text) {
        RunWithDialog(ids::ID_EDIT_TEST, [text](QWidget* widget) {
            auto* dialog = dynamic_cast<dlgTestEdit*>(widget);
            qobject_cast<QLineEdit*>(dialog->GetDlgItem(1007))->setText(QString::fromLatin1(text));
            QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
        });
    };
    edit("FIRST");
    EXPECT_TRUE(doc.IsModified());
    frame->RunCommand(ids::ID_CLOSE_TEST);  // nobody answers: Cancel
    EXPECT_NE(doc.testOpen, 0);
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(presenter.questions, std::vector<std::string>(2, "Save changes to T1.kel?"));

    QShortcut* save = nullptr;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(QStringLiteral("Ctrl+S"))) save = shortcut;
    ASSERT_TRUE(save);
    emit save->activated();
    EXPECT_FALSE(doc.IsModified());
    CKELFile reread;
    ASSERT_TRUE(reread.Load(dir.File("T1.kel"), 0));
    EXPECT_STREQ(reread.operatorName, "FIRST");

    edit("SECOND");
    presenter.answers = {"Discard"};
    frame->RunCommand(ids::ID_CLOSE_TEST);
    EXPECT_EQ(doc.testOpen, 0);
    ASSERT_TRUE(reread.Load(dir.File("T1.kel"), 0));
    EXPECT_STREQ(reread.operatorName, "FIRST");
    EXPECT_EQ(presenter.questions.size(), 3u);
    EXPECT_TRUE(frame->close());  // nothing left to save: no question
    EXPECT_EQ(presenter.questions.size(), 3u);
}

// The window answers: what a command did stands in the status bar, the keys
// come back to it, an empty window says how to show a test and prints
// nothing, Edit Test holds a test file's texts only, the menu bar answers to
// F10, and printing to a file proposes the test's own name.
TEST_F(CommandTest, TheWindowSaysWhatHappenedAndWhatCanBeDone)
{
    CKelView* view = frame->view();
    EXPECT_FALSE(frame->router().IsEnabled(ids::ID_FILE_PRINT));
    EXPECT_FALSE(frame->router().IsEnabled(ids::ID_FILE_PRINT_PREVIEW));
    EXPECT_TRUE(CKelView::EmptyText().contains(QStringLiteral("Ctrl+O")));
    EXPECT_TRUE(CKelView::EmptyText().contains(QStringLiteral("Ctrl+D")));

    context.kelApp.OpenDocumentFile("T1.kel", 0);
    EXPECT_TRUE(frame->router().IsEnabled(ids::ID_FILE_PRINT));
    QPrinter printer;
    view->ProposeFileName(printer);
    EXPECT_EQ(printer.docName(), QStringLiteral("T1"));
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        EXPECT_EQ(printer.outputFileName(), QString::fromStdString(dir.File("T1.pdf")));
    }

    QString refused;
    RunWithDialog(ids::ID_EDIT_TEST, [&refused](QWidget* widget) {
        auto* dialog = dynamic_cast<dlgTestEdit*>(widget);
        auto* company = qobject_cast<QLineEdit*>(dialog->GetDlgItem(1008));
        EXPECT_EQ(company->maxLength(), 20);
        company->setText(QStringLiteral("ACME"));
        company->insert(QStringLiteral("\u20AC"));  // the euro sign: no Latin-1 byte
        EXPECT_EQ(company->text(), QStringLiteral("ACME"));
        company->insert(QStringLiteral("\u00C9"));  // É has one
        EXPECT_EQ(company->text(), QStringLiteral("ACME\u00C9"));
        QMetaObject::invokeMethod(dialog->GetDlgItem(resources::IDOK), "click");
    });
    EXPECT_TRUE(frame->StatusText().contains(QStringLiteral("can't be stored in a test file"))) << frame->StatusText().toStdString();
    EXPECT_EQ(frame->focusWidget(), view);  // the keys are the main window's again
    EXPECT_TRUE(frame->RunCommand(ids::ID_SAVE_TEST));
    EXPECT_EQ(frame->StatusText(), QStringLiteral("Saved T1.kel"));

    TempDir out;
    SetFolderChooser([&](const std::string&, const std::string&, std::string& folder) {
        folder = out.path().string();
        return true;
    });
    RunWithDialog(ids::ID_EXPORT_TO_EXCEL, [](QWidget* widget) {
        SelectRows(*dynamic_cast<COpenTestDlg*>(widget), {1, 2});
        QMetaObject::invokeMethod(dynamic_cast<COpenTestDlg*>(widget)->GetDlgItem(resources::IDOK), "click");
    });
    EXPECT_EQ(frame->StatusText(), QStringLiteral("2 workbooks written to ") + QString::fromStdString(out.path().string()));

    QShortcut* f10 = nullptr;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>())
        if (shortcut->key() == QKeySequence(Qt::Key_F10)) f10 = shortcut;
    ASSERT_TRUE(f10);
    emit f10->activated();
    EXPECT_EQ(frame->menuBar()->activeAction(), frame->menuBar()->actions().first());
    frame->menuBar()->setActiveAction(nullptr);
}

// Recall Test: the moving keys select from an unselected current row, a
// shrinking selection previews the current row, and the list grows with the dialog.
TEST_F(RecallTest, KeysSelectAsArrowsDoAndTheListGrowsWithTheDialog)
{
    WriteTests(dir, 5);
    TestFileBuilder().Samples(10, 500, 1e-9).Write(dir.File("A test file with a rather long name indeed.kel"));
    COpenTestDlg dialog(t.context);
    dialog.OnInitDialog();
    QTreeWidget* list = dialog.fileList;
    EXPECT_GE(list->header()->sectionSize(0), list->fontMetrics().horizontalAdvance(
                                                  QStringLiteral("A test file with a rather long name indeed.kel")));
    const struct {
        Qt::Key key;
        int current;  // before, not selected
        int selected;
    } keys[] = {{Qt::Key_Home, 0, 0}, {Qt::Key_End, 2, 5}, {Qt::Key_Down, 3, 3}, {Qt::Key_PageDown, 0, 5}};
    for (const auto& k : keys) {
        list->selectionModel()->setCurrentIndex(list->model()->index(k.current, 0), QItemSelectionModel::Clear);
        QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        ASSERT_EQ(rows.size(), 1) << k.key;
        EXPECT_EQ(rows[0].row(), k.selected) << k.key;
    }
    // Rows 1 and 3 chosen, 3 current; 3 unchosen: the preview shows row 1.
    SelectRows(dialog, {1, 3});
    list->selectionModel()->setCurrentIndex(list->model()->index(3, 0), QItemSelectionModel::Deselect |
                                                                            QItemSelectionModel::Rows);
    EXPECT_EQ(dialog.previewRecord.path, t.context.testCatalogue.PathOf(1));

    dialog.show();
    const QSize before = list->size();
    dialog.resize(dialog.width() + 200, dialog.height() + 100);
    EXPECT_EQ(list->width(), before.width() + 200);
    EXPECT_EQ(list->height(), before.height() + 100);
}

}  // namespace
