#pragma once

// Scenario files: the plain-text description of a simulated database (see
// ocisim/README.md). A scenario names its aliases, users, schema objects,
// shared-pool statements (listed or generated from templates), faults and
// workload. Bundled scenarios ("demo", "bench") are built into the library.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace ocisim {

class Database;

// A scenario that cannot be read: the message names the file and line.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The most statements a scenario may generate: each one lives in memory.
constexpr long long kMaxGeneratedStatements = 2000000;

// Builds a database from scenario text; `origin` names it in error messages.
// `statementCount` >= 0 overrides the count of every generate line. With `now`
// the server lives in time (TimeLine.h) and stands at that time.
std::unique_ptr<Database> LoadScenarioText(const std::string& text, const std::string& origin,
                                           long long statementCount = -1,
                                           std::optional<std::int64_t> now = std::nullopt);

// Builds the database a scenario name stands for: "" and "demo" the bundled
// demo, "bench" the benchmark scenario, "NAME:COUNT" a bundled scenario with
// COUNT generated statements, anything else a file path.
std::unique_ptr<Database> LoadScenario(const std::string& name, std::optional<std::int64_t> now = std::nullopt);

// The text of a bundled scenario, or null.
const char* BundledScenario(const std::string& name);

}  // namespace ocisim
