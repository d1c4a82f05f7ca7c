// The Asset Trend window, offscreen, on the demo set and its history.
#include "ui/trend_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QImage>
#include <QTreeWidget>

#include <cstdlib>

#include "app/kel_doc.h"
#include "resources/resource_ids.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"
#include "tools/demo_set.h"
#include "ui/desktop_shell.h"
#include "ui/main_frame.h"
#include "ui/recall_dialog.h"

namespace {

TEST(TrendWindow, OpensOnTheDemoHistoryAndShowsATestInTheMainWindow)
{
    kel_test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoTests(dir.path().string(), nullptr, &error)) << error;
    kel_test::CurrentFolder here(dir.path());
    kel_test::TestContext t;
    DesktopShell shell(t.context);
    ASSERT_EQ(t.context.kelApp.InitInstance(shell), 1);
    CMainFrame* frame = shell.frame();
    ASSERT_FALSE(frame->ActionsFor(ids::ID_ASSET_TREND).isEmpty());
    EXPECT_EQ(frame->ActionsFor(ids::ID_ASSET_TREND)[0]->text(), QStringLiteral("Asset Trend..."));

    ASSERT_TRUE(frame->RunCommand(ids::ID_ASSET_TREND));
    auto* window = frame->findChild<CTrendWindow*>();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->folder(), dir.path().string());
    // Seven assets in the demo set; the pump motor's history and the damp conveyor motor are flagged.
    QTreeWidget* assets = window->assetList();
    ASSERT_EQ(assets->topLevelItemCount(), 7);
    QStringList flagged;
    for (int i = 0; i < assets->topLevelItemCount(); ++i)
        if (assets->topLevelItem(i)->text(0) == QStringLiteral("!")) flagged << assets->topLevelItem(i)->text(3);
    EXPECT_EQ(flagged, (QStringList{"PUMP MOTOR 3", "CONVEYOR MOTOR M12"}));

    const QList<QTreeWidgetItem*> pump = assets->findItems(QStringLiteral("PUMP MOTOR 3"), Qt::MatchExactly, 3);
    ASSERT_EQ(pump.size(), 1);
    assets->setCurrentItem(pump[0]);
    QTreeWidget* tests = window->testList();
    ASSERT_EQ(tests->topLevelItemCount(), 6);  // five yearly tests in history/ and this year's Test2.kel
    EXPECT_EQ(tests->topLevelItem(4)->text(9), QStringLiteral("pi-below-minimum dropped"));

    window->resize(1200, 800);
    const QImage plot = window->plot()->grab().toImage();
    int red = 0, blue = 0;
    for (int y = 0; y < plot.height(); y += 2)
        for (int x = 0; x < plot.width(); x += 2) {
            const QColor c = plot.pixelColor(x, y);
            red += c == QColor(220, 0, 0);
            blue += c == QColor(0, 0, 200);
        }
    EXPECT_GT(red, 50);   // the flags and the minimum line
    EXPECT_GT(blue, 20);  // the corrected readings
    if (const char* shot = std::getenv("KEL_TREND_SCREENSHOT")) window->grab().save(QString::fromLocal8Bit(shot));

    emit tests->itemDoubleClicked(tests->topLevelItem(0), 0);
    ASSERT_EQ(t.context.kelApp.GetDocument()->recordCount, 1);
    EXPECT_EQ(t.context.kelApp.GetDocument()->records[0].testNumber, 101);
    window->close();
}

// The window says what it left out and that a folder holds no test; a link to
// a folder elsewhere is followed only when the box is ticked.
TEST(TrendWindow, NamesWhatItLeftOutAndFollowsFolderLinksOnlyWhenAsked)
{
    kel_test::TempDir dir, elsewhere, empty;
    kel_test::TestFileBuilder().TestType(2).Company("A").Samples(60, 500, 1e-9).Write(dir.File("a.kel"));
    kel_test::WriteFileBytes(dir.File("broken.kel"), {'X'});
    kel_test::TestFileBuilder().TestType(2).Company("B").Samples(60, 500, 1e-9).Write(elsewhere.File("b.kel"));
    std::filesystem::create_directory_symlink(elsewhere.path(), dir.path() / "link");
    kel_test::TestContext t;
    CTrendWindow window(t.context, nullptr, dir.path().string());
    EXPECT_EQ(window.assetList()->topLevelItemCount(), 1);
    EXPECT_EQ(window.Note(), QStringLiteral("Left out: 1 file (%1)").arg(QString::fromStdString(dir.File("broken.kel"))));
    window.followLinks()->setChecked(true);  // scans again
    EXPECT_EQ(window.assetList()->topLevelItemCount(), 2);
    window.Scan(empty.path().string());
    EXPECT_EQ(window.Note(), QStringLiteral("No test files in this folder or its subfolders."));
}

// Recall Test holds the first 500 test files of a folder and says when there are more.
TEST(TrendWindow, RecallSaysWhenTheFolderHoldsMoreThanItShows)
{
    kel_test::TempDir dir;
    const auto bytes = kel_test::TestFileBuilder().Bytes();
    for (int i = 0; i < 501; ++i) kel_test::WriteFileBytes(dir.File("T" + std::to_string(i) + ".kel"), bytes);
    kel_test::CurrentFolder here(dir.path());
    kel_test::TestContext t;
    COpenTestDlg dialog(t.context);
    dialog.OnInitDialog();
    EXPECT_EQ(dialog.fileList->topLevelItemCount(), 500);
    EXPECT_EQ(dialog.moreFilesNote->text(), QStringLiteral("Showing the first 500 of 501 test files"));
    std::filesystem::remove(dir.File("T0.kel"));
    dialog.FillList();
    EXPECT_EQ(dialog.moreFilesNote->text(), QString());
}

}  // namespace
