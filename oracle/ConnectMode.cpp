#include "oracle/ConnectMode.h"

#include "platform/AsciiText.h"

namespace corvid {

std::optional<EConnectMode> ConnectModeFromName(std::string_view name) {
    for (EConnectMode mode : {EConnectMode::Normal, EConnectMode::SysDba, EConnectMode::SysOper})
        if (EqualsIgnoringAsciiCase(name, ConnectModeName(mode))) return mode;
    return std::nullopt;
}

}  // namespace corvid
