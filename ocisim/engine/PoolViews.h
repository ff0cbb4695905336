#pragma once

// The dynamic performance views over a snapshot of the shared pool:
// V$SQLAREA (one row per statement) and V$SQLTEXT_WITH_NEWLINES (the texts in
// pieces of 64 characters, line breaks kept). Cells are computed on demand, so
// a query that reads two columns of 100,000 statements formats only those.

#include <memory>

#include "ocisim/engine/SharedPool.h"
#include "ocisim/engine/TableData.h"

namespace ocisim {

// The address as RAWTOHEX shows it: 16 hexadecimal digits on a 64-bit server, 8 on a 32-bit one.
std::string FormatAddress(std::uint64_t address, int wordSize);

// The times of a statement in microseconds as its work gives them.
double WorkCpuTime(const PoolEntry& e);
double WorkUserIoWaitTime(const PoolEntry& e);
double WorkElapsedTime(const PoolEntry& e);

// An old release (before 10g) has no SQL_ID, PLAN_HASH_VALUE, time or
// LAST_ACTIVE_TIME columns in these views.
std::shared_ptr<const TableData> MakeSqlAreaView(PoolSnapshot snapshot, int wordSize, bool oldRelease = false);
std::shared_ptr<const TableData> MakeSqlTextView(PoolSnapshot snapshot, int wordSize, bool oldRelease = false);

}  // namespace ocisim
