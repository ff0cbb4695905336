#include "platform/qt/X11KeyboardLocks.h"

#include <QGuiApplication>

#if __has_include(<X11/XKBlib.h>) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#define CORVID_HAVE_XKB 1
#endif

namespace corvid {

std::optional<LockStates> ReadX11LockStates() {
#ifdef CORVID_HAVE_XKB
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb")) return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return std::nullopt;
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) return std::nullopt;

    // The indicators by name, as the keymap defines them; a keymap without a named
    // indicator falls back to the locked modifiers (Lock for CAP, Mod2 for NUM).
    XkbStateRec state{};
    const bool haveState = XkbGetState(display, XkbUseCoreKbd, &state) == Success;
    static const char* const kNames[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    LockStates states{false, false, false};
    for (int lock = 0; lock < 3; ++lock) {
        const Atom name = XInternAtom(display, kNames[lock], True);
        Bool on = False;
        if (name != None && XkbGetNamedIndicator(display, name, nullptr, &on, nullptr, nullptr)) {
            states[lock] = on == True;
        } else if (haveState && lock == 0) {
            states[lock] = (state.locked_mods & LockMask) != 0;
        } else if (haveState && lock == 1) {
            states[lock] = (state.locked_mods & Mod2Mask) != 0;
        }
    }
    return states;
#else
    return std::nullopt;
#endif
}

LockStates ReadKeyboardLocks() {
    if (const std::optional<LockStates> x11 = ReadX11LockStates()) return *x11;
    return ReadLockLeds();
}

}  // namespace corvid
