// The desktop program's side of the application: the main window, the
// application's printer with its default settings, the recent-file list, and
// the application's own commands (New, Print Setup, About, Exit).
#pragma once

#include <QPrinter>
#include <QStringList>

#include <memory>

#include "app/command_router.h"
#include "app/application_shell.h"

class CMainFrame;
class KelContext;
namespace platform {
class QtMessagePresenter;
}

class DesktopShell : public platform::ApplicationShell, public CCmdTarget {
public:
    explicit DesktopShell(KelContext& context, platform::QtMessagePresenter* presenter = nullptr);
    ~DesktopShell() override;

    void SetDefaultOrientation(bool landscape) override;
    bool ProcessShellCommand() override;
    void ShowMainWindowMaximized() override;
    void UpdateAllViews() override;
    void AddToRecentFileList(const std::string& path) override;
    void Report(const Status& status) override;
    int Ask(const std::string& question, const std::vector<std::string>& choices, int safeChoice) override;

    bool OnCommand(int id) override;
    bool HasCommand(int id) const override;

    CMainFrame* frame() const { return frame_.get(); }
    QPrinter& printer() { return printer_; }
    QStringList RecentFiles() const;

private:
    KelContext& context_;
    QPrinter printer_;
    std::unique_ptr<CMainFrame> frame_;
    platform::QtMessagePresenter* presenter_;
};
