#pragma once

namespace corvid {

class ISettingsStore;

// The main window's placement in the section "Settings": the rectangle of the
// normal (not maximised) window in pixels and the show state, stored under "left",
// "right", "top", "bottom" and "showcmd".
class CWindowPlacement {
public:
    // Show states as stored.
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;

    int m_Left = 0;
    int m_Top = 0;
    int m_Right = 0;
    int m_Bottom = 0;
    int m_ShowCmd = kShowMaximized;

    // Reads the five values (missing ones as 0, the show state as maximised).
    void Load(ISettingsStore& store);
    // Writes "left", "right", "top", "bottom" and "showcmd", in that order.
    void Save(ISettingsStore& store) const;

    // True when the rectangle shares at least one pixel with the screen's
    // rectangle (left, top, left + width, top + height).
    bool IntersectsScreen(int screenLeft, int screenTop, int screenWidth, int screenHeight) const;
};

}  // namespace corvid
