// The main window: menu bar, accelerators, status bar with prompts, and the
// view. Every command enters here and is routed to the view, the document,
// the frame and the application in turn.
#pragma once

#include <memory>

#include <QLabel>
#include <QMainWindow>
#include <QMap>

#include <functional>
#include <optional>
#include <vector>

#include "app/command_router.h"
#include "resources/resources.h"
#include "ui/lock_keys.h"

class CKelDoc;
class CKelView;
class KelContext;
class QMenu;
class QPrinter;

namespace archive {
class Sender;
}

class CMainFrame : public QMainWindow, public CCmdTarget {
public:
    CMainFrame(KelContext& context, QPrinter* printer, CCmdTarget* application);
    ~CMainFrame() override;

    bool OnCommand(int id) override;
    bool HasCommand(int id) const override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Runs a command as the menu, the menu bar or an accelerator does.
    bool RunCommand(int id);
    // Sets enabled state of every menu-bar entry and of the items of `menu`.
    void UpdateCommandUI(QMenu* menu = nullptr);

    CKelView* view() const { return view_; }
    CommandRouter& router() { return router_; }
    // The actions of the menu bar and its popups that carry `id`.
    QList<QAction*> ActionsFor(int id) const;
    QString StatusText() const { return message_->text(); }
    QList<QLabel*> Indicators() const { return indicators_; }
    // The archive's pane: "Archive: 3 tests waiting" and the like; empty when sending is off.
    QString ArchiveText() const { return archiveStatus_->text(); }
    // Points the archive's sender at the settings and the current folder, and starts a round.
    void ConfigureArchive();
    // Shows the lock keys' state in CAP, NUM and SCRL.
    void UpdateIndicators();
    // Where that state comes from; replaced in tests.
    std::function<std::optional<LockKeys>()> lockKeys = ReadLockKeys;

    // The recent files to show in the File menu, newest first.
    std::function<QStringList()> recentFiles;
    // Opens a file named outside the dialogs (recent files, dropped files).
    std::function<void(const QString&)> openFile;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Exit: unsaved edits are saved, discarded or keep the program open, as the user says.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu(QMenu* menu, const std::vector<resources::MenuItem>& items);
    QAction* CommandAction(const resources::MenuItem& item, QObject* parent);
    void FillRecentFiles(QMenu* fileMenu);
    void ShowPrompt(int id);
    // What a command did, in the status bar until the next prompt.
    void SayDone(const QString& text);
    // The folder for an export, chosen by the user: false when none was chosen.
    bool ChooseExportFolder(std::string& folder);
    void SayWritten(const struct ExportedFiles& written, const char* what);
    void OnSaveTest();
    void OnRecallTest();
    void OnEditTest();
    void OnRetrieveTestRecord();
    void OnExportToExcel();
    void OnFileManipulation();
    void OnAssetTrend();
    void OnExportReadings();

    KelContext& context_;
    QPrinter* printer_;
    CKelDoc* document_;
    CKelView* view_;
    CommandRouter router_;
    QLabel* message_;
    QList<QLabel*> indicators_;
    QLabel* archiveStatus_ = nullptr;
    // Sends the current folder's tests to the archive, on a thread of its own.
    std::unique_ptr<archive::Sender> archiveSender_;
    QList<QAction*> menuBarActions_;
    QAction* recentPlaceholder_ = nullptr;
    QList<QAction*> recentActions_;
};
