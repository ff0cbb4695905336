#pragma once

// The plans of the cursor cache: each statement of the shared pool keeps the
// plan its parsing schema and optimizer mode gave when it was first built, as
// V$SQL_PLAN and the PLAN_HASH_VALUE of V$SQLAREA show it.

#include <cstdint>
#include <memory>
#include <vector>

#include "ocisim/engine/Planner.h"
#include "ocisim/engine/SharedPool.h"

namespace ocisim {

struct CursorPlan {
    std::vector<PlanRow> rows;
    std::vector<int> depths;      // of each row: 0 for the root, its parent's depth + 1 below
    std::uint32_t hashValue = 0;  // equal for equal plans
};

// The plan hash value of plan rows: operations, options, objects and shape.
std::uint32_t PlanHashValue(const std::vector<PlanRow>& rows);

// The plan child 0 of an entry gets from its parsing schema and mode (null for
// statements without one).
std::shared_ptr<const CursorPlan> CursorPlanOf(const PoolEntry& entry, const Database& db);
// The depth of each plan row, from its parent's (a parent precedes its children).
std::vector<int> PlanDepths(const std::vector<PlanRow>& rows);

// Gives every pool entry that has been executed and has no plan yet the plan of
// its parsing schema and mode. Statements that cannot be explained (PL/SQL,
// DDL) or whose objects the schema no longer sees keep none.
void BuildCursorPlans(SharedPool& pool, const Database& db);

// V$SQL_PLAN over a snapshot of the pool: one row per plan line of child 0.
std::shared_ptr<const TableData> MakeSqlPlanView(PoolSnapshot snapshot, int wordSize);

}  // namespace ocisim
