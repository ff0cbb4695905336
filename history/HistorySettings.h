#pragma once

#include <string>

namespace corvid {

class ISettingsStore;

// The desktop's choice to record each load in the history store, and where.
struct SHistorySettings {
    bool record = false;   // off unless the user turns it on
    std::string location;  // a file or a PostgreSQL connection string; empty: the default file

    bool operator==(const SHistorySettings&) const = default;

    static constexpr const char* kSection = "History";
    static SHistorySettings Read(ISettingsStore& store);
    bool Write(ISettingsStore& store) const;
    // The location, or the default file when none is set.
    std::string Resolved() const;
};

}  // namespace corvid
