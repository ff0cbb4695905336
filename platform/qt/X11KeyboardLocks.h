#pragma once

#include <optional>

#include "platform/KeyboardLocks.h"

namespace corvid {

// The locks as the X server's keyboard extension reports them, for the display
// the application runs on; nothing where the application runs on no X display or
// the server has no keyboard extension.
std::optional<LockStates> ReadX11LockStates();

// The X server's answer where there is one, otherwise the kernel's LEDs.
LockStates ReadKeyboardLocks();

}  // namespace corvid
