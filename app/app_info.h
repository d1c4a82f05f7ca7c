// The two persisted settings: serial port and default print orientation.
#pragma once

#include <functional>
#include <string>

class CSerialCom;
namespace platform {
class Services;
}

// The team archive: where it is (a libpq connection string, URI or
// service=NAME; never a password) and whether downloaded tests go there.
struct ArchiveSettings {
    std::string connection;
    bool sendDownloaded = false;
};

// The settings come from the services' store; a change of port is handed to
// the serial channel. The application applies a change of orientation.
class CAppInfo {
public:
    CAppInfo(const platform::Services& services, CSerialCom& channel);
    ~CAppInfo();
    CAppInfo(const CAppInfo&) = delete;
    CAppInfo& operator=(const CAppInfo&) = delete;

    static constexpr int kPortCount = 100;  // COM1 to COM100, as the Setup dialog lists them

    // Reads both settings from the settings store; a value outside the Setup
    // dialog's lists counts as its default. Always 1.
    int LoadSettings();
    // Writes both settings; a failed write is not reported. Always 1.
    int SaveSettings();
    // Runs the Application Setup dialog; on OK stores both settings (a list
    // left without a choice keeps its value), points the serial channel at the
    // chosen port and returns true: the caller applies the orientation.
    bool EditSettings();

    // The Setup dialog: true on OK, with the chosen row (port - 1), orientation and archive settings.
    std::function<bool(int& portIndex, int& orientation, ArchiveSettings& archive)> runSetupDialog;

    int comPort = 1;      // 1 means COM1, up to 100
    int orientation = 0;  // default print orientation: 0 landscape, 1 portrait
    ArchiveSettings archive;  // section "Archive": Connection, SendDownloaded

private:
    const platform::Services& services_;
    CSerialCom& channel_;
};
