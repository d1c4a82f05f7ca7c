#include "app/kel_app.h"

#include <filesystem>
#include <system_error>

#include "app/process_objects.h"

CKelApp::~CKelApp() = default;

int CKelApp::InitInstance(platform::ApplicationShell& shell)
{
    shell_ = &shell;
    document_ = std::make_unique<CKelDoc>();
    appInfo.LoadSettings();
    serialChannel.port = appInfo.comPort;  // opened on first use
    // Portrait (1) leaves the printer's own default in force.
    if (appInfo.orientation == 0) SetPrinterOrientation(1);
    if (!shell.ProcessShellCommand()) return 0;
    shell.ShowMainWindowMaximized();
    return 1;
}

void CKelApp::SetPrinterOrientation(int landscape)
{
    if (shell_) shell_->SetDefaultOrientation(landscape != 0);
}

int CKelApp::OpenDocumentFile(const std::string& pathName, int fromSelection)
{
    if (!document_) return 0;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(pathName, error);
    if (error) full = pathName;
    if (!fromSelection) {
        // As after a download: one entry, flagged; its other columns are not read.
        testCatalogue.SetOnly(full.parent_path().string(), full.filename().string());
    }
    const int opened = document_->OnOpenDocument(full.string());
    if (opened) {
        // The file the first shown test came from, wherever the folder has gone since.
        const CKelDoc& document = *document_;
        pathName_ = document.recordCount > 0 ? document.records[0].path : full.string();
        if (shell_) shell_->AddToRecentFileList(pathName_);
    }
    if (shell_) shell_->UpdateAllViews();
    return opened;
}

void CKelApp::OnFileNew()
{
    if (!document_) return;
    document_->OnNewDocument();
    pathName_.clear();
    if (shell_) shell_->UpdateAllViews();
}
