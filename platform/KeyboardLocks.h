#pragma once

#include <array>
#include <string>

namespace corvid {

// The keyboard locks the status bar shows, in its order: CAP, NUM, SCRL.
enum class EKeyboardLock { Caps = 0, Num = 1, Scroll = 2 };
using LockStates = std::array<bool, 3>;

// The locks as the kernel's LED class shows them: a lock is on when any LED
// named "*::capslock" (numlock, scrolllock) in the folder has a brightness above
// 0. All off where the folder does not exist (virtual and remote displays).
LockStates ReadLockLeds(const std::string& ledFolder = "/sys/class/leds");

}  // namespace corvid
