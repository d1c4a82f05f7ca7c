// The program's context for one test: services that record message boxes and
// keep settings in memory, and a channel whose port the test chooses (and may
// change) through `openPort`.
#pragma once

#include "app/kel_context.h"
#include "support/temp_dir.h"

namespace kel_test {

class TestContext {
public:
    TestContext() : context(services, [this] { return openPort ? openPort() : platform::MakeSystemSerialPort(); })
    {
        services.presenter = &presenter;
        services.settings = &settings;
    }
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    RecordingPresenter presenter;
    MemorySettingsStore settings;
    platform::Services services;
    platform::SerialPortFactory openPort;
    KelContext context;
};

}  // namespace kel_test
