#include "ui/xfer_dlg.h"

#include <QProgressBar>
#include <QTimer>

CXferDlg::CXferDlg(CSerialCom& channel, const std::string& folder, platform::MessagePresenter& messages,
                   QWidget* parent)
    : Dialog(resources::IDD_TRANSFER, parent), transfer(channel, folder)
{
    transfer.onTestDone = [&messages](int, const Status& outcome) { Report(messages, outcome); };
    // Below the two texts: bytes received of the test's length.
    progress_ = new QProgressBar(this);
    progress_->setGeometry(MapDialogRect(10, 40, 116, 8));
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    transfer.onProgress = [this] {
        UpdateData(false);
        progress_->setRange(0, std::max(transfer.bytesExpected - 2, 1));
        progress_->setValue(transfer.bytesText.empty() ? 0 : std::stoi(transfer.bytesText));
    };
}

void CXferDlg::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Text(dx, resources::IDC_TEST_TEXT, transfer.testText);
    platform::DDX_Text(dx, resources::IDC_BYTES_TEXT, transfer.bytesText);
}

bool CXferDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    timerId = 1;
    // The batch starts from the event loop, once the dialog is up.
    QTimer::singleShot(1, this, [this] { OnTimer(1); });
    return true;
}

void CXferDlg::OnTimer(int id)
{
    if (id != timerId) return;
    DownloadAll();
}

void CXferDlg::OnAbort()
{
    transfer.abortRequested = 1;
}

int CXferDlg::DownloadAll()
{
    running_ = true;
    const int outcome = transfer.DownloadAll();
    running_ = false;
    EndDialog(outcome ? resources::IDOK : resources::IDCANCEL);
    return outcome;
}

void CXferDlg::OnCommand(int id)
{
    if (id == resources::IDC_ABORT) OnAbort();
}

void CXferDlg::OnCancel()
{
    if (running_) OnAbort();
    else Dialog::OnCancel();
}
