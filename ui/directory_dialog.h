// The "KEL-7300 Directory" dialog: the tests the tester holds; erases or
// downloads the chosen ones and, after a download, names the first file.
#pragma once

#include <string>

#include "instrument/download.h"
#include "qt/dialog.h"

class KelContext;
class QTreeWidget;

class CTestDlg : public platform::Dialog {
public:
    explicit CTestDlg(KelContext& context, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnDeleteTest();
    void OnDownloadTest();

    // After a download: the first test's file, as a name in the download's folder and as a whole path.
    char filePath[TestTransfer::kPathSize] = {};
    std::string arrivedPath;
    QTreeWidget* testList = nullptr;
    std::string filePrefix;

    // Runs the transfer dialog; replaced in tests.
    std::function<int(class CXferDlg&)> runTransfer;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
    void OnCommand(int id) override;
    // Enter never ends this dialog: only a download that succeeded does.
    void OnOK() override {}

private:
    // The chosen rows in order; none is told to the user.
    QList<int> SelectedRows() const;

    KelContext& context_;
};
