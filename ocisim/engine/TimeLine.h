#pragma once

// The server that lives in time. Given a time, the shared pool is computed from
// the scenario alone: the statements listed at the scenario's clock keep running
// at their own average rates, with noise that depends only on the statement and
// the hour; new statements arrive and old ones age out by the time-driven
// workload; scripted events (restarts, runs, age-outs, plan changes, floods of
// literal statements) happen at their times. Nothing is replayed second by
// second: each statement's counters are a closed form of the time, so two
// servers at the same time hold byte-identical pools, and a later time never
// shows a smaller counter within one instance lifetime.

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/Generator.h"

namespace ocisim {

// A time-driven problem; `line` is the scenario line it comes from (0: none).
class TimeLineError : public std::runtime_error {
public:
    TimeLineError(int line, const std::string& message) : std::runtime_error(message), m_Line(line) {}
    int Line() const { return m_Line; }

private:
    int m_Line;
};

// One `at TIME ...` line of a scenario.
struct TimeEvent {
    enum class Kind { Restart, Run, AgeOut, PlanChange, LiteralFlood };
    Kind kind = Kind::Restart;
    int line = 0;
    std::int64_t at = 0;      // absolute seconds, or seconds after the clock when `relative`
    bool relative = false;
    WorkloadRun run;           // Run and AgeOut: the match and the amounts
    // AgeOut: when the statements come back. -1: at their next execution (by
    // their rate); -2: never; else this many seconds later.
    std::int64_t backAfter = -1;
    double factor = 1;         // PlanChange: per-execution figures from then on
    StatementTemplate flood;   // LiteralFlood: the family's text and figures
    std::string module;        // LiteralFlood: the members' module (empty: none)
    std::int64_t count = 0;    // LiteralFlood: members
    std::int64_t over = 3600;  // LiteralFlood: seconds over which they arrive
};

// What a scenario says about time: its events and the time-driven workload.
struct TimeLineSpec {
    std::vector<TimeEvent> events;
    int newPerStep = 0;        // `workload new=N ... at=time`
    int removedPerStep = 0;
    std::int64_t every = 3600; // seconds per workload step
    int workloadLine = 0;

    // Reads the words and options of an `at` line (the words after `at`).
    // Throws TimeLineError with the reason.
    void AddEvent(int line, const std::vector<std::string>& words, const std::map<std::string, std::string>& options,
                  const std::vector<std::string>& flags, const Database& db);
};

// A time as CORVID_SIM_NOW and `at` lines give it: YYYY-MM-DD, YYYY-MM-DDTHH:MI[:SS]
// (or with a blank or "/" between date and time), an optional trailing "Z".
std::optional<std::int64_t> ParseTimePoint(const std::string& text);
// A span such as 30d, 12h, 90m, 45s or 2d6h30m; a bare number is seconds.
std::optional<std::int64_t> ParseDuration(const std::string& text);

// The time a scenario without a clock line starts at in time-driven mode.
std::int64_t DefaultTimeOrigin();

// Moves a database just built from its scenario to the time `now`: its pool,
// plans, instance start-up time and clock. `templates` are the scenario's
// templates (new statements of the workload are made from them). Throws
// TimeLineError.
void MoveToTime(Database& db, const TimeLineSpec& spec, const std::vector<StatementTemplate>& templates,
                std::int64_t now);

// The instance start-up time of a database that does not live in time: no
// later than any statement's first load nor the clock.
void SettleStartupTime(Database& db);

// V$INSTANCE of the database.
std::shared_ptr<const TableData> MakeInstanceView(const Database& db);

}  // namespace ocisim
