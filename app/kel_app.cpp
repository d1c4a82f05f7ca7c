#include "app/kel_app.h"

#include <filesystem>
#include <system_error>

#include "app/app_info.h"
#include "instrument/serial_com.h"
#include "testfile/kel_test_list.h"
#include "platform/names.h"

CKelApp::CKelApp(CAppInfo& settings, CSerialCom& channel, CKELTestList& catalogue)
    : settings_(settings), channel_(channel), catalogue_(catalogue)
{
}

CKelApp::~CKelApp() = default;

int CKelApp::InitInstance(platform::ApplicationShell& shell)
{
    shell_ = &shell;
    document_ = std::make_unique<CKelDoc>(catalogue_);
    settings_.LoadSettings();
    channel_.port = settings_.comPort;  // opened on first use
    // Portrait (1) leaves the printer's own default in force.
    if (settings_.orientation == 0) SetPrinterOrientation(1);
    if (!shell.ProcessShellCommand()) return 0;
    shell.ShowMainWindowMaximized();
    return 1;
}

void CKelApp::SetPrinterOrientation(int landscape)
{
    if (shell_) shell_->SetDefaultOrientation(landscape != 0);
}

void CKelApp::OnApplicationSetup()
{
    if (settings_.EditSettings()) SetPrinterOrientation(settings_.orientation == 0 ? 1 : 0);
}

int CKelApp::OpenDocumentFile(const std::string& pathName, int fromSelection)
{
    if (!document_ || !SaveModified()) return 0;
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(platform::PathOf(pathName), error);
    if (error) full = platform::PathOf(pathName);
    if (!fromSelection) {
        // As after a download: one entry, flagged; its other columns are not read.
        catalogue_.SetOnly(platform::NameOf(full.parent_path()), platform::NameOf(full.filename()));
    }
    const Status status = document_->OnOpenDocument(platform::NameOf(full));
    const int opened = status ? 1 : 0;
    if (!status && shell_) shell_->Report(status);
    if (opened) {
        // The file the first shown test came from, wherever the folder has gone since.
        const CKelDoc& document = *document_;
        pathName_ = document.recordCount > 0 ? document.records[0].path : platform::NameOf(full);
        if (shell_) shell_->AddToRecentFileList(pathName_);
    }
    if (shell_) shell_->UpdateAllViews();
    return opened;
}

void CKelApp::OnFileNew()
{
    if (!document_ || !SaveModified()) return;
    document_->OnNewDocument();
    pathName_.clear();
    if (shell_) shell_->UpdateAllViews();
}

Status CKelApp::SaveTest()
{
    if (!document_ || !document_->testOpen || document_->recordCount < 1) return Status::Of(Problem::NotATest);
    const Status saved = document_->records[0].WriteHeaderTexts();
    if (saved) document_->SetModifiedFlag(false);
    return saved;
}

bool CKelApp::SaveModified()
{
    if (!document_ || !document_->IsModified() || !document_->testOpen) return true;
    enum { kSave, kDiscard, kCancel };
    const std::string name = platform::NameOf(platform::PathOf(document_->records[0].path).filename());
    const int choice =
        shell_ ? shell_->Ask("Save changes to " + name + "?", {"Save", "Discard", "Cancel"}, kCancel) : kCancel;
    if (choice == kCancel) return false;
    if (choice == kSave) {
        const Status saved = SaveTest();
        if (!saved) {
            if (shell_) shell_->Report(saved);
            return false;
        }
    }
    document_->SetModifiedFlag(false);
    return true;
}
