// The Application Setup dialog (serial port and default print orientation)
// and the About box with the tester's version.
#pragma once

#include <string>

#include "app/app_info.h"
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

    // Connects with the archive settings' connection and says what it found, or why it failed.
    void TestConnection();

    int portIndex = -1;
    int orientation = -1;
    QComboBox* portList = nullptr;
    ArchiveSettings archive;  // the archive section, read back on OK

protected:
    void DoDataExchange(platform::DataExchange& dx) override;

private:
    void ShowDevice();
    KelContext& context_;
    QLabel* device_ = nullptr;
    class QLineEdit* connection_ = nullptr;
    class QCheckBox* send_ = nullptr;
    QLabel* found_ = nullptr;
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
