#include "ui/xfer_dlg.h"

#include <QProgressBar>
#include <QTimer>

#include <filesystem>

CXferDlg::CXferDlg(CSerialCom& channel, const std::string& folder, platform::MessagePresenter& messages,
                   QWidget* parent)
    : Dialog(resources::IDD_TRANSFER, parent), transfer(channel, folder)
{
    transfer.onTestDone = [&messages, folder](int, const Status& outcome, const Arrival& arrival) {
        if (!Report(messages, outcome) && outcome && arrival.how == Arrival::KeptUsersTexts)
            ShowMessage(messages, "%s", TestTransfer::ArrivalNote(arrival, folder).c_str());
    };
    // A name that holds another test (or none) is the user's to decide; Skip keeps it.
    transfer.onNameTaken = [&messages](const std::string& path, int testNumber) {
        const std::string name = std::filesystem::path(path).filename().string();
        const std::string question = name + " holds another test, or no test. Replace it, keep both (test " +
                                     std::to_string(testNumber) + " as \"" +
                                     std::filesystem::path(path).stem().string() + " (2).kel\"), or skip test " +
                                     std::to_string(testNumber) + "?";
        const int choice = messages.Ask("KEL-7300", question.c_str(), {"Replace", "Keep Both", "Skip"}, 2);
        return choice == 0 ? NameTakenChoice::Replace
               : choice == 1 ? NameTakenChoice::KeepBoth
                             : NameTakenChoice::Skip;
    };
    // Below the two texts: bytes received of the test's length.
    progress_ = new QProgressBar(this);
    progress_->setGeometry(MapDialogRect(10, 40, 116, 8));
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    transfer.onProgress = [this](const DownloadProgress& progress) {
        // The byte count stands until the next test's first block arrives.
        testText = std::to_string(progress.testNumber);
        if (progress.bytesTotal > 0) bytesText = std::to_string(progress.bytesDone);
        UpdateData(false);
        if (progress.bytesTotal > 0) {
            progress_->setRange(0, std::max(progress.bytesTotal - 2, 1));
            progress_->setValue(progress.bytesDone);
        }
    };
}

void CXferDlg::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Text(dx, resources::IDC_TEST_TEXT, testText);
    platform::DDX_Text(dx, resources::IDC_BYTES_TEXT, bytesText);
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
    transfer.cancel.Cancel();
}

int CXferDlg::DownloadAll()
{
    running_ = true;
    outcomes = transfer.DownloadAll();
    running_ = false;
    const int outcome = transfer.AllArrived(outcomes) ? 1 : 0;
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
