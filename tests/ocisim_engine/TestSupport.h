#pragma once

// Helpers for the engine tests: servers built from scenario text, and queries
// collected into rows.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ocisim/engine/Engine.h"

namespace ocisim::test {

// Writes a scenario file, points CORVID_SIM_SCENARIO at it and rebuilds the server.
std::shared_ptr<Server> ServerFor(const std::string& scenarioText);
// The bundled demo.
std::shared_ptr<Server> DemoServer();

std::unique_ptr<Session> Logon(Server& server, const std::string& user, const std::string& password);

struct Result {
    OraError error;
    OraError warning;
    std::vector<ColumnDesc> columns;
    std::vector<std::vector<Value>> rows;
    OraError fetchError;
    std::uint64_t rowsProcessed = 0;
};

Result RunSql(Session& session, const std::string& sql, std::vector<Bind> binds = {});
// The rows as text, each row's values joined by "|".
std::vector<std::string> Texts(const Result& r);

}  // namespace ocisim::test
