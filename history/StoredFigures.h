#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "collection/ObjectEntry.h"

namespace corvid {

// The figures a snapshot records for each statement, in the order of the
// stores' columns. Counts are whole numbers and are stored as such.
inline constexpr std::size_t kStoredFigureCount = 16;
inline constexpr std::array<const char*, kStoredFigureCount> kStoredFigureColumns = {
    "executions",   "buffer_gets",    "disk_reads",        "rows_processed",  "sorts",         "parse_calls",
    "sharable_mem", "persistent_mem", "runtime_mem",       "loads",           "version_count", "elapsed_time",
    "cpu_time",     "user_io_wait",   "plan_hash_value",   "last_active"};
using StoredFigures = std::array<double, kStoredFigureCount>;

// The entry's figures; the last active time as seconds since 1970 (0 without one).
StoredFigures FiguresOf(const CObjectEntry& entry);
void SetFigures(CObjectEntry& entry, const StoredFigures& figures);
// Whether any recorded figure differs.
bool FiguresDiffer(const CObjectEntry& a, const CObjectEntry& b);

// YYYY-MM-DD/HH24:MI:SS of seconds since 1970.
std::string FormatServerTime(std::int64_t seconds);

// The plan text, source, cost and full scans recorded once per statement and plan hash value.
bool HasRecordedPlan(const CObjectEntry& entry);

}  // namespace corvid
