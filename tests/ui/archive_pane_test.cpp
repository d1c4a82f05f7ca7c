// The desktop program sends the current folder's tests to the archive and says
// how that goes in its status bar, against the archive tests' real server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "resources/resource_ids.h"
#include "support/archive_db.h"
#include "support/qt_test_main.h"
#include "support/test_context.h"
#include "support/test_file_builder.h"
#include "app/kel_doc.h"
#include "archive/archive.h"
#include "tools/demo_set.h"
#include "ui/desktop_shell.h"
#include "ui/due_dialog.h"
#include "ui/main_frame.h"
#include "ui/trend_window.h"

#include <QTreeWidget>

namespace {

using kel_test::TempDir;

// The archive pane's text once it starts with `wanted` (or is empty, for an empty
// `wanted`), waiting at most 15 s with the event loop running.
QString PaneOnceItSays(CMainFrame& frame, const QString& wanted)
{
    QElapsedTimer clock;
    clock.start();
    const auto says = [&] { return wanted.isEmpty() ? frame.ArchiveText().isEmpty() : frame.ArchiveText().startsWith(wanted); };
    while (!says() && clock.elapsed() < 15000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return frame.ArchiveText();
}

TEST(ArchivePane, TheStatusBarFollowsTheQueueAndSaysWhenTheArchiveIsAway)
{
    kel_test::ArchiveDb archive;
    TempDir dir;
    kel_test::CurrentFolder here(dir.path());
    for (int i = 1; i <= 3; ++i)
        kel_test::TestFileBuilder().TestNumber(static_cast<std::uint16_t>(i)).Samples(60, 500, 1e-9).Company("ACME")
            .Write(dir.File("T" + std::to_string(i) + ".kel"));
    kel_test::TestContext t;
    t.settings.texts[{"Archive", "Connection"}] = archive.As();
    t.settings.values[{"Archive", "SendDownloaded"}] = 1;
    DesktopShell shell{t.context};
    ASSERT_EQ(t.context.kelApp.InitInstance(shell), 1);
    CMainFrame& frame = *shell.frame();
    // At start-up the folder's tests go to the archive by themselves.
    EXPECT_EQ(PaneOnceItSays(frame, QStringLiteral("Archive: all")), QStringLiteral("Archive: all 3 tests archived"));

    // Setup points at a server that is not there: the pane says so, and keeps retrying.
    ArchiveSettings chosen{archive.As() + " port=1", true};
    t.context.appInfo.runSetupDialog = [&chosen](int&, int&, ArchiveSettings& settings) {
        settings = chosen;
        return true;
    };
    frame.RunCommand(ids::ID_APPLICATION_SETUP);
    const QString away = PaneOnceItSays(frame, QStringLiteral("Archive: cannot connect ("));
    EXPECT_TRUE(away.startsWith(QStringLiteral("Archive: cannot connect (")) && away.endsWith(QStringLiteral("), will retry")))
        << away.toStdString();
    EXPECT_EQ((t.settings.texts[{"Archive", "Connection"}]), chosen.connection);  // stored with the other settings

    // Back, with a new test: it is sent once.
    kel_test::TestFileBuilder().TestNumber(4).Samples(60, 500, 1e-9).Company("ACME").Write(dir.File("T4.kel"));
    chosen.connection = archive.As();
    frame.RunCommand(ids::ID_APPLICATION_SETUP);
    EXPECT_EQ(PaneOnceItSays(frame, QStringLiteral("Archive: all")), QStringLiteral("Archive: all 4 tests archived"));
    auto db = kel_test::Open(archive.As());
    const auto count = db->Exec("SELECT count(*) FROM tests");
    EXPECT_EQ(count.Integer(0, 0), 4);

    // Switched off: the pane says nothing.
    chosen.sendDownloaded = false;
    frame.RunCommand(ids::ID_APPLICATION_SETUP);
    EXPECT_EQ(PaneOnceItSays(frame, QString()), QString());
}

// The asset list as the user reads it: mark, company, location, description, tests.
QStringList Rows(const CTrendWindow& window)
{
    QStringList rows;
    for (int i = 0; i < window.assetList()->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) cells << window.assetList()->topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

TEST(ArchiveTrend, TheArchiveSourceShowsWhatTheFolderShowsAndANewTestWithinSeconds)
{
    kel_test::ArchiveDb archive;
    TempDir dir, elsewhere;
    std::string error;
    ASSERT_TRUE(WriteDemoTests(dir.path().string(), nullptr, &error)) << error;
    auto db = kel_test::Open(archive.As());
    archive::PushReport report;
    ASSERT_TRUE(archive::Push(*db, {dir.path().string()}, false, "laptop", report));

    kel_test::TestContext t;
    t.context.appInfo.archive.connection = archive.As();
    CTrendWindow window(t.context, nullptr, dir.path().string());
    const QStringList fromFolder = Rows(window);
    ASSERT_FALSE(fromFolder.isEmpty());
    ASSERT_TRUE(window.ReadArchive());
    EXPECT_EQ(Rows(window), fromFolder);
    // Each asset's next test is due a year after its last one.
    EXPECT_FALSE(window.assetList()->topLevelItem(0)->text(5).isEmpty());

    // A test pushed from another machine appears in the open window within 5 s.
    kel_test::TestFileBuilder().TestNumber(999).Samples(60, 500, 1e-9).Company("NEW CO").Location("YARD")
        .Description("CRANE").Write(elsewhere.File("T999.kel"));
    auto other = kel_test::Open(archive.As());
    ASSERT_TRUE(archive::Push(*other, {elsewhere.path().string()}, false, "office", report));
    QElapsedTimer clock;
    clock.start();
    while (Rows(window).size() == fromFolder.size() && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(Rows(window).size(), fromFolder.size() + 1);
    EXPECT_TRUE(Rows(window).contains(QStringLiteral("|NEW CO|YARD|CRANE|1")));

    // Due Tests: an asset last tested in June 2024 is overdue, and shown in red.
    kel_test::TestFileBuilder().TestNumber(998).Date(0x06, 0x01, 0x24).Samples(60, 500, 1e-9).Company("OLD CO")
        .Location("YARD").Description("PUMP").Write(elsewhere.File("T998.kel"));
    ASSERT_TRUE(archive::Push(*other, {elsewhere.path().string()}, false, "office", report));
    CDueDialog due(archive.As());
    EXPECT_TRUE(due.Note().startsWith(QStringLiteral("1 overdue, "))) << due.Note().toStdString();
    ASSERT_GE(due.list()->topLevelItemCount(), 1);
    EXPECT_EQ(due.list()->topLevelItem(0)->text(1), QStringLiteral("OLD CO"));
    EXPECT_EQ(due.list()->topLevelItem(0)->foreground(0).color(), QColor(Qt::red));
    CDueDialog nowhere(archive.As() + " port=1");
    EXPECT_TRUE(nowhere.Note().startsWith(QStringLiteral("Cannot connect to the archive: "))) << nowhere.Note().toStdString();
}

TEST(ArchiveTrend, ATestOpenedFromTheArchiveIsSavedBackAsANewRowLeavingTheStoredBytes)
{
    kel_test::ArchiveDb archive;
    TempDir dir, cache;
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    kel_test::CurrentFolder here(dir.path());
    kel_test::TestFileBuilder().TestNumber(5).Samples(60, 500, 1e-9).Company("ACME").Description("PUMP")
        .Write(dir.File("T5.kel"));
    auto db = kel_test::Open(archive.As());
    archive::PushReport report;
    ASSERT_TRUE(archive::Push(*db, {dir.path().string()}, false, "laptop", report));
    const auto before = db->Exec("SELECT encode(bytes, 'hex') FROM tests");

    kel_test::TestContext t;
    DesktopShell shell{t.context};
    ASSERT_EQ(t.context.kelApp.InitInstance(shell), 1);
    t.context.appInfo.archive.connection = archive.As();
    CTrendWindow window(t.context, nullptr, dir.path().string());
    ASSERT_TRUE(window.ReadArchive());
    std::filesystem::remove(dir.File("T5.kel"));  // the archive's bytes are what opens, not a file here
    emit window.testList()->itemDoubleClicked(window.testList()->topLevelItem(0), 0);
    CKelDoc& document = *t.context.kelApp.GetDocument();
    ASSERT_EQ(document.recordCount, 1);
    EXPECT_STREQ(document.records[0].description, "PUMP");
    std::snprintf(document.records[0].description, sizeof document.records[0].description, "%s", "PUMP 2");
    shell.frame()->RunCommand(ids::ID_SAVE_TEST);
    EXPECT_EQ(shell.frame()->StatusText(), QStringLiteral("Saved T5.kel as a new row of the archive"));
    const auto rows = db->Exec("SELECT count(*), count(DISTINCT measurement_key) FROM tests");
    EXPECT_EQ(rows.Integer(0, 0), 2);
    EXPECT_EQ(rows.Integer(0, 1), 1);  // the same measurement, its newest texts shown
    const auto stored = db->Exec("SELECT encode(bytes, 'hex') FROM tests ORDER BY id LIMIT 1");
    EXPECT_EQ(stored.Text(0, 0), before.Text(0, 0));
    const auto shown = db->Exec("SELECT description FROM kel_tests");
    EXPECT_EQ(shown.Text(0, 0), "PUMP 2");
}

}  // namespace

int main(int argc, char** argv)
{
    return kel_test::RunQtTests(argc, argv);
}
