#include "ocisim/engine/TimeLine.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <queue>
#include <unordered_map>
#include <unordered_set>

#include "ocisim/engine/CursorPlans.h"
#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/PoolViews.h"

namespace ocisim {

namespace {

// How far a statement's hourly rate swings around its mean: between half and
// one and a half times it.
constexpr double kSwing = 0.5;
// The most steps of the time-driven workload one start may compute.
constexpr std::int64_t kMaxHappenings = 20000000;

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}
std::uint64_t Mix(std::uint64_t a, std::uint64_t b) { return Mix(a ^ Mix(b)); }
std::uint64_t Mix(std::uint64_t a, std::uint64_t b, std::uint64_t c) { return Mix(Mix(a, b), c); }
// A hash as a number in [0, 1).
double Unit(std::uint64_t h) { return static_cast<double>(h >> 11) * 0x1.0p-53; }

// Which stream of noise a figure follows.
enum Salt : std::uint64_t {
    kExecutionsSalt = 1, kGetsSalt = 2, kReadsSalt = 3, kReturnSalt = 4, kAddressSalt = 5, kArrivalSalt = 6,
    kRemovalSalt = 7, kFloodSalt = 8
};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Digits(const std::string& s, std::size_t at, std::size_t count) {
    if (at + count > s.size()) return false;
    for (std::size_t i = at; i < at + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    return true;
}

int Field(const std::string& s, std::size_t at, std::size_t count) { return std::atoi(s.substr(at, count).c_str()); }

}  // namespace

std::optional<std::int64_t> ParseTimePoint(const std::string& textIn) {
    std::string text = textIn;
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.pop_back();
    if (!Digits(text, 0, 4) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2) || text[7] != '-' ||
        !Digits(text, 8, 2))
        return std::nullopt;
    const int year = Field(text, 0, 4), month = Field(text, 5, 2), day = Field(text, 8, 2);
    int hour = 0, minute = 0, second = 0;
    if (text.size() > 10) {
        const char sep = text[10];
        if (sep != 'T' && sep != 't' && sep != ' ' && sep != '/') return std::nullopt;
        if (!Digits(text, 11, 2) || text.size() < 16 || text[13] != ':' || !Digits(text, 14, 2)) return std::nullopt;
        hour = Field(text, 11, 2);
        minute = Field(text, 14, 2);
        if (text.size() > 16) {
            if (text.size() != 19 || text[16] != ':' || !Digits(text, 17, 2)) return std::nullopt;
            second = Field(text, 17, 2);
        }
    }
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    // The day must exist in its month.
    int y, m, d;
    CivilFromDays(DaysFromCivil(year, month, day), y, m, d);
    if (y != year || m != month || d != day) return std::nullopt;
    return MakeDate(year, month, day, hour, minute, second);
}

std::optional<std::int64_t> ParseDuration(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::int64_t total = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (i == start || i - start > 9) return std::nullopt;
        const std::int64_t n = std::atoll(text.substr(start, i - start).c_str());
        std::int64_t unit = 1;
        if (i < text.size()) {
            switch (text[i]) {
                case 'd': unit = 86400; break;
                case 'h': unit = 3600; break;
                case 'm': unit = 60; break;
                case 's': unit = 1; break;
                default: return std::nullopt;
            }
            ++i;
        } else if (start != 0) {
            return std::nullopt;  // "2d30": a number without its unit after the first part
        }
        total += n * unit;
        if (total > 100LL * 366 * 86400) return std::nullopt;
    }
    return total;
}

std::int64_t DefaultTimeOrigin() { return MakeDate(2024, 3, 11, 0, 0, 0); }

namespace {

double NumberOption(int line, const std::string& key, const std::string& text) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(v >= 0) || std::isinf(v))
        throw TimeLineError(line, key + " must be a number of 0 or more, not \"" + text + "\"");
    return v;
}

Range RangeOption(int line, const std::string& key, const std::string& text) {
    const std::size_t dots = text.find("..");
    Range r;
    if (dots == std::string::npos) {
        r.low = r.high = NumberOption(line, key, text);
    } else {
        r.low = NumberOption(line, key, text.substr(0, dots));
        r.high = NumberOption(line, key, text.substr(dots + 2));
        if (r.high < r.low) throw TimeLineError(line, key + " range " + text + " runs backwards");
    }
    return r;
}

std::int64_t DurationOption(int line, const std::string& key, const std::string& text) {
    const std::optional<std::int64_t> d = ParseDuration(text);
    if (!d) throw TimeLineError(line, key + " must be a span such as 90m, 12h or 2d6h, not \"" + text + "\"");
    return *d;
}

}  // namespace

void TimeLineSpec::AddEvent(int line, const std::vector<std::string>& words,
                            const std::map<std::string, std::string>& optionsIn, const std::vector<std::string>& flags,
                            const Database& db) {
    static const char* kUsage = "usage: at TIME restart|run|age-out|plan-change|literal-flood ...";
    if (words.size() != 2) throw TimeLineError(line, kUsage);
    TimeEvent e;
    e.line = line;
    const std::string& when = words[0];
    if (!when.empty() && when[0] == '+') {
        const std::optional<std::int64_t> d = ParseDuration(when.substr(1));
        if (!d) throw TimeLineError(line, "time \"" + when + "\" is not +SPAN (such as +3d or +2d6h) after the clock");
        e.relative = true;
        e.at = *d;
    } else {
        const std::optional<std::int64_t> t = ParseTimePoint(when);
        if (!t) throw TimeLineError(line, "time \"" + when + "\" is not YYYY-MM-DD/HH24:MI:SS, YYYY-MM-DDTHH:MI:SS or +SPAN");
        e.at = *t;
    }
    std::map<std::string, std::string> options = optionsIn;
    const std::string& kind = words[1];
    auto known = [&](std::initializer_list<const char*> keys) {
        for (const auto& [key, value] : options) {
            bool ok = false;
            for (const char* k : keys) ok = ok || key == k;
            if (!ok) throw TimeLineError(line, "unknown option " + key + " for at ... " + kind);
        }
        if (!flags.empty()) throw TimeLineError(line, "unknown word " + flags.front() + " for at ... " + kind);
    };
    auto needMatch = [&]() {
        if (!options.count("match") || options["match"].empty())
            throw TimeLineError(line, "usage: at TIME " + kind + " match=\"LIKE pattern\" ...");
        e.run.match = options["match"];
    };
    auto number = [&](const char* key, double fallback) {
        return options.count(key) ? NumberOption(line, key, options[key]) : fallback;
    };
    if (kind == "restart") {
        known({});
        e.kind = TimeEvent::Kind::Restart;
    } else if (kind == "run") {
        known({"match", "executions", "buffer-gets", "disk-reads", "rows", "sorts", "parse-calls"});
        needMatch();
        e.kind = TimeEvent::Kind::Run;
        e.run.executions = number("executions", 0);
        e.run.bufferGets = number("buffer-gets", 0);
        e.run.diskReads = number("disk-reads", 0);
        e.run.rowsProcessed = number("rows", 0);
        e.run.sorts = number("sorts", 0);
        e.run.parseCalls = number("parse-calls", 0);
    } else if (kind == "age-out") {
        known({"match", "back-after"});
        needMatch();
        e.kind = TimeEvent::Kind::AgeOut;
        e.run.ageOut = true;
        if (options.count("back-after"))
            e.backAfter = options["back-after"] == "never" ? -2 : DurationOption(line, "back-after", options["back-after"]);
    } else if (kind == "plan-change") {
        known({"match", "factor"});
        needMatch();
        e.kind = TimeEvent::Kind::PlanChange;
        if (!options.count("factor")) throw TimeLineError(line, "usage: at TIME plan-change match=\"LIKE pattern\" factor=F");
        e.factor = NumberOption(line, "factor", options["factor"]);
        if (e.factor <= 0) throw TimeLineError(line, "factor must be above 0");
    } else if (kind == "literal-flood") {
        known({"template", "count", "over", "users", "command", "optimizer", "executions", "buffer-gets",
               "disk-reads", "rows", "sorts", "module"});
        e.kind = TimeEvent::Kind::LiteralFlood;
        if (!options.count("template") || options["template"].empty() || !options.count("count"))
            throw TimeLineError(line, "usage: at TIME literal-flood template=\"TEXT with {int:1:999} ...\" count=N [over=SPAN]");
        StatementTemplate& t = e.flood;
        t.text = options["template"];
        if (t.text.find('{') == std::string::npos)
            throw TimeLineError(line, "the template has no placeholder ({int:LOW:HIGH}, {pick:A|B}, {date}, {name}, "
                                      "{list:N:LOW:HIGH}): every member would be the same statement");
        const double count = NumberOption(line, "count", options["count"]);
        if (count < 1 || count != std::floor(count) || count > 1000000)
            throw TimeLineError(line, "count must be a whole number from 1 to 1000000");
        e.count = static_cast<std::int64_t>(count);
        if (options.count("over")) e.over = DurationOption(line, "over", options["over"]);
        if (options.count("users")) {
            std::size_t start = 0;
            const std::string& list = options["users"];
            for (;;) {
                const std::size_t comma = list.find(',', start);
                const std::string name = Upper(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
                if (!db.FindUser(name)) throw TimeLineError(line, "unknown user " + name + " (declare it with a user line first)");
                t.users.push_back(name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
        if (options.count("command")) t.commandType = static_cast<int>(NumberOption(line, "command", options["command"]));
        if (options.count("optimizer")) t.optimizerMode = Upper(options["optimizer"]);
        t.executions = options.count("executions") ? RangeOption(line, "executions", options["executions"]) : Range{1, 1};
        if (t.executions.low < 1) throw TimeLineError(line, "executions must be at least 1: a member enters by running");
        if (options.count("buffer-gets")) t.bufferGetsPerExec = RangeOption(line, "buffer-gets", options["buffer-gets"]);
        if (options.count("disk-reads")) t.diskReadsPerExec = RangeOption(line, "disk-reads", options["disk-reads"]);
        if (options.count("rows")) t.rowsPerExec = RangeOption(line, "rows", options["rows"]);
        if (options.count("sorts")) t.sortsPerExec = RangeOption(line, "sorts", options["sorts"]);
        if (options.count("module")) e.module = options["module"];
    } else {
        throw TimeLineError(line, "unknown event \"" + kind + "\" (" + std::string(kUsage + 7) + ")");
    }
    events.push_back(std::move(e));
}

namespace {

// One statement as it moves through time: what it is, how fast it runs, and
// whether (and since when) it is in the pool.
struct Sim {
    PoolEntry entry;             // its text and attributes; for a listed one, its totals at the clock
    std::uint64_t key = 0;       // the text's key, the seed of its noise
    double rate = 0;             // executions per second
    double getsPer = 0, readsPer = 0, rowsPer = 0, sortsPer = 0, parsePer = 0, fetchesPer = 0;
    double cpuPer = 0, ioPer = 0, elapsedPer = 0;  // microseconds per execution
    bool listed = false;         // in the pool at the clock with the scenario's totals
    double firstRun = 1;         // executions of the run that brings it into the pool
    bool present = false;
    bool listedLife = false;     // the lifetime that the scenario lists
    std::int64_t load = 0;
    std::uint64_t address = 0;
    std::size_t slot = 0;        // its place among the present statements
    std::vector<const TimeEvent*> runs, planChanges;  // events that match it, in time order
};

class Clockwork {
public:
    Clockwork(std::int64_t origin, std::int64_t step) : m_Origin(origin), m_Step(static_cast<double>(step)) {}

    // A statement's work of one kind up to time t, in executions: its rate times
    // the time, plus a swing that is a function of the statement and the hour,
    // so the hourly rate moves between (1 - kSwing) and (1 + kSwing) times the mean.
    double Work(const Sim& s, Salt salt, double t) const {
        if (s.rate <= 0) return 0;
        const double u = t - static_cast<double>(m_Origin);
        const double steps = std::floor(u / m_Step);
        const double frac = u / m_Step - steps;
        const auto k = static_cast<std::uint64_t>(static_cast<std::int64_t>(steps));
        const double h0 = Unit(Mix(s.key, salt, k)), h1 = Unit(Mix(s.key, salt, k + 1));
        return s.rate * (u + kSwing * m_Step * (h0 + (h1 - h0) * frac));
    }

    // The time at which Work reaches `target` (at least `from`). Work is linear
    // within each hour, so the hour is found by bisection and the time solved
    // in it exactly: the answer does not depend on how far the search looks.
    double Reach(const Sim& s, Salt salt, double target, double from, double to) const {
        const double origin = static_cast<double>(m_Origin);
        auto stepOf = [&](double t) { return static_cast<std::int64_t>(std::floor((t - origin) / m_Step)); };
        auto workAt = [&](std::int64_t k) { return Work(s, salt, origin + static_cast<double>(k) * m_Step); };
        std::int64_t lo = stepOf(from), hi = stepOf(to);
        // The last hour whose start has not passed the target.
        while (lo < hi) {
            const std::int64_t mid = lo + (hi - lo + 1) / 2;
            if (workAt(mid) <= target)
                lo = mid;
            else
                hi = mid - 1;
        }
        const auto k = static_cast<std::uint64_t>(lo);
        const double h0 = Unit(Mix(s.key, salt, k)), h1 = Unit(Mix(s.key, salt, k + 1));
        const double slope = 1 + kSwing * (h1 - h0);
        const double offset = kSwing * m_Step * (h0 - (h1 - h0) * static_cast<double>(lo));
        const double u = (target / s.rate - offset) / slope;
        return std::max(from, origin + u);
    }

    // Work between a and b, each span weighted by the plan-change factors in force.
    double Scaled(const Sim& s, Salt salt, double a, double b) const {
        if (b <= a) return 0;
        double f = 1, from = a, sum = 0;
        for (const TimeEvent* pc : s.planChanges) {
            const double at = static_cast<double>(pc->at);
            if (at <= from) {
                f *= pc->factor;
                continue;
            }
            if (at >= b) break;
            sum += f * (Work(s, salt, at) - Work(s, salt, from));
            from = at;
            f *= pc->factor;
        }
        return sum + f * (Work(s, salt, b) - Work(s, salt, from));
    }

    double FactorAt(const Sim& s, double t) const {
        double f = 1;
        for (const TimeEvent* pc : s.planChanges)
            if (static_cast<double>(pc->at) <= t) f *= pc->factor;
        return f;
    }

private:
    std::int64_t m_Origin;
    double m_Step;
};

// Per-execution figures from a template's ranges, and the times they cost.
void PerExecution(Sim& s, const StatementTemplate& t, std::mt19937_64& random) {
    s.getsPer = t.bufferGetsPerExec.Pick(random);
    s.readsPer = t.diskReadsPerExec.Pick(random);
    s.rowsPer = t.rowsPerExec.Pick(random);
    s.sortsPer = t.sortsPerExec.Pick(random);
    s.parsePer = 0.3;
    s.fetchesPer = s.entry.commandType == 3 ? 1 : 0;
}

void TimesPerExecution(Sim& s) {
    PoolEntry one;
    one.executions = 1;
    one.parseCalls = s.parsePer;
    one.bufferGets = s.getsPer;
    one.diskReads = s.readsPer;
    s.cpuPer = WorkCpuTime(one);
    s.ioPer = WorkUserIoWaitTime(one);
    s.elapsedPer = WorkElapsedTime(one);
}

// A plan that differs from `old` as a new optimizer decision would: an index
// access becomes a full scan, a nested-loops join a hash join, or else the
// statement goes parallel. Costs grow with the factor.
std::shared_ptr<const CursorPlan> ChangedPlan(const CursorPlan& old, double factor) {
    std::vector<PlanRow> rows = old.rows;
    auto removeLeaf = [&rows](std::size_t r) {
        const int parent = rows[r].parentId;
        const int position = rows[r].position;
        rows.erase(rows.begin() + static_cast<long>(r));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i >= r) rows[i].id -= 1;
            if (rows[i].parentId > static_cast<int>(r)) rows[i].parentId -= 1;
            if (rows[i].parentId == parent && rows[i].position > position) rows[i].position -= 1;
        }
    };
    bool changed = false;
    for (std::size_t r = 0; r < rows.size() && !changed; ++r) {
        if (rows[r].operation != "INDEX") continue;
        const int parent = rows[r].parentId;
        const bool leaf = std::none_of(rows.begin(), rows.end(),
                                       [r](const PlanRow& row) { return row.parentId == static_cast<int>(r); });
        if (leaf && parent >= 0 && rows[static_cast<std::size_t>(parent)].operation == "TABLE ACCESS" &&
            rows[static_cast<std::size_t>(parent)].options.rfind("BY INDEX ROWID", 0) == 0) {
            rows[static_cast<std::size_t>(parent)].options = "FULL";
            removeLeaf(r);
        } else {
            rows[r].options = rows[r].options == "FAST FULL SCAN" ? "FULL SCAN" : "FAST FULL SCAN";
        }
        changed = true;
    }
    for (std::size_t r = 0; r < rows.size() && !changed; ++r) {
        if (rows[r].operation == "NESTED LOOPS") {
            rows[r].operation = "HASH JOIN";
            rows[r].options.clear();
            changed = true;
        }
    }
    if (!changed && !rows.empty()) {
        // Parallel: a coordinator and a send between the statement and its plan.
        for (std::size_t i = 1; i < rows.size(); ++i) {
            rows[i].id += 2;
            rows[i].parentId = rows[i].parentId == 0 ? 2 : rows[i].parentId + 2;
        }
        PlanRow coordinator;
        coordinator.id = 1;
        coordinator.parentId = 0;
        coordinator.position = 1;
        coordinator.operation = "PX COORDINATOR";
        coordinator.optimizer = rows[0].optimizer;
        PlanRow send = coordinator;
        send.id = 2;
        send.parentId = 1;
        send.operation = "PX SEND";
        send.options = "QC (RANDOM)";
        send.objectOwner = "SYS";
        send.objectName = ":TQ10000";
        send.cost = coordinator.cost = rows[0].cost;
        send.cardinality = coordinator.cardinality = rows[0].cardinality;
        rows.insert(rows.begin() + 1, {coordinator, send});
    }
    for (PlanRow& row : rows)
        if (row.cost) row.cost = std::ceil(*row.cost * factor);
    auto plan = std::make_shared<CursorPlan>();
    plan->rows = std::move(rows);
    plan->hashValue = PlanHashValue(plan->rows);
    plan->depths = PlanDepths(plan->rows);
    return plan;
}

// What happens at one moment, in the order of time; at one time statements
// arrive first and leave after, so that a restart leaves nothing loaded at its
// own time.
struct Happening {
    enum Type { ListedArrival = 0, Arrival = 1, Flood = 2, Return = 3, Restart = 4, AgeOut = 5, Removal = 6 };
    std::int64_t at = 0;
    Type type = Restart;
    std::uint64_t seq = 0;
    const TimeEvent* event = nullptr;
    std::int64_t a = 0, b = 0;  // the step and member, the flood member, or the statement
    bool operator>(const Happening& o) const {
        if (at != o.at) return at > o.at;
        if (type != o.type) return type > o.type;
        return seq > o.seq;
    }
};

class Simulation {
public:
    Simulation(Database& db, const TimeLineSpec& spec, const std::vector<StatementTemplate>& templates,
               std::int64_t origin, std::int64_t now)
        : m_Db(db), m_Spec(spec), m_Templates(templates), m_Origin(origin), m_Now(now), m_Clock(origin, 3600),
          m_Seed(db.config.seed) {
        for (const TimeEvent& e : spec.events) {
            if (e.at > now) continue;
            if (e.kind == TimeEvent::Kind::Run) m_RunEvents.push_back(&e);
            if (e.kind == TimeEvent::Kind::PlanChange) m_PlanEvents.push_back(&e);
        }
        auto byTime = [](const TimeEvent* a, const TimeEvent* b) { return a->at < b->at; };
        std::stable_sort(m_RunEvents.begin(), m_RunEvents.end(), byTime);
        std::stable_sort(m_PlanEvents.begin(), m_PlanEvents.end(), byTime);
        for (const StatementTemplate& t : templates)
            if (t.count <= 0 && t.weight > 0) m_TotalWeight += t.weight;
    }

    void Run() {
        ListStatements();
        Schedule();
        while (!m_Queue.empty()) {
            Happening h = m_Queue.top();
            m_Queue.pop();
            Handle(h);
        }
        Publish();
    }

private:
    void Push(Happening h) {
        if (h.at > m_Now) return;
        if (++m_Pushed > kMaxHappenings)
            throw TimeLineError(m_Spec.workloadLine, "the time-driven workload has more than " +
                                                         std::to_string(kMaxHappenings) +
                                                         " steps up to CORVID_SIM_NOW; make every= longer or new= smaller");
        h.seq = m_Pushed;
        m_Queue.push(h);
    }

    std::size_t AddSim(Sim s) {
        for (const TimeEvent* e : m_RunEvents)
            if (LikeMatch(*s.entry.text, e->run.match)) s.runs.push_back(e);
        for (const TimeEvent* e : m_PlanEvents)
            if (LikeMatch(*s.entry.text, e->run.match)) s.planChanges.push_back(e);
        m_Texts.emplace(*s.entry.text, m_Sims.size());
        m_Sims.push_back(std::move(s));
        return m_Sims.size() - 1;
    }

    void ListStatements() {
        std::int64_t startup = m_Origin;
        for (const PoolEntry& e : m_Db.pool.View()) {
            Sim s;
            s.entry = e;
            s.key = e.textKey;
            s.listed = true;
            const double x = e.executions;
            const double age = static_cast<double>(std::max<std::int64_t>(m_Origin - e.firstLoadTime, 86400));
            s.rate = x / age;
            if (x > 0) {
                s.getsPer = e.bufferGets / x;
                s.readsPer = e.diskReads / x;
                s.rowsPer = e.rowsProcessed / x;
                s.sortsPer = e.sorts / x;
                s.parsePer = e.parseCalls / x;
                s.fetchesPer = e.fetches / x;
                s.cpuPer = WorkCpuTime(e) / x;
                s.ioPer = WorkUserIoWaitTime(e) / x;
                s.elapsedPer = WorkElapsedTime(e) / x;
            }
            const std::int64_t firstLoad = e.firstLoadTime;
            const std::size_t id = AddSim(std::move(s));
            if (firstLoad <= m_Origin) {
                startup = std::min(startup, firstLoad);
                Sim& added = m_Sims[id];
                added.present = added.listedLife = true;
                added.load = firstLoad;
                added.address = added.entry.address;
                m_InUse.insert(added.address);
                Enlist(id);
            } else {
                Happening h;
                h.at = firstLoad;
                h.type = Happening::ListedArrival;
                h.a = static_cast<std::int64_t>(id);
                Push(h);
            }
        }
        m_Db.config.startupTime = startup;
    }

    void Schedule() {
        for (const TimeEvent& e : m_Spec.events) {
            Happening h;
            h.at = e.at;
            h.event = &e;
            switch (e.kind) {
                case TimeEvent::Kind::Restart: h.type = Happening::Restart; Push(h); break;
                case TimeEvent::Kind::AgeOut: h.type = Happening::AgeOut; Push(h); break;
                case TimeEvent::Kind::LiteralFlood:
                    h.type = Happening::Flood;
                    for (std::int64_t i = 0; i < e.count; ++i) {
                        h.at = e.at + e.over * i / e.count;
                        if (h.at > m_Now) break;
                        h.a = i;
                        Push(h);
                    }
                    break;
                case TimeEvent::Kind::Run:
                case TimeEvent::Kind::PlanChange: break;
            }
        }
        const std::int64_t every = m_Spec.every;
        if (m_Spec.newPerStep <= 0 && m_Spec.removedPerStep <= 0) return;
        for (std::int64_t k = 1; m_Origin + k * every <= m_Now; ++k) {
            const std::int64_t end = m_Origin + k * every;
            for (int i = 0; i < m_Spec.newPerStep; ++i) {
                Happening h;
                h.type = Happening::Arrival;
                h.at = end - every + every * (i + 1) / m_Spec.newPerStep;
                h.a = k;
                h.b = i;
                Push(h);
            }
            if (m_Spec.removedPerStep > 0) {
                Happening h;
                h.type = Happening::Removal;
                h.at = end;
                h.a = k;
                Push(h);
            }
        }
    }

    void Enlist(std::size_t id) {
        m_Sims[id].slot = m_Present.size();
        m_Present.push_back(id);
    }

    std::uint64_t NewAddress(const Sim& s, std::int64_t at) {
        std::uint64_t h = Mix(m_Seed, kAddressSalt, Mix(s.key, static_cast<std::uint64_t>(at)));
        for (;;) {
            const std::uint64_t a = 0x0000000060000000ull + ((h % 0x3FFFFFFull) << 3);
            if (m_InUse.insert(a).second) return a;
            h = Mix(h);
        }
    }

    void Load(std::size_t id, std::int64_t at, double firstRun, bool listedLife) {
        Sim& s = m_Sims[id];
        s.present = true;
        s.listedLife = listedLife;
        s.load = at;
        s.firstRun = firstRun;
        s.address = listedLife && s.entry.address != 0 && !m_InUse.count(s.entry.address) ? s.entry.address
                                                                                          : NewAddress(s, at);
        m_InUse.insert(s.address);
        Enlist(id);
    }

    // The statement leaves the pool at `at`; it comes back at its next execution
    // (by its rate), after `backAfter` seconds, or never (-2).
    void Leave(std::size_t id, std::int64_t at, std::int64_t backAfter) {
        Sim& s = m_Sims[id];
        s.present = false;
        m_InUse.erase(s.address);
        const std::size_t last = m_Present.back();
        m_Present[s.slot] = last;
        m_Sims[last].slot = s.slot;
        m_Present.pop_back();
        std::int64_t back = -1;
        if (backAfter >= 0) {
            back = at + std::max<std::int64_t>(1, backAfter);
        } else if (backAfter == -1 && s.rate > 0) {
            const double u = Unit(Mix(s.key, kReturnSalt, static_cast<std::uint64_t>(at)));
            const double wait = std::ceil(-std::log1p(-u) / s.rate);
            if (wait <= static_cast<double>(m_Now - at)) back = at + std::max<std::int64_t>(1, static_cast<std::int64_t>(wait));
        }
        if (back >= 0 && back <= m_Now) {
            Happening h;
            h.type = Happening::Return;
            h.at = back;
            h.a = static_cast<std::int64_t>(id);
            Push(h);
        }
    }

    const UserInfo* PickUser(const StatementTemplate& t, std::mt19937_64& random) const {
        if (t.users.empty()) return m_Db.FindUser("SYS");
        return m_Db.FindUser(t.users[static_cast<std::size_t>(random() % t.users.size())]);
    }

    // A statement new to the pool, made from a template; npos when its text is taken.
    std::size_t NewStatement(const StatementTemplate& t, int templateId, std::mt19937_64& random, double ratePerDay) {
        std::string text;
        std::vector<std::string> values;
        for (int attempt = 0; attempt < 20; ++attempt) {
            values.clear();
            text = ExpandTemplate(t.text, random, &values);
            if (!m_Texts.count(text)) break;
            text.clear();
        }
        if (text.empty()) return std::string::npos;
        Sim s;
        s.entry.text = std::make_shared<const std::string>(text);
        s.entry.textKey = SharedPool::TextKey(text);
        s.entry.hashValue = static_cast<std::uint32_t>(s.entry.textKey);
        s.key = s.entry.textKey;
        s.entry.commandType = t.commandType;
        s.entry.optimizerMode = t.optimizerMode.empty() ? m_Db.config.optimizerMode : t.optimizerMode;
        const UserInfo* u = PickUser(t, random);
        s.entry.parsingUserId = s.entry.parsingSchemaId = u ? u->id : 0;
        s.entry.sharableMem = 4000 + static_cast<double>(text.size()) * 6;
        s.entry.persistentMem = 1200;
        s.entry.runtimeMem = 900;
        s.entry.templateId = templateId;
        PerExecution(s, t, random);
        TimesPerExecution(s);
        s.rate = ratePerDay / 86400.0;
        if (templateId >= 0) m_Db.generated.push_back({text, templateId, std::move(values)});
        return AddSim(std::move(s));
    }

    void Arrive(const Happening& h) {
        std::mt19937_64 random(Mix(m_Seed, kArrivalSalt, Mix(static_cast<std::uint64_t>(h.a), static_cast<std::uint64_t>(h.b))));
        std::size_t id;
        if (m_TotalWeight > 0) {
            int w = static_cast<int>(random() % static_cast<std::uint64_t>(m_TotalWeight));
            std::size_t ti = 0;
            while (m_Templates[ti].count > 0 || m_Templates[ti].weight <= 0 || w >= m_Templates[ti].weight) {
                if (m_Templates[ti].count <= 0 && m_Templates[ti].weight > 0) w -= m_Templates[ti].weight;
                ++ti;
            }
            const StatementTemplate& t = m_Templates[ti];
            id = NewStatement(t, static_cast<int>(ti), random, t.executions.Pick(random));
        } else {
            // Without templates, the small queries the per-query workload makes.
            StatementTemplate t;
            t.text = "SELECT COUNT(*) FROM dual WHERE {int:0:999999} > 0";
            t.users = {"SYSTEM"};
            if (!m_Db.FindUser("SYSTEM")) t.users.clear();
            t.bufferGetsPerExec = {3, 3};
            t.diskReadsPerExec = {0, 0};
            id = NewStatement(t, -1, random, 24);
        }
        if (id != std::string::npos) Load(id, h.at, 1, false);
    }

    void FloodMember(const Happening& h) {
        const TimeEvent& e = *h.event;
        std::mt19937_64 random(Mix(m_Seed, kFloodSalt, Mix(static_cast<std::uint64_t>(e.line), static_cast<std::uint64_t>(h.a))));
        const std::size_t id = NewStatement(e.flood, -1, random, 0);
        if (id == std::string::npos) return;
        Sim& s = m_Sims[id];
        s.entry.module = e.module;
        Load(id, h.at, std::max(1.0, e.flood.executions.Pick(random)), false);
    }

    void Handle(const Happening& h) {
        switch (h.type) {
            case Happening::Restart: {
                const std::vector<std::size_t> all = m_Present;
                for (std::size_t id : all) Leave(id, h.at, -1);
                m_Db.config.startupTime = h.at;
                break;
            }
            case Happening::AgeOut: {
                const std::vector<std::size_t> all = m_Present;
                for (std::size_t id : all)
                    if (LikeMatch(*m_Sims[id].entry.text, h.event->run.match)) Leave(id, h.at, h.event->backAfter);
                break;
            }
            case Happening::Removal: {
                // Least recently used goes first: of a few statements drawn at
                // random, the one that runs least often leaves.
                std::mt19937_64 random(Mix(m_Seed, kRemovalSalt, static_cast<std::uint64_t>(h.a)));
                for (int i = 0; i < m_Spec.removedPerStep && !m_Present.empty(); ++i) {
                    std::size_t coldest = m_Present[static_cast<std::size_t>(random() % m_Present.size())];
                    for (int c = 1; c < 8; ++c) {
                        const std::size_t other = m_Present[static_cast<std::size_t>(random() % m_Present.size())];
                        if (m_Sims[other].rate < m_Sims[coldest].rate) coldest = other;
                    }
                    Leave(coldest, h.at, -1);
                }
                break;
            }
            case Happening::ListedArrival: {
                const auto id = static_cast<std::size_t>(h.a);
                if (!m_Sims[id].present) Load(id, h.at, 0, true);
                break;
            }
            case Happening::Arrival: Arrive(h); break;
            case Happening::Flood: FloodMember(h); break;
            case Happening::Return: {
                const auto id = static_cast<std::size_t>(h.a);
                if (!m_Sims[id].present) Load(id, h.at, 1, false);
                break;
            }
        }
    }

    // The pool entry of a present statement at the time `now`.
    PoolEntry Figures(const Sim& s) const {
        PoolEntry e = s.entry;
        const double now = static_cast<double>(m_Now);
        const double start = s.listedLife ? static_cast<double>(std::max(m_Origin, s.entry.firstLoadTime))
                                          : static_cast<double>(s.load);
        const double e0 = s.listedLife ? 0 : s.firstRun;
        const double w0 = m_Clock.Work(s, kExecutionsSalt, start);
        const double added = std::max(0.0, std::floor(m_Clock.Work(s, kExecutionsSalt, now) - w0));
        // Every figure stands where the last execution left it.
        const double last = added > 0 ? m_Clock.Reach(s, kExecutionsSalt, w0 + added, start, now) : start;
        const double runs = e0 + added;
        const double firstFactor = m_Clock.FactorAt(s, static_cast<double>(s.load));
        const double gets = e0 * firstFactor + m_Clock.Scaled(s, kGetsSalt, start, last);
        const double reads = e0 * firstFactor + m_Clock.Scaled(s, kReadsSalt, start, last);
        double cpu = 0, io = 0, elapsed = 0;
        if (s.listedLife) {
            cpu = WorkCpuTime(s.entry);
            io = WorkUserIoWaitTime(s.entry);
            elapsed = WorkElapsedTime(s.entry);
        } else {
            e = PoolEntry();
            e.text = s.entry.text;
            e.textKey = s.entry.textKey;
            e.hashValue = s.entry.hashValue;
            e.commandType = s.entry.commandType;
            e.optimizerMode = s.entry.optimizerMode;
            e.parsingUserId = s.entry.parsingUserId;
            e.parsingSchemaId = s.entry.parsingSchemaId;
            e.sharableMem = s.entry.sharableMem;
            e.persistentMem = s.entry.persistentMem;
            e.runtimeMem = s.entry.runtimeMem;
            e.versionCount = s.entry.versionCount;
            e.module = s.entry.module;
            e.templateId = s.entry.templateId;
            e.firstLoadTime = s.load;
            e.loads = 1;
        }
        e.address = s.address;
        e.executions += runs;
        e.parseCalls += std::ceil(s.parsePer * runs);
        e.fetches += std::floor(s.fetchesPer * runs);
        e.rowsProcessed += std::floor(s.rowsPer * runs);
        e.sorts += std::floor(s.sortsPer * runs);
        e.bufferGets += std::floor(s.getsPer * gets);
        e.diskReads += std::floor(s.readsPer * reads);
        cpu += s.cpuPer * gets;
        io += s.ioPer * reads;
        elapsed += (s.elapsedPer - s.ioPer) * gets + s.ioPer * reads;
        std::int64_t active = s.listedLife ? (added > 0 ? static_cast<std::int64_t>(std::floor(last))
                                                        : (s.entry.lastActiveTime ? s.entry.lastActiveTime
                                                                                  : s.entry.firstLoadTime))
                                           : static_cast<std::int64_t>(std::floor(last));
        if (s.listedLife && s.entry.lastActiveTime) active = std::max(active, s.entry.lastActiveTime);
        for (const TimeEvent* r : s.runs) {
            if (static_cast<double>(r->at) < start || r->at > m_Now) continue;
            PoolEntry bump;
            bump.executions = r->run.executions;
            bump.parseCalls = r->run.parseCalls;
            bump.bufferGets = r->run.bufferGets;
            bump.diskReads = r->run.diskReads;
            e.executions += r->run.executions;
            e.parseCalls += r->run.parseCalls;
            e.bufferGets += r->run.bufferGets;
            e.diskReads += r->run.diskReads;
            e.rowsProcessed += r->run.rowsProcessed;
            e.sorts += r->run.sorts;
            if (e.commandType == 3) e.fetches += r->run.executions;
            cpu += WorkCpuTime(bump);
            io += WorkUserIoWaitTime(bump);
            elapsed += WorkElapsedTime(bump);
            if (r->run.executions > 0 || r->run.bufferGets > 0 || r->run.diskReads > 0 || r->run.rowsProcessed > 0 ||
                r->run.sorts > 0)
                active = std::max(active, r->at);
        }
        // A new plan comes with a hard parse: the cursor was invalidated and loaded again.
        for (const TimeEvent* pc : s.planChanges) {
            if (static_cast<double>(pc->at) >= start && pc->at <= m_Now) {
                e.invalidations += 1;
                e.loads += 1;
            }
        }
        e.cpuTime = std::floor(cpu);
        e.userIoWaitTime = std::floor(io);
        e.elapsedTime = std::max(std::floor(elapsed), e.cpuTime + e.userIoWaitTime);
        e.lastActiveTime = active;
        e.plan.reset();
        e.planBuilt = false;
        return e;
    }

    void Publish() {
        std::vector<std::size_t> order = m_Present;
        // The lifetimes the scenario lists keep its order; later loads follow by time.
        std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            const Sim& x = m_Sims[a];
            const Sim& y = m_Sims[b];
            if (x.listedLife != y.listedLife) return x.listedLife;
            if (!x.listedLife && x.load != y.load) return x.load < y.load;
            return a < b;
        });
        SharedPool pool(m_Seed);
        for (std::size_t id : order) {
            const Sim& s = m_Sims[id];
            PoolEntry e = Figures(s);
            if (!s.planChanges.empty() && e.executions > 0 && !m_Db.config.oldRelease) {
                std::shared_ptr<const CursorPlan> plan = CursorPlanOf(e, m_Db);
                for (const TimeEvent* pc : s.planChanges)
                    if (plan && pc->at <= m_Now) plan = ChangedPlan(*plan, pc->factor);
                e.plan = plan;
                e.planBuilt = true;
            }
            pool.Add(std::move(e));
        }
        m_Db.pool = std::move(pool);
    }

    Database& m_Db;
    const TimeLineSpec& m_Spec;
    const std::vector<StatementTemplate>& m_Templates;
    std::int64_t m_Origin, m_Now;
    Clockwork m_Clock;
    std::uint64_t m_Seed;
    int m_TotalWeight = 0;
    std::vector<const TimeEvent*> m_RunEvents, m_PlanEvents;
    std::vector<Sim> m_Sims;
    std::unordered_map<std::string, std::size_t> m_Texts;
    std::vector<std::size_t> m_Present;
    std::unordered_set<std::uint64_t> m_InUse;
    std::priority_queue<Happening, std::vector<Happening>, std::greater<Happening>> m_Queue;
    std::int64_t m_Pushed = 0;
};

}  // namespace

void MoveToTime(Database& db, const TimeLineSpec& specIn, const std::vector<StatementTemplate>& templates,
                std::int64_t now) {
    const std::int64_t origin = db.config.fixedClock;
    if (now < origin)
        throw TimeLineError(0, "CORVID_SIM_NOW " + FormatDate(now, "YYYY-MM-DD/HH24:MI:SS") +
                                   " is before the scenario's clock " + FormatDate(origin, "YYYY-MM-DD/HH24:MI:SS") +
                                   " (where its statements' figures stand)");
    TimeLineSpec spec = specIn;
    for (TimeEvent& e : spec.events) {
        if (e.relative) {
            e.at += origin;
            e.relative = false;
        }
        if (e.at < origin)
            throw TimeLineError(e.line, "the time " + FormatDate(e.at, "YYYY-MM-DD/HH24:MI:SS") +
                                            " is before the scenario's clock " +
                                            FormatDate(origin, "YYYY-MM-DD/HH24:MI:SS"));
    }
    Simulation(db, spec, templates, origin, now).Run();
    db.config.fixedClock = now;
    db.clockOffset = 0;
}

void SettleStartupTime(Database& db) {
    std::int64_t startup = db.Now();
    for (const PoolEntry& e : db.pool.View()) startup = std::min(startup, e.firstLoadTime);
    db.config.startupTime = startup;
}

std::shared_ptr<const TableData> MakeInstanceView(const Database& db) {
    auto t = std::make_shared<RowTable>(std::vector<ColumnDesc>{
        NumberColumn("INSTANCE_NUMBER"), TextColumn("INSTANCE_NAME", 16), TextColumn("HOST_NAME", 64),
        TextColumn("VERSION", 17), DateColumn("STARTUP_TIME"), TextColumn("STATUS", 12),
        TextColumn("DATABASE_STATUS", 17), TextColumn("INSTANCE_ROLE", 18)});
    std::string name = db.config.database;
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    t->MutableRows().push_back({Value::Num(1), Value::Str(name), Value::Str("dbserver"),
                                Value::Str(db.config.oldRelease ? "8.1.7.4.0" : "19.0.0.0.0"),
                                Value::DateAt(db.config.startupTime), Value::Str("OPEN"), Value::Str("ACTIVE"),
                                Value::Str("PRIMARY_INSTANCE")});
    return t;
}

}  // namespace ocisim
