#include "app/app_info.h"

#include "app/process_objects.h"
#include "platform/settings_store.h"

std::function<bool(int&, int&)> CAppInfo::runSetupDialog;

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

void CAppInfo::EditSettings()
{
    int portIndex = comPort - 1;
    int chosenOrientation = orientation;
    if (!runSetupDialog || !runSetupDialog(portIndex, chosenOrientation)) return;
    comPort = portIndex + 1;
    orientation = chosenOrientation;
    kelApp.SetPrinterOrientation(orientation == 0 ? 1 : 0);
    SaveSettings();
    serialChannel.Close();
    serialChannel.port = comPort;
}
