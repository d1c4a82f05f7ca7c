// Whether the desktop program has a display to open its window on. Without
// one Qt ends the program with an abort; the program says what to do instead.
#pragma once

#include <string>

// True when a window can be shown: a Qt platform was chosen explicitly, a
// Wayland display is named, or the X display named by DISPLAY answers (always
// on Windows). Otherwise false, and `why` says what is missing.
bool DisplayAvailable(std::string& why);
