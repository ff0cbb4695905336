#pragma once

// EXPLAIN PLAN: a small optimizer over the schema's tables, indexes and
// statistics. Rule-based plans (goal RULE, or CHOOSE over tables without
// statistics) carry no cost; cost-based plans (ALL_ROWS, FIRST_ROWS, CHOOSE
// with statistics) estimate cost and cardinality.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ocisim/engine/Ast.h"
#include "ocisim/engine/TableData.h"

namespace ocisim {

class Database;
struct TableInfo;

struct PlanRow {
    int id = 0;
    int parentId = -1;  // -1: none (the root)
    int position = 0;
    std::string operation, options, objectOwner, objectName, objectType, optimizer;
    std::optional<double> cost, cardinality, bytes;
    int searchColumns = 0;
};

// A table or view the explained statement reads, as the session sees it.
struct PlanObject {
    std::string owner, name;
    const TableInfo* table = nullptr;  // null for views of the dictionary
    std::shared_ptr<const TableData> data;
};

using PlanResolver = std::function<PlanObject(const TableRef&)>;

// The plan rows of a parsed statement (SELECT, INSERT, UPDATE, DELETE) under
// an optimizer goal. Raises ORA-00942 through the resolver, ORA-00900 for
// statements that cannot be explained.
std::vector<PlanRow> BuildPlan(Statement& statement, const std::string& goal, const Database& db,
                               const PlanResolver& resolve);

}  // namespace ocisim
