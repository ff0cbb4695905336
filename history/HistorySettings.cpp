#include "history/HistorySettings.h"

#include "history/HistoryStore.h"
#include "platform/SettingsStore.h"

namespace corvid {

namespace {
constexpr const char* kRecordKey = "RecordLoads";
constexpr const char* kLocationKey = "Location";
}  // namespace

SHistorySettings SHistorySettings::Read(ISettingsStore& store) {
    SHistorySettings settings;
    settings.record = store.GetProfileInt(kSection, kRecordKey, 0) != 0;
    settings.location = store.GetProfileString(kSection, kLocationKey, "");
    return settings;
}

bool SHistorySettings::Write(ISettingsStore& store) const {
    const bool a = store.WriteProfileInt(kSection, kRecordKey, record ? 1 : 0);
    const bool b = store.WriteProfileString(kSection, kLocationKey, location);
    return a && b;
}

std::string SHistorySettings::Resolved() const {
    return location.empty() ? DefaultHistoryPath() : location;
}

}  // namespace corvid
