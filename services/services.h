// The services the core asks of the platform: the clock, waiting, the event
// pump, the wait cursor, message boxes, the settings store, the folder chooser
// and the spreadsheet server. One object holds them; `main` (or a test) fills
// it in and hands it to the program's context. A service left empty has a
// plain default: the steady clock, a real sleep, nothing to dispatch, standard
// error for messages, a store that holds nothing, no folder chooser.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "services/message_box.h"
#include "services/settings_store.h"

namespace platform {

using FolderChooser = std::function<bool(const std::string& title, const std::string& start, std::string& folder)>;
// The spreadsheet server for a ProgID; empty means the system's, else the built-in one.
using ServerFactory = std::function<std::shared_ptr<DispatchObject>(const std::string& progId)>;

class Services {
public:
    // The 32-bit millisecond tick count that every time-out counts with. It
    // wraps after 49.7 days, as the tester's program always expected.
    std::uint32_t GetTickCount() const;
    // Lets `ms` milliseconds pass: sleeps on the real clock, moves a test clock.
    void SleepMs(int ms) const;
    // Dispatches waiting window events, at most `maxEvents` (0: all that wait),
    // so that windows repaint and Abort works while the program waits.
    void PumpEvents(int maxEvents) const;
    void ShowWaitCursor(bool on) const;
    MessagePresenter& Messages() const;
    SettingsStore& Settings() const;
    // Lets the user choose a folder, starting at `startFolder`: true and the
    // chosen folder in `folder`, or false when the user cancelled (or there is no chooser).
    bool BrowseForFolder(const std::string& title, const std::string& startFolder, std::string& folder) const;

    std::function<std::uint32_t()> tickSource;
    std::function<void(int)> sleeper;
    std::function<void(int)> eventPump;
    std::function<void(bool)> waitCursor;
    MessagePresenter* presenter = nullptr;
    SettingsStore* settings = nullptr;
    FolderChooser folderChooser;
    ServerFactory serverFactory;

private:
    mutable StderrMessagePresenter stderrPresenter_;
    mutable NullSettingsStore nullStore_;
};

// Fills `folder` with the process's current folder (empty when it has none).
void GetCurrentFolder(std::string& folder);

}  // namespace platform
