#pragma once

// A scripted stand-in for the simulated server, linked into the layer tests in
// place of the engine: queries answer with the exact rows a test gives them, other
// statements go to a handler the test sets, and every execute is recorded.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"

namespace fake {

struct Table {
    std::vector<ocisim::ColumnDesc> columns;
    std::vector<std::vector<ocisim::Value>> rows;
    int failAfter = -1;  // rows delivered before the failure, -1 for none
    ocisim::OraError failure;
};

struct Call {
    std::string sql;
    std::vector<ocisim::Bind> binds;
    bool describeOnly = false;
};

struct Script {
    std::map<std::string, Table> queries;
    // Statements that are not queries; the default answers ORA-00942.
    std::function<ocisim::ExecResult(const std::string&, std::vector<ocisim::Bind>&)> handler;
    std::vector<Call> calls;
    int commits = 0;
};

// The script of the process's fake server; Reset gives a fresh one.
Script& TheScript();
void Reset();

ocisim::ColumnDesc Column(const std::string& name, ocisim::ColumnType type, int size);
ocisim::OraError Error(int code, const std::string& text);

}  // namespace fake
