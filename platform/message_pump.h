// Dispatching the window events that wait, from inside a wait for the tester,
// so windows repaint and Abort works. A no-op unless the program installs one.
#pragma once

#include <functional>

namespace platform {

// Dispatches waiting events, at most `maxEvents` of them (0: all that wait).
void PumpEvents(int maxEvents);
void SetEventPump(std::function<void(int)> pump);

// The wait cursor while the program waits for the tester.
void ShowWaitCursor(bool on);
void SetWaitCursorHook(std::function<void(bool)> hook);

}  // namespace platform
