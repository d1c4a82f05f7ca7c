#include "ui/display_check.h"

#include <cstdlib>

#ifdef KEL_HAVE_X11
#include <X11/Xlib.h>
#endif

bool DisplayAvailable(std::string& why)
{
#if defined(_WIN32) || defined(__APPLE__)
    (void)why;
    return true;
#else
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (set("QT_QPA_PLATFORM") || set("WAYLAND_DISPLAY")) return true;
    if (!set("DISPLAY")) {
        why = "DISPLAY is not set";
        return false;
    }
#ifdef KEL_HAVE_X11
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        why = std::string("the display ") + std::getenv("DISPLAY") + " does not answer";
        return false;
    }
    XCloseDisplay(display);
#endif
    return true;
#endif
}
