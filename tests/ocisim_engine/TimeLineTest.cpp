// The server that lives in time: the pool as a function of the scenario and the
// time, restarts, age-outs and returns, plan changes, literal floods, runs at
// their times, and the errors of bad time lines.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include "TestSupport.h"
#include "ocisim/engine/CursorPlans.h"
#include "ocisim/engine/Database.h"
#include "ocisim/engine/DateTime.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/Scenario.h"
#include "ocisim/engine/TimeLine.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

const char* kBase =
    "clock 2024-06-01/00:00:00\nseed 77\n"
    "user SYSTEM id=5 password=MANAGER privileges=dba\n"
    "user SCOTT id=54 password=TIGER privileges=catalog,v-database\n"
    "user SHOP id=61 password=SHOP\n"
    "table SHOP.ORDERS rows=1200000 analyzed columns=\"ORDER_ID NUMBER(12) NOT NULL, CUSTOMER_ID NUMBER(10), "
    "TOTAL NUMBER\"\n"
    "index SHOP.ORDERS_PK on SHOP.ORDERS(ORDER_ID) unique\n"
    "statement user=SHOP executions=864000 buffer-gets=3456000 disk-reads=8640 rows=864000 "
    "first-load=2024-05-22/00:00:00 text=\"SELECT total FROM shop.orders WHERE order_id = :b1\"\n"
    "statement user=SHOP executions=0 text=\"SELECT COUNT(*) FROM shop.orders\"\n"
    "template weight=3 users=SHOP executions=1..40 buffer-gets=3..9 disk-reads=0..2 "
    "text=\"SELECT customer_id FROM shop.orders WHERE order_id = {int:1:999999}\"\n"
    "template weight=1 users=SHOP command=6 executions=1..5 buffer-gets=4..6 "
    "text=\"UPDATE shop.orders SET total = {int:1:99} WHERE order_id = {int:1:999999}\"\n"
    "generate count=300\n";
const char* kWorkload = "workload new=3 removed=2 at=time every=1h\n";

const char* kHot = "SELECT total FROM shop.orders WHERE order_id = :b1";
const char* kIdle = "SELECT COUNT(*) FROM shop.orders";

std::int64_t At(const char* text) { return *ParseTimePoint(text); }

std::unique_ptr<Database> PoolAt(const std::string& extra, const char* now) {
    return LoadScenarioText(std::string(kBase) + extra, "time.scn", -1, At(now));
}

const PoolEntry* Find(const Database& db, const std::string& text) {
    for (const PoolEntry& e : db.pool.View())
        if (*e.text == text) return &e;
    return nullptr;
}

std::string Dump(const PoolEntry& e) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "%llx|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%.0f|%lld|%lld|%d|",
                  static_cast<unsigned long long>(e.address), e.executions, e.parseCalls, e.bufferGets, e.diskReads,
                  e.rowsProcessed, e.sorts, e.fetches, e.loads, e.cpuTime, e.elapsedTime, e.userIoWaitTime,
                  static_cast<long long>(e.firstLoadTime), static_cast<long long>(e.lastActiveTime),
                  e.parsingUserId);
    return buf + *e.text + "|" + e.module + "|" + std::to_string(e.plan ? e.plan->hashValue : 0);
}

std::string ErrorOf(const std::string& extra, const char* now = "2024-06-10T00:00:00") {
    try {
        PoolAt(extra, now);
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "no error";
}

// Sets an environment variable while it lives, and puts back what was there.
class EnvGuard {
public:
    EnvGuard(const char* name, const std::string& value) : m_Name(name) {
        if (const char* before = std::getenv(name)) m_Before = before;
        setenv(name, value.c_str(), 1);
    }
    ~EnvGuard() {
        if (m_Before)
            setenv(m_Name, m_Before->c_str(), 1);
        else
            unsetenv(m_Name);
    }

private:
    const char* m_Name;
    std::optional<std::string> m_Before;
};

class NowGuard : public EnvGuard {
public:
    explicit NowGuard(const char* now) : EnvGuard("CORVID_SIM_NOW", now) {}
};

// A scenario file that CORVID_SIM_SCENARIO names while it lives: servers at
// other times are built from it again.
class ScenarioFile {
public:
    explicit ScenarioFile(const std::string& text)
        : m_Path("/tmp/ocisim_time_test_" + std::to_string(getpid()) + ".scn"), m_Env("CORVID_SIM_SCENARIO", m_Path) {
        std::ofstream(m_Path, std::ios::binary) << text;
    }
    ~ScenarioFile() { std::remove(m_Path.c_str()); }

private:
    std::string m_Path;
    EnvGuard m_Env;
};

}  // namespace

TEST(TimeLineTest, ReadsTimesAndSpans) {
    EXPECT_EQ(ParseTimePoint("2024-06-01T12:30:05"), MakeDate(2024, 6, 1, 12, 30, 5));
    EXPECT_EQ(ParseTimePoint("2024-06-01 12:30Z"), MakeDate(2024, 6, 1, 12, 30, 0));
    EXPECT_EQ(ParseTimePoint("2024-06-01/12:30:05"), MakeDate(2024, 6, 1, 12, 30, 5));
    EXPECT_EQ(ParseTimePoint("2024-02-29"), MakeDate(2024, 2, 29));
    for (const char* bad : {"", "2024-02-30", "2023-02-29", "2024-13-01", "2024-06-01T24:00", "2024-06-01T12",
                            "2024-06-01T12:30:05+02:00", "yesterday", "2024-6-1"})
        EXPECT_FALSE(ParseTimePoint(bad)) << bad;
    EXPECT_EQ(ParseDuration("2d6h30m"), 2 * 86400 + 6 * 3600 + 30 * 60);
    EXPECT_EQ(ParseDuration("90"), 90);
    for (const char* bad : {"", "d", "3x", "2d30", "-1h"}) EXPECT_FALSE(ParseDuration(bad)) << bad;
}

TEST(TimeLineTest, SameTimeGivesTheSamePoolAndCountersOnlyGrow) {
    const std::string events = std::string(kWorkload) + "at +3d run match=\"%COUNT(*)%\" executions=5 buffer-gets=900\n";
    const char* times[] = {"2024-06-01T00:00:00", "2024-06-01T06:00:00", "2024-06-02T13:17:00",
                           "2024-06-05T00:00:00", "2024-06-09T23:59:59", "2024-06-30T00:00:00"};
    std::vector<std::unique_ptr<Database>> pools;
    for (const char* t : times) pools.push_back(PoolAt(events, t));

    // Same time, same pool, to the byte.
    auto again = PoolAt(events, times[3]);
    ASSERT_EQ(again->pool.Size(), pools[3]->pool.Size());
    for (std::size_t i = 0; i < again->pool.Size(); ++i)
        ASSERT_EQ(Dump(again->pool.View()[i]), Dump(pools[3]->pool.View()[i]));

    std::size_t compared = 0, moved = 0;
    for (std::size_t p = 1; p < pools.size(); ++p) {
        std::map<std::string, const PoolEntry*> before;
        for (const PoolEntry& e : pools[p - 1]->pool.View()) before[*e.text] = &e;
        std::set<std::uint64_t> addresses;
        for (const PoolEntry& e : pools[p]->pool.View()) {
            EXPECT_TRUE(addresses.insert(e.address).second) << "two statements at one address";
            EXPECT_LE(e.firstLoadTime, At(times[p]));
            EXPECT_LE(e.lastActiveTime, At(times[p]));
            EXPECT_GE(e.elapsedTime, e.cpuTime + e.userIoWaitTime);
            auto it = before.find(*e.text);
            if (it == before.end() || it->second->firstLoadTime != e.firstLoadTime) continue;
            const PoolEntry& b = *it->second;
            ++compared;
            EXPECT_EQ(b.address, e.address) << *e.text;
            for (auto [x, y] : {std::pair{b.executions, e.executions}, {b.bufferGets, e.bufferGets},
                                {b.diskReads, e.diskReads}, {b.rowsProcessed, e.rowsProcessed},
                                {b.parseCalls, e.parseCalls}, {b.cpuTime, e.cpuTime}, {b.elapsedTime, e.elapsedTime},
                                {b.sorts, e.sorts}, {b.fetches, e.fetches}})
                EXPECT_LE(x, y) << *e.text << " from " << times[p - 1] << " to " << times[p];
            if (e.executions > b.executions || e.bufferGets > b.bufferGets) {
                ++moved;
                EXPECT_GT(e.lastActiveTime, b.lastActiveTime) << *e.text;
            } else {
                EXPECT_EQ(e.lastActiveTime, b.lastActiveTime) << *e.text;
            }
        }
    }
    EXPECT_GT(compared, 1000u);
    EXPECT_GT(moved, 300u);
    // The pool moves: statements arrive by the hour and others leave.
    EXPECT_NE(pools[5]->pool.Size(), pools[0]->pool.Size());
    // Ageing out takes the statements least in use: the hot one stays.
    EXPECT_EQ(Find(*pools[5], kHot)->firstLoadTime, At("2024-05-22T00:00:00"));
}

TEST(TimeLineTest, RunsHappenAtTheirTimes) {
    const std::string run = "at 2024-06-04T00:00:00 run match=\"%COUNT(*)%\" executions=5 buffer-gets=900 parse-calls=2\n";
    EXPECT_EQ(Find(*PoolAt(run, "2024-06-03T23:59:59"), kIdle)->executions, 0);
    for (const char* t : {"2024-06-04T00:00:00", "2024-06-20T00:00:00"}) {
        const PoolEntry& idle = *Find(*PoolAt(run, t), kIdle);
        EXPECT_EQ(idle.executions, 5) << t;
        EXPECT_EQ(idle.bufferGets, 900) << t;
        EXPECT_EQ(idle.parseCalls, 3) << t;
        EXPECT_EQ(idle.lastActiveTime, At("2024-06-04T00:00:00")) << t;
        EXPECT_GT(idle.cpuTime, 0) << t;
    }
}

TEST(TimeLineTest, HotStatementRunsAtItsRateWithNoise) {
    // 864,000 executions in 10 days: one a second, swinging by the hour.
    auto a = PoolAt("", "2024-06-02T00:00:00");
    auto b = PoolAt("", "2024-06-03T00:00:00");
    const double perDay = Find(*b, kHot)->executions - Find(*a, kHot)->executions;
    EXPECT_NEAR(perDay, 86400, 86400 * 0.05);
    std::set<double> hourly;
    for (int h = 0; h < 6; ++h) {
        char t1[32], t2[32];
        std::snprintf(t1, sizeof t1, "2024-06-04T%02d:00:00", h);
        std::snprintf(t2, sizeof t2, "2024-06-04T%02d:00:00", h + 1);
        const double n = Find(*PoolAt("", t2), kHot)->executions - Find(*PoolAt("", t1), kHot)->executions;
        EXPECT_GT(n, 3600 * 0.45);
        EXPECT_LT(n, 3600 * 1.55);
        hourly.insert(n);
    }
    EXPECT_GT(hourly.size(), 3u) << "the hourly counts do not vary";
}

TEST(TimeLineTest, RestartEmptiesThePoolAndCountsFromZero) {
    const std::string restart = "at 2024-06-05T12:00:00 restart\n";
    auto before = PoolAt(restart, "2024-06-05T11:59:59");
    auto after = PoolAt(restart, "2024-06-05T13:00:00");
    EXPECT_EQ(before->config.startupTime, At("2024-05-22T00:00:00"));  // the earliest first load
    EXPECT_EQ(after->config.startupTime, At("2024-06-05T12:00:00"));
    for (const PoolEntry& e : after->pool.View()) EXPECT_GT(e.firstLoadTime, At("2024-06-05T12:00:00")) << *e.text;
    // What runs often is back; the statement never run and most rare ones are not.
    const PoolEntry* hot = Find(*after, kHot);
    ASSERT_TRUE(hot);
    EXPECT_LT(hot->executions, 3600 * 1.6);
    EXPECT_LT(hot->bufferGets, Find(*before, kHot)->bufferGets);
    EXPECT_EQ(hot->loads, 1);
    EXPECT_FALSE(Find(*after, kIdle));
    EXPECT_LT(after->pool.Size(), before->pool.Size() / 2);
    EXPECT_EQ(after->Now(), At("2024-06-05T13:00:00"));
}

TEST(TimeLineTest, AgedOutStatementsComeBackWithANewFirstLoad) {
    const std::string events =
        "at 2024-06-03T00:00:00 age-out match=\"SELECT total FROM%\" back-after=2h\n"
        "at 2024-06-03T00:00:00 age-out match=\"SELECT COUNT(*)%\" back-after=never\n";
    auto before = PoolAt(events, "2024-06-02T23:00:00");
    auto gone = PoolAt(events, "2024-06-03T01:00:00");
    auto back = PoolAt(events, "2024-06-03T03:00:00");
    EXPECT_TRUE(Find(*before, kHot) && Find(*before, kIdle));
    EXPECT_FALSE(Find(*gone, kHot));
    EXPECT_FALSE(Find(*gone, kIdle));
    EXPECT_FALSE(Find(*back, kIdle));
    const PoolEntry* hot = Find(*back, kHot);
    ASSERT_TRUE(hot);
    EXPECT_EQ(hot->firstLoadTime, At("2024-06-03T02:00:00"));
    EXPECT_GT(hot->executions, 1800);
    EXPECT_LT(hot->executions, 5400);
    // Without back-after, a statement that runs every second is back at once.
    auto soon = PoolAt("at 2024-06-03T00:00:00 age-out match=\"SELECT total FROM%\"\n", "2024-06-03T00:01:00");
    ASSERT_TRUE(Find(*soon, kHot));
    EXPECT_LT(Find(*soon, kHot)->firstLoadTime, At("2024-06-03T00:01:00"));
    EXPECT_GT(Find(*soon, kHot)->firstLoadTime, At("2024-06-03T00:00:00"));
}

TEST(TimeLineTest, PlanChangeGivesANewPlanAndScalesPerExecutionFigures) {
    const std::string change = "at 2024-06-05T00:00:00 plan-change match=\"SELECT total FROM%\" factor=4\n";
    auto figures = [&](const char* t) { return *Find(*PoolAt(change, t), kHot); };
    const PoolEntry a = figures("2024-06-03T00:00:00"), b = figures("2024-06-04T00:00:00");
    const PoolEntry c = figures("2024-06-06T00:00:00"), d = figures("2024-06-07T00:00:00");
    auto perExec = [](const PoolEntry& x, const PoolEntry& y, double PoolEntry::*field) {
        return (y.*field - x.*field) / (y.executions - x.executions);
    };
    for (double PoolEntry::*field : {&PoolEntry::bufferGets, &PoolEntry::cpuTime, &PoolEntry::elapsedTime}) {
        const double ratio = perExec(c, d, field) / perExec(a, b, field);
        EXPECT_NEAR(ratio, 4.0, 0.25);
    }
    EXPECT_NEAR(perExec(c, d, &PoolEntry::rowsProcessed), perExec(a, b, &PoolEntry::rowsProcessed), 0.01);
    EXPECT_EQ(d.invalidations, 1);
    EXPECT_EQ(d.loads, 2);

    // The plan: an index access before, a full scan after, each with its own hash.
    ScenarioFile file(std::string(kBase) + change);
    std::string plans[2];
    std::string hashes[2];
    const char* nows[2] = {"2024-06-04T00:00:00", "2024-06-06T00:00:00"};
    for (int i = 0; i < 2; ++i) {
        NowGuard now(nows[i]);
        auto server = TheServer();
        auto scott = Logon(*server, "SCOTT", "TIGER");
        ASSERT_TRUE(scott);
        Result area = RunSql(*scott, "SELECT plan_hash_value FROM v$sqlarea WHERE sql_text = '" + std::string(kHot) + "'");
        ASSERT_EQ(area.rows.size(), 1u) << area.error.message;
        hashes[i] = area.rows[0][0].ToText();
        Result plan = RunSql(*scott, "SELECT p.plan_hash_value, p.operation, p.options FROM v$sql_plan p, v$sqlarea a "
                                     "WHERE p.address = a.address AND a.sql_text = '" + std::string(kHot) +
                                     "' ORDER BY p.id");
        ASSERT_FALSE(plan.error.IsError()) << plan.error.message;
        for (const std::string& row : Texts(plan)) plans[i] += row + "\n";
        EXPECT_NE(plans[i].find(hashes[i] + "|"), std::string::npos) << plans[i];
    }
    EXPECT_NE(hashes[0], hashes[1]);
    EXPECT_NE(hashes[0], "0");
    EXPECT_NE(plans[0].find("INDEX|UNIQUE SCAN"), std::string::npos) << plans[0];
    EXPECT_NE(plans[1].find("TABLE ACCESS|FULL"), std::string::npos) << plans[1];
    EXPECT_EQ(plans[1].find("INDEX"), std::string::npos) << plans[1];
}

TEST(TimeLineTest, LiteralFloodStartsAFamilyAtItsTime) {
    const std::string flood =
        "at 2024-06-04T00:00:00 literal-flood template=\"SELECT total FROM shop.orders WHERE customer_id = "
        "{int:1:9999999}\" count=400 over=4h users=SCOTT buffer-gets=5..5 module=flood\n";
    auto members = [&](const char* t, const Database& db) {
        std::vector<const PoolEntry*> found;
        for (const PoolEntry& e : db.pool.View())
            if (LikeMatch(*e.text, "SELECT total FROM shop.orders WHERE customer_id = %")) found.push_back(&e);
        (void)t;
        return found;
    };
    auto before = PoolAt(flood, "2024-06-03T23:59:59");
    auto half = PoolAt(flood, "2024-06-04T02:00:00");
    auto all = PoolAt(flood, "2024-06-05T00:00:00");
    EXPECT_TRUE(members("", *before).empty());
    EXPECT_NEAR(static_cast<double>(members("", *half).size()), 200, 2);
    const auto family = members("", *all);
    EXPECT_EQ(family.size(), 400u);
    std::set<std::string> texts;
    for (const PoolEntry* e : family) {
        texts.insert(*e->text);
        EXPECT_EQ(e->executions, 1);
        EXPECT_EQ(e->bufferGets, 5);
        EXPECT_EQ(e->module, "flood");
        EXPECT_EQ(e->parsingUserId, 54);
        EXPECT_GE(e->firstLoadTime, At("2024-06-04T00:00:00"));
        EXPECT_LT(e->firstLoadTime, At("2024-06-04T04:00:00"));
        EXPECT_EQ(e->lastActiveTime, e->firstLoadTime);
    }
    EXPECT_EQ(texts.size(), family.size());
}

TEST(TimeLineTest, BadTimeLinesNameTheLineAndTheReason) {
    const int first = 13;  // the first line after kBase
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"at tomorrow restart", "is not YYYY-MM-DD/HH24:MI:SS"},
        {"at +3x restart", "is not +SPAN"},
        {"at +1d explode", "unknown event \"explode\""},
        {"at +1d restart now", "usage: at TIME restart|run"},
        {"at +1d age-out match=x soon", "unknown word soon"},
        {"at +1d run executions=3", "usage: at TIME run match="},
        {"at +1d run match=x executions=-3", "executions must be a number of 0 or more"},
        {"at +1d plan-change match=x", "factor=F"},
        {"at +1d plan-change match=x factor=0", "factor must be above 0"},
        {"at +1d age-out match=x back-after=soon", "back-after must be a span"},
        {"at +1d literal-flood template=\"SELECT 1 FROM dual\" count=3", "has no placeholder"},
        {"at +1d literal-flood template=\"SELECT {int:1:9} FROM dual\" count=0", "count must be a whole number"},
        {"at +1d literal-flood template=\"SELECT {int:1:9} FROM dual\" count=3 users=NOBODY", "unknown user NOBODY"},
        {"at 2024-05-01T00:00:00 restart", "is before the scenario's clock"},
        {"workload touched=3 at=time", "touched= has no meaning at=time"},
        {"workload new=3 every=1h", "every= belongs to a workload at=time"},
        {"workload new=3 at=time every=10s", "every must be a span of a minute or more"},
    };
    for (const auto& c : cases) {
        const std::string error = ErrorOf(std::string(c.line) + "\n");
        EXPECT_NE(error.find("time.scn:" + std::to_string(first) + ": "), std::string::npos) << c.line << ": " << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.line << ": " << error;
    }
    EXPECT_NE(ErrorOf("", "2024-05-31T23:59:59").find("is before the scenario's clock 2024-06-01/00:00:00"),
              std::string::npos);
    // Without a time, `at` lines are read and checked but change nothing.
    auto still = LoadScenarioText(std::string(kBase) + "at +1d restart\n", "time.scn");
    EXPECT_TRUE(Find(*still, kIdle));
}

TEST(TimeLineTest, ServerTakesItsClockAndInstanceFromTheTime) {
    ScenarioFile file(std::string(kBase) + "at 2024-06-05T12:00:00 restart\n");
    struct Seen {
        std::string sysdate, startup, area;
    };
    auto look = [&](const char* now) {
        NowGuard guard(now);
        ResetServer();  // a server of its own, even at a time seen before
        auto server = TheServer();
        auto scott = Logon(*server, "SCOTT", "TIGER");
        Seen s;
        if (!scott) return s;
        s.sysdate = RunSql(*scott, "SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD HH24:MI:SS') FROM dual").rows.at(0).at(0).text;
        Result inst = RunSql(*scott, "SELECT TO_CHAR(startup_time, 'YYYY-MM-DD HH24:MI:SS'), status FROM v$instance");
        s.startup = Texts(inst).empty() ? inst.error.message : Texts(inst)[0];
        for (const std::string& row : Texts(RunSql(*scott, "SELECT address, executions, buffer_gets, first_load_time "
                                                           "FROM v$sqlarea WHERE sql_text NOT LIKE '%v$sqlarea%'")))
            s.area += row + "\n";
        return s;
    };
    const Seen before = look("2024-06-05T11:00:00");
    const Seen after = look("2024-06-05T13:30:00");
    const Seen again = look("2024-06-05T13:30:00");
    EXPECT_EQ(before.sysdate, "2024-06-05 11:00:00");
    EXPECT_EQ(before.startup, "2024-05-22 00:00:00|OPEN");
    EXPECT_EQ(after.startup, "2024-06-05 12:00:00|OPEN");
    EXPECT_EQ(after.area, again.area);  // a new server at the same time answers the same
    EXPECT_FALSE(after.area.empty());
    {
        NowGuard guard("next tuesday");
        OraError err;
        auto session = TheServer()->Logon("", "SCOTT", "TIGER", LogonMode::Normal, err);
        EXPECT_FALSE(session);
        EXPECT_EQ(err.code, 1034);
        EXPECT_NE(err.message.find("CORVID_SIM_NOW: \"next tuesday\" is not a time"), std::string::npos) << err.message;
    }
}

TEST(TimeLineTest, MonthScenarioLivesThroughItsEvents) {
    auto first = LoadScenario("month", At("2024-06-01T09:00:00"));
    auto flooded = LoadScenario("month", At("2024-06-18T06:00:00"));
    auto late = LoadScenario("month", At("2024-06-29T09:00:00"));
    EXPECT_EQ(first->config.startupTime, At("2024-05-01T02:00:00"));
    EXPECT_EQ(late->config.startupTime, At("2024-06-13T00:00:00"));
    for (const PoolEntry& e : late->pool.View()) EXPECT_GT(e.firstLoadTime, At("2024-06-13T00:00:00"));
    auto family = [](const Database& db) {
        std::size_t n = 0;
        for (const PoolEntry& e : db.pool.View()) n += e.module == "catalog";
        return n;
    };
    // The flood is in, and its members, run once, are the first to age out.
    EXPECT_GT(family(*flooded), 1300u);
    EXPECT_LE(family(*flooded), 1500u);
    EXPECT_LT(family(*late), family(*flooded) - 200);
    const char* changed = "SELECT customer_id, name, email, status FROM customers WHERE customer_id = :b1";
    ASSERT_TRUE(Find(*first, changed) && Find(*late, changed));
    EXPECT_EQ(Find(*late, changed)->invalidations, 1);
    ASSERT_TRUE(Find(*late, changed)->plan);
    EXPECT_NE(Find(*late, changed)->plan->hashValue, CursorPlanOf(*Find(*first, changed), *first)->hashValue);
}

TEST(TimeLineTest, EveryPlanChangeGivesAPlanOfItsOwn) {
    const std::string scan = "SELECT customer_id FROM shop.orders WHERE total > 5";
    const std::string extra =
        "statement user=SHOP executions=8640 buffer-gets=86400000 first-load=2024-05-22/00:00:00 text=\"" + scan +
        "\"\n"
        "at 2024-06-03T00:00:00 plan-change match=\"SELECT customer_id FROM shop.orders WHERE total%\" factor=2\n"
        "at 2024-06-04T00:00:00 plan-change match=\"SELECT total FROM%\" factor=3\n"
        "at 2024-06-05T00:00:00 plan-change match=\"SELECT total FROM%\" factor=0.5\n";
    auto shape = [](const PoolEntry& e) {
        std::string s;
        for (const PlanRow& r : e.plan->rows)
            s += std::to_string(r.id) + ":" + std::to_string(r.parentId) + " " + r.operation + " " + r.options + "\n";
        return s;
    };
    std::set<std::uint32_t> hashes;
    for (const char* t : {"2024-06-04T12:00:00", "2024-06-06T00:00:00"}) {
        auto db = PoolAt(extra, t);
        const PoolEntry& hot = *Find(*db, kHot);
        ASSERT_TRUE(hot.plan) << t;
        hashes.insert(hot.plan->hashValue);
        hashes.insert(CursorPlanOf(hot, *db)->hashValue);
        const PoolEntry& full = *Find(*db, scan);
        ASSERT_TRUE(full.plan);
        // A full scan has no index to drop: the statement goes parallel.
        EXPECT_EQ(shape(full), "0:-1 SELECT STATEMENT \n1:0 PX COORDINATOR \n2:1 PX SEND QC (RANDOM)\n"
                               "3:2 TABLE ACCESS FULL\n");
        EXPECT_EQ(full.plan->depths, (std::vector<int>{0, 1, 2, 3}));
    }
    EXPECT_EQ(hashes.size(), 3u);  // the first plan, after one change, after two
}
