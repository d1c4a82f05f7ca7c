#include "ui/xfer_dlg.h"

#include <QProgressBar>
#include <QTimer>

#include <filesystem>

CXferDlg::CXferDlg(CSerialCom& channel, const std::string& folder, platform::MessagePresenter& messages,
                   QWidget* parent)
    : Dialog(resources::IDD_TRANSFER, parent), transfer(channel, folder)
{
    transfer.onTestDone = [this, &messages, folder](int index, const Status& outcome, const Arrival& arrival) {
        if (!Report(messages, outcome) && outcome && arrival.how == Arrival::KeptUsersTexts)
            ShowMessage(messages, "%s", TestTransfer::ArrivalNote(arrival, folder).c_str());
        if (outcome) {
            if (arrivals.size() <= static_cast<std::size_t>(index)) arrivals.resize(static_cast<std::size_t>(index) + 1);
            arrivals[static_cast<std::size_t>(index)] = arrival;
        }
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
