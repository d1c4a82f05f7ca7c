#include "ui/desktop_shell.h"

#include "qt/app_icon.h"
#include "qt/qt_text.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QScreen>
#include <QSettings>

#include "app/kel_context.h"
#include "ui/kel_view.h"
#include "qt/qt_message_presenter.h"
#include "resources/resource_ids.h"
#include "resources/resources.h"
#include "ui/main_frame.h"
#include "ui/folders.h"
#include "ui/setup_about_dialogs.h"

namespace {

// The platform's own list, beside the program's settings.
QSettings RecentFileStore()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quellton"),
                     QStringLiteral("KEL-7300"));
}

}  // namespace

// The page is drawn in the printer's own pixels, as the report's sizes expect.
DesktopShell::DesktopShell(KelContext& context, platform::QtMessagePresenter* presenter)
    : context_(context), printer_(QPrinter::HighResolution), presenter_(presenter)
{
}

DesktopShell::~DesktopShell()
{
    if (presenter_) presenter_->SetMainWindow(nullptr);
}

void DesktopShell::SetDefaultOrientation(bool landscape)
{
    printer_.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

bool DesktopShell::ProcessShellCommand()
{
    // Every window of the program carries its icon.
    QApplication::setWindowIcon(platform::ApplicationIcon());
    frame_ = std::make_unique<CMainFrame>(context_, &printer_, this);
    if (presenter_) presenter_->SetMainWindow(frame_.get());
    InstallSetupDialog(context_, frame_.get());
    context_.services.folderChooser = SystemFolderChooser();
    frame_->recentFiles = [this] { return RecentFiles(); };
    frame_->openFile = [this](const QString& file) { context_.kelApp.OpenDocumentFile(platform::ToName(file), 0); };
    // A test file named on the command line opens alone; a file that cannot be
    // read has said so and leaves the window empty.
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-'))) continue;
        context_.kelApp.OpenDocumentFile(platform::ToName(argument), 0);
        break;
    }
    return true;
}

void DesktopShell::ShowMainWindowMaximized()
{
    // Without a window manager (a bare virtual display) maximising does nothing:
    // the window takes the screen's free area first.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) frame_->setGeometry(screen->availableGeometry());
    frame_->showMaximized();
}

void DesktopShell::UpdateAllViews()
{
    if (!frame_) return;
    frame_->view()->update();
    frame_->UpdateCommandUI();
}

QStringList DesktopShell::RecentFiles() const
{
    QSettings store = RecentFileStore();
    QStringList files;
    for (int i = 1; i <= ids::kRecentFileCount; ++i) {
        const QString file = store.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty()) files.append(file);
    }
    return files;
}

void DesktopShell::AddToRecentFileList(const std::string& path)
{
    QStringList files = RecentFiles();
    const QString file = QFileInfo(platform::FromName(path)).absoluteFilePath();
    files.removeAll(file);
    files.prepend(file);
    QSettings store = RecentFileStore();
    for (int i = 1; i <= ids::kRecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= files.size()) store.setValue(key, files[i - 1]);
        else store.remove(key);
    }
}

void DesktopShell::Report(const Status& status)
{
    ::Report(context_.services.Messages(), status);
}

int DesktopShell::Ask(const std::string& question, const std::vector<std::string>& choices, int safeChoice)
{
    return context_.services.Messages().Ask("KEL-7300", question.c_str(), choices, safeChoice);
}

bool DesktopShell::HasCommand(int id) const
{
    return id == ids::ID_FILE_NEW || id == ids::ID_FILE_PRINT_SETUP || id == ids::ID_APP_ABOUT ||
           id == ids::ID_APP_EXIT;
}

bool DesktopShell::OnCommand(int id)
{
    switch (id) {
    case ids::ID_FILE_NEW:
        context_.kelApp.OnFileNew();
        return true;
    case ids::ID_FILE_PRINT_SETUP: {
        QPageSetupDialog dialog(&printer_, frame_.get());
        dialog.exec();
        return true;
    }
    case ids::ID_APP_ABOUT: {
        CAboutDlg about(context_, frame_.get());
        about.DoModal();
        return true;
    }
    case ids::ID_APP_EXIT:
        frame_->close();
        return true;
    default:
        return false;
    }
}
