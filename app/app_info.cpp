#include "app/app_info.h"

#include "instrument/serial_com.h"
#include "services/services.h"

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

CAppInfo::CAppInfo(const platform::Services& services, CSerialCom& channel)
    : services_(services), channel_(channel)
{
}

CAppInfo::~CAppInfo() = default;

int CAppInfo::LoadSettings()
{
    platform::SettingsStore& store = services_.Settings();
    // A stored value that the Setup dialog does not offer counts as its default
    // (COM1, landscape); the store keeps it until the user chooses.
    comPort = ValidPort(store.GetProfileInt("Settings", "ComPort", 1), 1);
    orientation = ValidOrientation(store.GetProfileInt("Settings", "Orientation", 0), 0);
    archive.connection = store.GetProfileString("Archive", "Connection", "");
    archive.sendDownloaded = store.GetProfileInt("Archive", "SendDownloaded", 0) != 0;
    return 1;
}

int CAppInfo::SaveSettings()
{
    platform::SettingsStore& store = services_.Settings();
    store.WriteProfileInt("Settings", "ComPort", comPort);
    store.WriteProfileInt("Settings", "Orientation", orientation);
    return 1;
}

bool CAppInfo::EditSettings()
{
    int portIndex = comPort - 1;
    int chosenOrientation = orientation;
    ArchiveSettings chosenArchive = archive;
    if (!runSetupDialog || !runSetupDialog(portIndex, chosenOrientation, chosenArchive)) return false;
    // The archive's settings are stored only when they changed, beside the two of the Setup dialog.
    if (chosenArchive.connection != archive.connection || chosenArchive.sendDownloaded != archive.sendDownloaded) {
        archive = chosenArchive;
        platform::SettingsStore& store = services_.Settings();
        store.WriteProfileString("Archive", "Connection", archive.connection);
        store.WriteProfileInt("Archive", "SendDownloaded", archive.sendDownloaded ? 1 : 0);
    }
    // Only what the lists offer is stored: no choice keeps the value in force.
    comPort = ValidPort(portIndex + 1, comPort);
    orientation = ValidOrientation(chosenOrientation, orientation);
    SaveSettings();
    channel_.Close();
    channel_.port = comPort;
    return true;
}
