#pragma once

#include <optional>
#include <string_view>

namespace corvid {

// How a session authenticates: as an ordinary user, or with the SYSDBA or SYSOPER
// privilege. The values are the ones the settings and the trace have always used.
enum class EConnectMode : int { Normal = 0, SysDba = 1, SysOper = 2 };

// "NORMAL", "SYSDBA" or "SYSOPER".
constexpr const char* ConnectModeName(EConnectMode mode) {
    switch (mode) {
        case EConnectMode::SysDba:
            return "SYSDBA";
        case EConnectMode::SysOper:
            return "SYSOPER";
        case EConnectMode::Normal:
            break;
    }
    return "NORMAL";
}

// The mode a name stands for, case ignored; nothing for any other text.
std::optional<EConnectMode> ConnectModeFromName(std::string_view name);

}  // namespace corvid
