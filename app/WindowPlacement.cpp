#include "app/WindowPlacement.h"

#include <algorithm>

#include "app/AppInfo.h"
#include "platform/SettingsStore.h"

namespace corvid {

void CWindowPlacement::Load(ISettingsStore& store) {
    m_Left = store.GetProfileInt(kPlacementSection, "left", 0);
    m_Right = store.GetProfileInt(kPlacementSection, "right", 0);
    m_Top = store.GetProfileInt(kPlacementSection, "top", 0);
    m_Bottom = store.GetProfileInt(kPlacementSection, "bottom", 0);
    m_ShowCmd = store.GetProfileInt(kPlacementSection, "showcmd", kShowMaximized);
}

void CWindowPlacement::Save(ISettingsStore& store) const {
    store.WriteProfileInt(kPlacementSection, "left", m_Left);
    store.WriteProfileInt(kPlacementSection, "right", m_Right);
    store.WriteProfileInt(kPlacementSection, "top", m_Top);
    store.WriteProfileInt(kPlacementSection, "bottom", m_Bottom);
    store.WriteProfileInt(kPlacementSection, "showcmd", m_ShowCmd);
}

bool CWindowPlacement::IntersectsScreen(int screenLeft, int screenTop, int screenWidth, int screenHeight) const {
    // Computed in 64 bits: the stored values are whatever the settings file holds.
    const long long left = std::max<long long>(m_Left, screenLeft);
    const long long top = std::max<long long>(m_Top, screenTop);
    const long long right = std::min<long long>(m_Right, static_cast<long long>(screenLeft) + screenWidth);
    const long long bottom = std::min<long long>(m_Bottom, static_cast<long long>(screenTop) + screenHeight);
    return left < right && top < bottom;
}

}  // namespace corvid
