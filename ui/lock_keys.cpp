#include "ui/lock_keys.h"

#include <QGuiApplication>

#if defined(_WIN32)
#include <windows.h>
#elif defined(KEL_HAVE_X11)
#include <X11/XKBlib.h>
#endif

std::optional<LockKeys> ReadLockKeys()
{
#if defined(_WIN32)
    // The low bit of a toggle key's state says whether it is on.
    return LockKeys{(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_NUMLOCK) & 1) != 0,
                    (GetKeyState(VK_SCROLL) & 1) != 0};
#elif defined(KEL_HAVE_X11)
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    // The keyboard's indicators by their XKB names.
    const auto on = [display](const char* name) {
        Bool state = False;
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr) && state;
    };
    return LockKeys{on("Caps Lock"), on("Num Lock"), on("Scroll Lock")};
#else
    return std::nullopt;
#endif
}
