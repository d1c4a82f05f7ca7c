// The per-user settings store: integer values by section and entry name.
#pragma once

#include <string>

namespace platform {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored integer, or `defaultValue` when the value is absent or not an integer.
    virtual int GetProfileInt(const char* section, const char* entry, int defaultValue) = 0;
    // Returns non-zero when the value was stored.
    virtual int WriteProfileInt(const char* section, const char* entry, int value) = 0;
    // A text (UTF-8), or `defaultValue` when absent.
    virtual std::string GetProfileString(const char* section, const char* entry, const std::string& defaultValue) = 0;
    virtual int WriteProfileString(const char* section, const char* entry, const std::string& value) = 0;
};

// A store that holds nothing: every read yields its default, every write is refused.
// In force where the program has no real store.
class NullSettingsStore : public SettingsStore {
public:
    int GetProfileInt(const char*, const char*, int defaultValue) override { return defaultValue; }
    int WriteProfileInt(const char*, const char*, int) override { return 0; }
    std::string GetProfileString(const char*, const char*, const std::string& defaultValue) override
    {
        return defaultValue;
    }
    int WriteProfileString(const char*, const char*, const std::string&) override { return 0; }
};

}  // namespace platform
