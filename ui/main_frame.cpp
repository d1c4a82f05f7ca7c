#include "ui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSysInfo>
#include <QTimer>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QUrl>

#include "app/kel_doc.h"
#include "app/kel_context.h"
#include "archive/sender.h"
#include "ui/due_dialog.h"
#include "ui/trend_window.h"
#include "archive/archive.h"
#include "platform/pg.h"
#include "ui/kel_view.h"
#include "resources/resource_ids.h"
#include "export/excel_export.h"
#include "export/readings_export.h"
#include "ui/directory_dialog.h"
#include "ui/edit_test_dialog.h"
#include "ui/recall_dialog.h"
#include "ui/trend_window.h"
#include "qt/qt_text.h"

#include <filesystem>

namespace {

QString Text(const std::string& text)
{
    return QString::fromLatin1(text.c_str());
}

QString Ready()
{
    return Text(resources::LoadString(ids::AFX_IDS_IDLEMESSAGE));
}

// `text` with an '&' before the first letter no other entry uses yet: a word's
// first letter where one is free, else any letter; `used` collects them.
QString WithMnemonic(const QString& text, QString& used)
{
    if (const qsizetype at = text.indexOf(QLatin1Char('&')); at >= 0) {
        if (at + 1 < text.size()) used += text[at + 1].toLower();
        return text;
    }
    for (const bool initialsOnly : {true, false}) {
        for (int i = 0; i < text.size(); ++i) {
            const QChar c = text[i].toLower();
            const bool initial = i == 0 || !text[i - 1].isLetter();
            if (!c.isLetter() || used.contains(c) || (initialsOnly && !initial)) continue;
            used += c;
            return text.left(i) + QLatin1Char('&') + text.mid(i);
        }
    }
    return text;
}

bool IsTestFile(const QUrl& url)
{
    return url.isLocalFile() && url.toLocalFile().endsWith(QLatin1String(".kel"), Qt::CaseInsensitive);
}

}  // namespace

CMainFrame::CMainFrame(KelContext& context, QPrinter* printer, CCmdTarget* application)
    : context_(context), printer_(printer), document_(context.kelApp.GetDocument())
{
    CKelDoc* document = document_;
    // The caption never shows a document name.
    setWindowTitle(Text(resources::DocString(resources::WindowTitle)));
    setAcceptDrops(true);

    view_ = new CKelView(document, printer, this);
    view_->mayDropTest = [this] { return context_.kelApp.SaveModified(); };
    setCentralWidget(view_);
    // The document handles no command of its own: view, frame, application.
    router_.SetTargets({view_, this, application});

    QString usedKeys;
    for (const resources::MenuItem& entry : resources::MainMenu()) {
        // Each entry answers to Alt and a letter of its own; the text shown stays as it is.
        const QString text = WithMnemonic(Text(entry.text), usedKeys);
        if (entry.kind == resources::MenuItem::Popup) {
            QMenu* menu = menuBar()->addMenu(text);
            BuildMenu(menu, entry.items);
            menuBarActions_.append(menu->menuAction());
        } else {
            QAction* action = CommandAction(entry, menuBar());
            action->setText(text);
            menuBar()->addAction(action);
            menuBarActions_.append(action);
        }
    }
    // F10 reaches the menu bar, as on every desktop.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    QObject::connect(menuKey, &QShortcut::activated, this, [this] {
        if (!menuBarActions_.isEmpty()) menuBar()->setActiveAction(menuBarActions_.first());
    });
    for (const resources::Accelerator& accelerator : resources::Accelerators()) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(accelerator.key)), this);
        const int id = accelerator.id;
        QObject::connect(shortcut, &QShortcut::activated, this, [this, id] { RunCommand(id); });
    }

    message_ = new QLabel(Ready());
    statusBar()->setObjectName(QStringLiteral("statusBar%1").arg(ids::AFX_IDW_STATUS_BAR));
    statusBar()->addWidget(message_, 1);
    // The archive's pane stands left of the lock keys' panes.
    archiveStatus_ = new QLabel;
    archiveStatus_->setVisible(false);
    statusBar()->addPermanentWidget(archiveStatus_);
    // CAP, NUM and SCRL show whether their lock key is on; greyed is off, or
    // unknown where the platform does not tell.
    for (const int id : {ids::ID_INDICATOR_CAPS, ids::ID_INDICATOR_NUM, ids::ID_INDICATOR_SCRL}) {
        auto* pane = new QLabel(Text(resources::LoadString(id)));
        pane->setEnabled(false);
        statusBar()->addPermanentWidget(pane);
        indicators_.append(pane);
    }
    // The archive: its state, read from the sender twice a second; the sender never waits on the window.
    archiveSender_ = std::make_unique<archive::Sender>();
    archiveSender_->SetHost(QSysInfo::machineHostName().toStdString());
    auto* archiveTimer = new QTimer(this);
    QObject::connect(archiveTimer, &QTimer::timeout, this, [this] {
        const archive::Sender::State state = archiveSender_->Snapshot();
        archiveStatus_->setText(QString::fromStdString(state.Text()));
        archiveStatus_->setToolTip(QString::fromStdString(state.reason));
        archiveStatus_->setVisible(state.kind != archive::Sender::State::Off);
        const bool trouble =
            state.kind == archive::Sender::State::CannotConnect || state.kind == archive::Sender::State::Failed;
        archiveStatus_->setStyleSheet(trouble ? QStringLiteral("color: #b00000") : QString());
    });
    archiveTimer->start(500);
    ConfigureArchive();
    // Another window may toggle a lock key: the panes look again five times a second.
    auto* lockTimer = new QTimer(this);
    QObject::connect(lockTimer, &QTimer::timeout, this, [this] { UpdateIndicators(); });
    lockTimer->start(200);
    // A direct menu-bar entry has no menu to close: leaving the bar, or moving
    // off the entries, ends its prompt.
    menuBar()->installEventFilter(this);
    menuBar()->setMouseTracking(true);
    UpdateCommandUI();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == menuBar()) {
        if (event->type() == QEvent::Leave) message_->setText(Ready());
        if (event->type() == QEvent::MouseMove &&
            !menuBar()->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint()))
            message_->setText(Ready());
    }
    return QMainWindow::eventFilter(watched, event);
}

QAction* CMainFrame::CommandAction(const resources::MenuItem& item, QObject* parent)
{
    auto* action = new QAction(Text(item.text), parent);
    action->setData(item.id);
    action->setEnabled(!item.grayed);
    const int id = item.id;
    QObject::connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    QObject::connect(action, &QAction::hovered, this, [this, id] { ShowPrompt(id); });
    return action;
}

void CMainFrame::BuildMenu(QMenu* menu, const std::vector<resources::MenuItem>& items)
{
    for (const resources::MenuItem& item : items) {
        switch (item.kind) {
        case resources::MenuItem::Separator:
            menu->addSeparator();
            break;
        case resources::MenuItem::Popup:
            BuildMenu(menu->addMenu(Text(item.text)), item.items);
            break;
        case resources::MenuItem::Command: {
            QAction* action = CommandAction(item, menu);
            menu->addAction(action);
            if (item.id == ids::ID_FILE_MRU_FILE1) recentPlaceholder_ = action;
            break;
        }
        }
    }
    // Enable rules hold where the user sees them: they run as the menu opens.
    QObject::connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        if (recentPlaceholder_ && menu->actions().contains(recentPlaceholder_)) FillRecentFiles(menu);
        UpdateCommandUI(menu);
    });
    QObject::connect(menu, &QMenu::aboutToHide, this, [this] { message_->setText(Ready()); });
}

void CMainFrame::FillRecentFiles(QMenu* fileMenu)
{
    for (QAction* action : recentActions_) {
        fileMenu->removeAction(action);
        action->deleteLater();
    }
    recentActions_.clear();
    const QStringList files = recentFiles ? recentFiles() : QStringList();
    recentPlaceholder_->setVisible(files.isEmpty());
    for (int i = 0; i < files.size() && i < ids::kRecentFileCount; ++i) {
        // A name's own '&' is shown, not taken as a mnemonic.
        QString shown = QDir::toNativeSeparators(files[i]);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), fileMenu);
        action->setData(ids::ID_FILE_MRU_FILE1 + i);
        const QString file = files[i];
        QObject::connect(action, &QAction::triggered, this, [this, file] {
            if (openFile) openFile(file);
        });
        const int id = ids::ID_FILE_MRU_FILE1 + i;
        QObject::connect(action, &QAction::hovered, this, [this, id] { ShowPrompt(id); });
        fileMenu->insertAction(recentPlaceholder_, action);
        recentActions_.append(action);
    }
}

void CMainFrame::UpdateCommandUI(QMenu* menu)
{
    const auto update = [this](QAction* action) {
        bool ok = false;
        const int id = action->data().toInt(&ok);
        if (!ok || id == 0 || action == recentPlaceholder_) return;
        if (id >= ids::ID_FILE_MRU_FILE1 && id < ids::ID_FILE_MRU_FILE1 + ids::kRecentFileCount) return;
        action->setEnabled(router_.IsEnabled(id));
    };
    if (menu) {
        for (QAction* action : menu->actions()) update(action);
    }
    for (QAction* action : menuBarActions_) update(action);
}

QList<QAction*> CMainFrame::ActionsFor(int id) const
{
    QList<QAction*> found;
    for (QAction* action : menuBar()->findChildren<QAction*>())
        if (action->data().toInt() == id && !action->data().isNull()) found.append(action);
    return found;
}

bool CMainFrame::RunCommand(int id)
{
    // A greyed command does not run, from the menu or from an accelerator.
    if (!router_.IsEnabled(id)) return false;
    // A chosen command closes the menu that prompted for it, a direct menu-bar entry too.
    message_->setText(Ready());
    const bool handled = router_.Route(id);
    UpdateCommandUI();
    // Whatever dialogs the command showed, the keys come back to the main window.
    if (isVisible()) {
        activateWindow();
        view_->setFocus();
    }
    return handled;
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::ConfigureArchive()
{
    std::string folder;
    platform::GetCurrentFolder(folder);
    const ArchiveSettings& settings = context_.appInfo.archive;
    archiveSender_->Configure(settings.connection, folder, settings.sendDownloaded);
}

void CMainFrame::SayDone(const QString& text)
{
    message_->setText(text);
}

void CMainFrame::ShowPrompt(int id)
{
    const std::string prompt = resources::Prompt(id);
    message_->setText(prompt.empty() ? Ready() : Text(prompt));
}

bool CMainFrame::HasCommand(int id) const
{
    return id == ids::ID_SAVE_TEST || id == ids::ID_FILE_SAVE || id == ids::ID_FILE_MANIPULATION || id == ids::ID_RECALL_TEST ||
           id == ids::ID_EDIT_TEST || id == ids::ID_RETRIEVE_TEST_RECORD || id == ids::ID_RETURN_TO_PANEL ||
           id == ids::ID_APPLICATION_SETUP || id == ids::ID_EXPORT_TO_EXCEL || id == ids::ID_ASSET_TREND ||
           id == ids::ID_EXPORT_READINGS || id == ids::ID_DUE_TESTS;
}

bool CMainFrame::OnCommand(int id)
{
    // Ctrl+S (the accelerator table's Save) saves the test too.
    if (id == ids::ID_SAVE_TEST || id == ids::ID_FILE_SAVE) {
        OnSaveTest();
        return true;
    }
    if (id == ids::ID_FILE_MANIPULATION) {
        OnFileManipulation();
        return true;
    }
    if (id == ids::ID_RECALL_TEST) {
        OnRecallTest();
        return true;
    }
    if (id == ids::ID_EDIT_TEST) {
        OnEditTest();
        return true;
    }
    if (id == ids::ID_RETRIEVE_TEST_RECORD) {
        OnRetrieveTestRecord();
        return true;
    }
    if (id == ids::ID_RETURN_TO_PANEL) {
        // A port that cannot open says so; a tester that does not listen is not news.
        Report(context_.services.Messages(), context_.kelDevice.ReturnToPanel());
        return true;
    }
    if (id == ids::ID_APPLICATION_SETUP) {
        context_.kelApp.OnApplicationSetup();
        ConfigureArchive();
        return true;
    }
    if (id == ids::ID_EXPORT_TO_EXCEL) {
        OnExportToExcel();
        return true;
    }
    if (id == ids::ID_ASSET_TREND) {
        OnAssetTrend();
        return true;
    }
    if (id == ids::ID_DUE_TESTS) {
        auto* dialog = new CDueDialog(context_.appInfo.archive.connection, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        return true;
    }
    if (id == ids::ID_EXPORT_READINGS) {
        OnExportReadings();
        return true;
    }
    return false;
}

void CMainFrame::OnExportToExcel()
{
    COpenTestDlg dialog(context_, this);
    dialog.caption = "Select files to Export";
    if (dialog.DoModal() != resources::IDOK) return;
    std::string folder;
    if (!ChooseExportFolder(folder)) return;
    ExportedFiles written;
    Report(context_.services.Messages(), ExportSelectedTests(context_.testCatalogue, context_.services, folder, &written));
    SayWritten(written, "workbook");
}

bool CMainFrame::ChooseExportFolder(std::string& folder)
{
    // The chooser starts at the current test folder; no folder is not the root of the file system.
    std::string start;
    platform::GetCurrentFolder(start);
    return context_.services.BrowseForFolder("Export to folder", start, folder) && !folder.empty();
}

void CMainFrame::SayWritten(const ExportedFiles& written, const char* what)
{
    if (written.count == 0) return;
    SayDone(QStringLiteral("%1 %2%3 written to %4")
                .arg(written.count)
                .arg(QString::fromLatin1(what))
                .arg(written.count == 1 ? "" : "s")
                .arg(platform::FromName(written.folder)));
}

void CMainFrame::OnRetrieveTestRecord()
{
    CTestDlg dialog(context_, this);
    if (Status read = context_.kelDevice.ReadDirectory(); !read) {
        Report(context_.services.Messages(), read);
        return;
    }
    // The first downloaded test is opened from where the download put it; the
    // open makes it the catalogue's one flagged entry.
    const int result = dialog.DoModal();
    // What arrived goes to the archive, in the background (the folder may have changed with Shot Path).
    ConfigureArchive();
    if (result == resources::IDOK) context_.kelApp.OpenDocumentFile(dialog.arrivedPath, 0);
}

void CMainFrame::OnRecallTest()
{
    COpenTestDlg dialog(context_, this);
    // The document loads every test the dialog marked, in catalogue order.
    if (dialog.DoModal() == resources::IDOK) context_.kelApp.OpenDocumentFile(dialog.selectedName, 1);
}

void CMainFrame::OnEditTest()
{
    dlgTestEdit dialog(this);
    CKELFile& record = document_->records[0];
    dialog.record = &record;
    dialog.say = [this](const QString& text) { SayDone(text); };
    const std::string before = std::string(record.operatorName) + '\0' + record.description + '\0' +
                               record.location + '\0' + record.company;
    if (dialog.DoModal() != resources::IDOK) return;
    // The texts change in memory only, until Save Test.
    const std::string after = std::string(record.operatorName) + '\0' + record.description + '\0' +
                              record.location + '\0' + record.company;
    if (after != before) document_->SetModifiedFlag(true);
    view_->update();
}

bool CMainFrame::OnUpdateCommand(CCmdUI& ui)
{
    // The commands that talk to the tester wait while an exchange is under way.
    if (ui.id == ids::ID_RETRIEVE_TEST_RECORD || ui.id == ids::ID_RETURN_TO_PANEL ||
        ui.id == ids::ID_APPLICATION_SETUP || ui.id == ids::ID_APP_ABOUT) {
        ui.Enable(!context_.serialChannel.InExchange());
        return true;
    }
    if (ui.id != ids::ID_EDIT_TEST && ui.id != ids::ID_SAVE_TEST && ui.id != ids::ID_FILE_SAVE) return false;
    ui.Enable(document_ && document_->testOpen && document_->recordCount == 1);
    return true;
}

void CMainFrame::OnSaveTest()
{
    // The view is not redrawn; the status bar says where the texts went.
    const Status saved = context_.kelApp.SaveTest();
    Report(context_.services.Messages(), saved);
    if (!saved) return;
    const std::string path = document_->records[0].path;
    const std::string name = std::filesystem::path(path).filename().string();
    // A test opened from the archive: the corrected texts go there as a new row; its stored bytes stay.
    const std::string copies = ArchivedCopies() + "/";
    if (path.compare(0, copies.size(), copies) != 0) {
        SayDone(QStringLiteral("Saved ") + platform::FromName(name));
        return;
    }
    std::string error;
    const auto db = platform::PgConnection::Open(context_.appInfo.archive.connection, error);
    archive::PushReport report;
    const Status pushed = db ? archive::Push(*db, {path}, false, QSysInfo::machineHostName().toStdString(), report)
                             : Status::Of(Problem::ArchiveUnreachable);
    if (!db) {
        AppMessageBox(context_.services.Messages(), ("Can't connect to the archive: " + error).c_str());
    } else if (!pushed) {
        Report(context_.services.Messages(), pushed);
    } else if (!report.leftOut.empty()) {
        AppMessageBox(context_.services.Messages(),
                      (name + " is not in the archive: " + report.leftOut.front().why).c_str());
    } else {
        SayDone(QStringLiteral("Saved ") + platform::FromName(name) +
                (report.added > 0 ? QStringLiteral(" as a new row of the archive") : QStringLiteral(" (the archive holds it)")));
    }
}

void CMainFrame::OnExportReadings()
{
    // Chosen as for Export To Excel, but any number of tests; then a folder.
    COpenTestDlg dialog(context_, this);
    dialog.caption = "Select files to Export Readings";
    dialog.maxChosen = CKELTestList::kCapacity;
    if (dialog.DoModal() != resources::IDOK) return;
    std::string folder;
    if (!ChooseExportFolder(folder)) return;
    ExportedFiles written;
    Report(context_.services.Messages(),
           ExportChosenTests(context_.testCatalogue, folder, ".xlsx", ExportReadingsWorkbook, &written));
    SayWritten(written, "readings workbook");
}

void CMainFrame::OnAssetTrend()
{
    // The current test folder and its subfolders; the window can choose another.
    std::string folder;
    platform::GetCurrentFolder(folder);
    auto* window = new CTrendWindow(context_, printer_, folder, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

void CMainFrame::OnFileManipulation()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::currentPath()));
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (context_.kelApp.SaveModified()) event->accept();
    else event->ignore();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (IsTestFile(url)) {
            event->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls()) {
        if (IsTestFile(url) && openFile) {
            event->acceptProposedAction();
            openFile(url.toLocalFile());
            return;
        }
    }
}

void CMainFrame::UpdateIndicators()
{
    const std::optional<LockKeys> keys = lockKeys ? lockKeys() : std::nullopt;
    const bool on[3] = {keys && keys->caps, keys && keys->num, keys && keys->scroll};
    for (int i = 0; i < indicators_.size() && i < 3; ++i) indicators_[i]->setEnabled(on[i]);
}
