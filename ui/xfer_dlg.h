// The "Transferring Test" dialog: downloads the chosen tests as soon as it is
// up, shows the test and the bytes received with a progress bar, and offers Abort.
#pragma once

#include <vector>

#include "instrument/download.h"
#include "qt/dialog.h"

class QProgressBar;

class CXferDlg : public platform::Dialog {
public:
    // Downloads through `channel` into `folder`; a test that fails is told through `messages`.
    CXferDlg(CSerialCom& channel, const std::string& folder, platform::MessagePresenter& messages,
             QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnTimer(int id);
    void OnAbort();
    // Runs the batch and ends the dialog: OK when every test arrived, else Cancel.
    int DownloadAll();

    TestTransfer transfer;  // testCount, testNumbers, filePrefix, and its cancel token
    int timerId = 0;
    // The test under way and the bytes received of it, as the dialog shows them.
    std::string testText;
    std::string bytesText;
    // What became of each test of the batch, in order, once it has run.
    std::vector<TestOutcome> outcomes;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
    void OnCommand(int id) override;
    // Esc and the close box act as Abort while a transfer runs.
    void OnCancel() override;

private:
    QProgressBar* progress_ = nullptr;
    bool running_ = false;
};
