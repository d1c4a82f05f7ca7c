#include "ui/directory_dialog.h"

#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "app/kel_context.h"
#include "services/message_box.h"
#include "ui/xfer_dlg.h"

namespace {

constexpr platform::ListColumn kColumns[7] = {
    {"Test", true, "Test Num"},
    {"Date", false, "04/44/99 123"},
    {"Time", false, "19:02:22 123"},
    {"Type", false, "DDDDD"},
    {"Company", false, "MERIDALE NORTHWAYS11"},
    {"Location", false, "MERIDALE NORTHWAYS11"},
    {"Description", false, "MERIDALE NORTHWAYS11"},
};

}  // namespace

CTestDlg::CTestDlg(KelContext& context, QWidget* parent)
    : Dialog(resources::IDD_TEST_DIRECTORY, parent), context_(context)
{
}

void CTestDlg::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Control(dx, resources::IDC_TEST_LIST, testList);
    platform::DDX_Name(dx, resources::IDC_FILE_PREFIX, filePrefix);  // it names files
}

bool CTestDlg::OnInitDialog()
{
    filePrefix = "Test";
    Dialog::OnInitDialog();
    platform::SetUpReportList(testList, kColumns, 7);
    const CKELDevice& kelDevice = context_.kelDevice;
    for (int i = 0; i < kelDevice.entryCount; ++i) {
        const DirectoryEntry& entry = kelDevice.entries[i];
        char number[16];
        std::snprintf(number, sizeof number, "%04d", entry.testNumber);
        auto* row = new QTreeWidgetItem(QStringList{
            QString::fromLatin1(number), QString::fromLatin1(entry.dateText), QString::fromLatin1(entry.timeText),
            QString::fromLatin1(entry.testTypeCode), QString::fromLatin1(entry.company),
            QString::fromLatin1(entry.location), QString::fromLatin1(entry.description)});
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        testList->addTopLevelItem(row);
    }
    return true;
}

QList<int> CTestDlg::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : testList->selectionModel()->selectedRows()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    // Delete and Download need a row: without one they say so and do nothing.
    if (rows.isEmpty()) ShowMessage(context_.services.Messages(), "Please select test first");
    return rows;
}

void CTestDlg::OnCommand(int id)
{
    if (id == resources::IDC_DELETE_TEST) OnDeleteTest();
    else if (id == resources::IDC_DOWNLOAD_TEST) OnDownloadTest();
}

void CTestDlg::OnDeleteTest()
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return;
    platform::MessagePresenter& messages = context_.services.Messages();
    CKELDevice& kelDevice = context_.kelDevice;
    // An erased test is gone for good: the user confirms, seeing which tests
    // no file of the test folder holds under the name a download would give them.
    UpdateData(true);
    std::string folder;
    platform::GetCurrentFolder(folder);
    constexpr int kListed = 20;
    std::string question = rows.size() == 1 ? "Erase this test on the KEL-7300?\n" : "Erase these tests on the KEL-7300?\n";
    for (int i = 0; i < rows.size() && i < kListed; ++i) {
        const DirectoryEntry& entry = kelDevice.entries[rows[i]];
        char line[64];
        std::snprintf(line, sizeof line, "\n%04d", entry.testNumber);
        question += line;
        char name[TestTransfer::kPathSize];
        if (!TestTransfer::MakePath(filePrefix, entry.testNumber, name) ||
            !HoldsTest((std::filesystem::path(folder) / name).string(), entry))
            question += " (not downloaded yet)";
    }
    if (rows.size() > kListed) question += "\n... and " + std::to_string(rows.size() - kListed) + " more";
    question += "\n\nAn erased test cannot be brought back.";
    if (messages.Ask("KEL-7300", question.c_str(), {"Erase", "Cancel"}, 1) != 0) return;
    for (const int row : rows) Report(messages, kelDevice.EraseTest(kelDevice.entries[row].testNumber));
    EndDialog(resources::IDCANCEL);
}

void CTestDlg::OnDownloadTest()
{
    const QList<int> rows = SelectedRows();
    if (rows.isEmpty()) return;
    platform::MessagePresenter& messages = context_.services.Messages();
    // The files land in the current folder, which follows Shot Path.
    std::string folder;
    platform::GetCurrentFolder(folder);
    CXferDlg transferDialog(context_.serialChannel, folder, messages, this);
    UpdateData(true);
    // Every file name must fit its buffer before anything is sent.
    const CKELDevice& kelDevice = context_.kelDevice;
    for (const int row : rows) {
        if (Report(messages, transferDialog.transfer.PrefixProblem(filePrefix, kelDevice.entries[row].testNumber)))
            return;
    }
    std::snprintf(transferDialog.transfer.filePrefix, sizeof transferDialog.transfer.filePrefix, "%s",
                  filePrefix.c_str());
    for (const int row : rows) {
        if (row >= CKELDevice::kMaxEntries) break;
        transferDialog.transfer.testNumbers[transferDialog.transfer.testCount++] = kelDevice.entries[row].testNumber;
    }
    const int result = runTransfer ? runTransfer(transferDialog) : transferDialog.DoModal();
    if (result != resources::IDOK) return;  // stays open: what arrived is on disk
    // The first test's file: the name a download gives it, or the file that held it already.
    const std::string first =
        transferDialog.outcomes.empty() ? std::string() : transferDialog.outcomes[0].arrival.path;
    std::snprintf(filePath, sizeof filePath, "%s", first.c_str());
    arrivedPath = (std::filesystem::path(folder) / first).string();
    EndDialog(resources::IDOK);
}
