#include "history/StoredFigures.h"

#include <cstdio>

#include "collection/IntervalFigures.h"

namespace corvid {

namespace {

// The civil date of days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
}

}  // namespace

StoredFigures FiguresOf(const CObjectEntry& e) {
    std::int64_t lastActive = 0;
    if (!e.m_LastActiveTime.empty() && !ParseServerTime(e.m_LastActiveTime.str(), lastActive)) lastActive = 0;
    return {e.m_Executions,  e.m_BufferGets,    e.m_DiskReads,     e.m_RowsProcessed,
            e.m_Sorts,       e.m_ParseCalls,    e.m_SharableMem,   e.m_PersistentMem,
            e.m_RuntimeMem,  e.m_Loads,         e.m_VersionCount,  e.m_ElapsedTime,
            e.m_CpuTime,     e.m_UserIoWaitTime, e.m_PlanHashValue, static_cast<double>(lastActive)};
}

void SetFigures(CObjectEntry& e, const StoredFigures& f) {
    e.m_Executions = f[0];
    e.m_BufferGets = f[1];
    e.m_DiskReads = f[2];
    e.m_RowsProcessed = f[3];
    e.m_Sorts = f[4];
    e.m_ParseCalls = f[5];
    e.m_SharableMem = f[6];
    e.m_PersistentMem = f[7];
    e.m_RuntimeMem = f[8];
    e.m_Loads = f[9];
    e.m_VersionCount = f[10];
    e.m_ElapsedTime = f[11];
    e.m_CpuTime = f[12];
    e.m_UserIoWaitTime = f[13];
    e.m_PlanHashValue = f[14];
    if (f[15] > 0) {
        e.m_LastActiveTime = FormatServerTime(static_cast<std::int64_t>(f[15]));
    } else {
        e.m_LastActiveTime = CTimeText();
    }
}

bool FiguresDiffer(const CObjectEntry& a, const CObjectEntry& b) {
    return FiguresOf(a) != FiguresOf(b);
}

std::string FormatServerTime(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u/%02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return text;
}

bool HasRecordedPlan(const CObjectEntry& entry) {
    return !entry.SqlPlan().empty();
}

}  // namespace corvid
