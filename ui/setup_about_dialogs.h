// The Application Setup dialog (serial port and default print orientation)
// and the About box with the tester's version.
#pragma once

#include <string>

#include "qt/dialog.h"

class CAppInfo;
class KelContext;
class QComboBox;
class QLabel;

class CAppSetup : public platform::Dialog {
public:
    explicit CAppSetup(KelContext& context, QWidget* parent = nullptr);
    bool OnInitDialog() override;
    // Probes every port present with the handshake, with a progress bar and
    // Cancel, and chooses the one that answers; says so when none does.
    void FindTester();

    int portIndex = -1;
    int orientation = -1;
    QComboBox* portList = nullptr;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;

private:
    void ShowDevice();
    KelContext& context_;
    QLabel* device_ = nullptr;
};

class CAboutDlg : public platform::Dialog {
public:
    explicit CAboutDlg(KelContext& context, QWidget* parent = nullptr);
    bool OnInitDialog() override;

    std::string revisionText;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;

private:
    KelContext& context_;
};

// Installs the Setup dialog as the one that `settings`.EditSettings runs.
void InstallSetupDialog(KelContext& context, QWidget* parent);
