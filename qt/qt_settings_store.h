// The settings store of the desktop program: QSettings in the native format for
// the user, organisation "Quellton", application "KEL-7300". That is the registry
// key HKCU\Software\Quellton\KEL-7300 on Windows and
// ~/.config/Quellton/KEL-7300.conf on Linux.
#pragma once

#include <QSettings>

#include "services/settings_store.h"

namespace platform {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    int GetProfileInt(const char* section, const char* entry, int defaultValue) override;
    int WriteProfileInt(const char* section, const char* entry, int value) override;
    std::string GetProfileString(const char* section, const char* entry, const std::string& defaultValue) override;
    int WriteProfileString(const char* section, const char* entry, const std::string& value) override;

private:
    QSettings settings_;
};

}  // namespace platform
