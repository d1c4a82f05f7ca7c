#include "app/app_info.h"

#include "app/process_objects.h"
#include "platform/settings_store.h"

std::function<bool(int&, int&)> CAppInfo::runSetupDialog;

namespace {

int ValidPort(int port, int fallback)
{
    return port >= 1 && port <= CAppInfo::kPortCount ? port : fallback;
}

int ValidOrientation(int orientation, int fallback)
{
    return orientation == 0 || orientation == 1 ? orientation : fallback;
}

}  // namespace

CAppInfo::~CAppInfo() = default;

int CAppInfo::LoadSettings()
{
    platform::SettingsStore& store = platform::CurrentSettingsStore();
    // A stored value that the Setup dialog does not offer counts as its default
    // (COM1, landscape); the store keeps it until the user chooses.
    comPort = ValidPort(store.GetProfileInt("Settings", "ComPort", 1), 1);
    orientation = ValidOrientation(store.GetProfileInt("Settings", "Orientation", 0), 0);
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
    // Only what the lists offer is stored: no choice keeps the value in force.
    comPort = ValidPort(portIndex + 1, comPort);
    orientation = ValidOrientation(chosenOrientation, orientation);
    kelApp.SetPrinterOrientation(orientation == 0 ? 1 : 0);
    SaveSettings();
    serialChannel.Close();
    serialChannel.port = comPort;
}
