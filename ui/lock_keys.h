// The state of the Caps, Num and Scroll Lock keys, where the platform tells it
// (X11 and Windows); elsewhere (Wayland, offscreen) it cannot be read.
#pragma once

#include <optional>

struct LockKeys {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

std::optional<LockKeys> ReadLockKeys();
