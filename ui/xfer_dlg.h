// The "Transferring Test" dialog: downloads the chosen tests as soon as it is
// up, shows the test and the bytes received with a progress bar, and offers Abort.
#pragma once

#include <vector>

#include "instrument/download.h"
#include "platform/qt/dialog.h"

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

    TestTransfer transfer;  // testCount, testNumbers, abortRequested, filePrefix, the texts
    int timerId = 0;
    // Where each test of the batch went, by its index in `transfer.testNumbers`
    // (empty paths for those that did not arrive).
    std::vector<Arrival> arrivals;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
    void OnCommand(int id) override;
    // Esc and the close box act as Abort while a transfer runs.
    void OnCancel() override;

private:
    QProgressBar* progress_ = nullptr;
    bool running_ = false;
};
