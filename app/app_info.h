// The two persisted settings: serial port and default print orientation.
#pragma once

class CAppInfo {
public:
    CAppInfo() = default;
    virtual ~CAppInfo();

    // Reads both settings from the settings store, taken as stored. Always 1.
    int LoadSettings();
    // Writes both settings; a failed write is not reported. Always 1.
    int SaveSettings();

    int comPort = 1;      // 1 means COM1, up to 100
    int orientation = 0;  // default print orientation: 0 landscape, 1 portrait
};
