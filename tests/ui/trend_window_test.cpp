// The Asset Trend window, offscreen, on the demo set and its history.
#include "ui/trend_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QTreeWidget>

#include <cstdlib>

#include "app/kel_doc.h"
#include "resources/resource_ids.h"
#include "support/test_context.h"
#include "tools/demo_tests.h"
#include "ui/desktop_shell.h"
#include "ui/main_frame.h"

namespace {

TEST(TrendWindow, OpensOnTheDemoHistoryAndShowsATestInTheMainWindow)
{
    kel_test::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteDemoTests(dir.path(), nullptr, &error)) << error;
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

}  // namespace
