// Prints the keyboard locks as the status bar reads them: "CAP NUM SCRL" as 0 or 1,
// and "x11" or "leds" for where they came from.
#include <QGuiApplication>
#include <cstdio>

#include "platform/qt/X11KeyboardLocks.h"

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const std::optional<corvid::LockStates> x11 = corvid::ReadX11LockStates();
    const corvid::LockStates states = corvid::ReadKeyboardLocks();
    std::printf("%d %d %d %s\n", states[0] ? 1 : 0, states[1] ? 1 : 0, states[2] ? 1 : 0, x11 ? "x11" : "leds");
    return 0;
}
