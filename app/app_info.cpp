#include "app/app_info.h"

#include "platform/settings_store.h"

CAppInfo::~CAppInfo() = default;

int CAppInfo::LoadSettings()
{
    platform::SettingsStore& store = platform::CurrentSettingsStore();
    comPort = store.GetProfileInt("Settings", "ComPort", 1);
    orientation = store.GetProfileInt("Settings", "Orientation", 0);
    return 1;
}

int CAppInfo::SaveSettings()
{
    platform::SettingsStore& store = platform::CurrentSettingsStore();
    store.WriteProfileInt("Settings", "ComPort", comPort);
    store.WriteProfileInt("Settings", "Orientation", orientation);
    return 1;
}
