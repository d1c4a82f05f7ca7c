// The program's context: the objects that live as long as the program (the
// serial channel, the tester, the settings, the application, the catalogue),
// made by `main` (or a test) over the platform services it is handed, and
// passed by reference to what needs them. Members are made in this order
// and destroyed in reverse.
#pragma once

#include "app/app_info.h"
#include "app/kel_app.h"
#include "instrument/kel_device.h"
#include "instrument/serial_com.h"
#include "platform/serial_port.h"
#include "services/services.h"
#include "testfile/kel_test_list.h"

class KelContext {
public:
    // `openPort` makes the serial port the channel opens (empty: the system's).
    explicit KelContext(platform::Services& platformServices, platform::SerialPortFactory openPort = {})
        : services(platformServices),
          serialChannel(services, std::move(openPort)),
          kelDevice(serialChannel),
          appInfo(services, serialChannel),
          kelApp(appInfo, serialChannel, testCatalogue)
    {
    }
    KelContext(const KelContext&) = delete;
    KelContext& operator=(const KelContext&) = delete;

    platform::Services& services;
    CSerialCom serialChannel;
    CKELDevice kelDevice;
    CAppInfo appInfo;
    CKelApp kelApp;
    CKELTestList testCatalogue;
};
