// The Application Setup dialog (serial port and default print orientation)
// and the About box with the tester's version.
#pragma once

#include <string>

#include "platform/qt/dialog.h"

class QComboBox;
class QLabel;

class CAppSetup : public platform::Dialog {
public:
    explicit CAppSetup(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    int portIndex = -1;
    int orientation = -1;
    QComboBox* portList = nullptr;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;

private:
    void ShowDevice();
    QLabel* device_ = nullptr;
};

class CAboutDlg : public platform::Dialog {
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    std::string revisionText;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
};

// Installs the Setup dialog as the one that appInfo.EditSettings runs.
void InstallSetupDialog(QWidget* parent);
