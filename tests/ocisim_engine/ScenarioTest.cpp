// Reading scenario files: every directive, and clear errors for bad files.

#include <gtest/gtest.h>

#include <algorithm>

#include "ocisim/engine/Database.h"
#include "ocisim/engine/Scenario.h"

using namespace ocisim;

namespace {

std::string ErrorOf(const std::string& text) {
    try {
        LoadScenarioText(text, "test.scn");
    } catch (const ScenarioError& e) {
        return e.what();
    }
    return "no error";
}

// The demo's statements beside the generated ones: listed, and made by templates
// with a fixed count.
constexpr size_t kDemoListedStatements = 19;
constexpr size_t kDemoFixedStatements = 3;

}  // namespace

TEST(ScenarioTest, ReadsEveryDirective) {
    auto db = LoadScenarioText(
        "# a comment\n"
        "database PROD\nalias P1 p2\nword-size 32\noptimizer-mode RULE\nclock 2024-01-02/03:04:05\n"
        "banner text=\"Oracle8i Enterprise Edition Release 8.1.7.0.0 - Production\"\n"
        "user APP id=70 password=pw privileges=catalog,alter-system plan-table\n"
        "table APP.T rows=500 blocks=20 analyzed columns=\"ID NUMBER NOT NULL, NAME VARCHAR2(20)\"\n"
        "index APP.T_PK on APP.T(ID) unique\n"
        "row APP.T values=\"1, 'one'\"\n"
        "synonym PUBLIC.T for APP.T\ngrant APP.T to PUBLIC\n"
        "statement user=APP command=2 executions=3\nINSERT INTO t\nVALUES (1, 'x')\n..\n.\n"
        "template users=APP weight=2 executions=1..9 text=\"SELECT name FROM t WHERE id = {int:1:99}\"\n"
        "generate count=40 seed=7\n"
        "fault fetch after=10 error=3113\nworkload new=1\n",
        "x.scn");
    EXPECT_EQ(db->config.database, "PROD");
    EXPECT_TRUE(db->config.aliases.count("P1") && db->config.aliases.count("P2") && db->config.aliases.count("PROD"));
    EXPECT_EQ(db->config.wordSize, 32);
    EXPECT_EQ(db->config.optimizerMode, "RULE");
    EXPECT_EQ(db->config.banners.size(), 1u);
    const UserInfo* app = db->FindUser("APP");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->catalog && app->alterSystem && app->planTable && !app->dba);
    EXPECT_TRUE(db->FindUser("SYS"));  // always there
    TableInfo* t = db->FindTable("APP", "T");
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->analyzed);
    EXPECT_EQ(t->numRows, 500);
    EXPECT_EQ(t->data->RowCount(), 1u);
    EXPECT_EQ(db->indexes.size(), 1u);
    EXPECT_EQ(db->pool.Size(), 41u);
    ASSERT_TRUE(db->pool.Find("INSERT INTO t\nVALUES (1, 'x')\n."));
    EXPECT_EQ(db->pool.Find("INSERT INTO t\nVALUES (1, 'x')\n.")->commandType, 2);
    EXPECT_EQ(db->faults.size(), 1u);
    EXPECT_TRUE(db->faults[0].fatal);
    EXPECT_EQ(db->workload.newStatements, 1);
}

TEST(ScenarioTest, GenerationIsRepeatable) {
    const char* text = "user A id=1 password=a\ntemplate users=A text=\"SELECT {int:1:1000000} FROM dual\"\ngenerate count=300\n";
    auto a = LoadScenarioText(text, "a");
    auto b = LoadScenarioText(text, "b");
    ASSERT_EQ(a->pool.Size(), 300u);
    for (size_t i = 0; i < a->pool.Size(); ++i) {
        EXPECT_EQ(*a->pool.Entries()[i].text, *b->pool.Entries()[i].text);
        EXPECT_EQ(a->pool.Entries()[i].address, b->pool.Entries()[i].address);
    }
    EXPECT_EQ(LoadScenarioText(text, "c", 25)->pool.Size(), 25u);
}

TEST(ScenarioTest, BadFilesGiveTheLineAndTheReason) {
    EXPECT_EQ(ErrorOf("user A id=1 password=a\nfrobnicate\n"), "test.scn:2: unknown directive \"frobnicate\"");
    EXPECT_EQ(ErrorOf("statement user=NOBODY text=\"x\"\n"),
              "test.scn:1: unknown user NOBODY (declare it with a user line first)");
    EXPECT_EQ(ErrorOf("statement\nSELECT 1 FROM dual\n"),
              "test.scn:1: statement text not ended by a line with a single \".\"");
    EXPECT_EQ(ErrorOf("word-size 16\n"), "test.scn:1: word-size must be 32 or 64");
    EXPECT_EQ(ErrorOf("user A id=x password=a\n"), "test.scn:1: id must be a whole number, not \"x\"");
    EXPECT_EQ(ErrorOf("fault fetch after=3\n"), "test.scn:1: a fault needs error=N (the Oracle error number)");
    EXPECT_EQ(ErrorOf("user A id=1 password=a\nstatement user=A text=\"SELECT 1\" executions=-2\n"),
              "test.scn:2: executions must be a number of 0 or more, not \"-2\"");
    EXPECT_EQ(ErrorOf("banner text=\"unterminated\n"), "test.scn:1: missing closing double quote");
    EXPECT_EQ(ErrorOf("generate count=5\n"), "test.scn:1: generate needs at least one template");
    EXPECT_EQ(ErrorOf("user A id=1 password=a\ntable A.T columns=\"X NUMBR\"\n"),
              "test.scn:2: columns: ORA-00902: invalid datatype");
    // Counts beyond what memory holds are refused before anything is generated.
    const std::string templateLine = "user A id=1 password=a\ntemplate weight=1 text=\"SELECT 1 FROM dual\"\n";
    EXPECT_EQ(ErrorOf(templateLine + "generate count=3000000000\n"),
              "test.scn:3: generate: 3000000000 statements in all are more than the simulator holds (at most 2000000)");
    EXPECT_EQ(ErrorOf(templateLine + "generate count=1500000\ngenerate count=1500000\n"),
              "test.scn:4: generate: 3000000 statements in all are more than the simulator holds (at most 2000000)");
    try {
        LoadScenario("demo:3000000000");
        ADD_FAILURE() << "a pool of three thousand million statements was accepted";
    } catch (const ScenarioError& e) {
        EXPECT_NE(std::string(e.what()).find("test.scn"), 0u);
        EXPECT_NE(std::string(e.what()).find("at most 2000000"), std::string::npos) << e.what();
    }
}

TEST(ScenarioTest, NamesBundledScenariosAndCounts) {
    EXPECT_TRUE(BundledScenario("demo"));
    EXPECT_FALSE(BundledScenario("nosuch"));
    // The listed statements and the fixed-count templates come beside the 120.
    EXPECT_EQ(LoadScenario("demo:120")->pool.Size(), 120u + kDemoListedStatements + kDemoFixedStatements);
    EXPECT_THROW(LoadScenario("/nonexistent/file.scn"), ScenarioError);
}

TEST(ScenarioTest, FixedCountTemplatesLeaveTheWeightedDrawAsItWas) {
    const std::string users = "user A id=1 password=a\n";
    const std::string weighted =
        "template users=A weight=3 text=\"SELECT {int:1:1000000} FROM dual\"\n"
        "template users=A weight=1 text=\"SELECT name FROM t WHERE id = {int:1:99999}\"\n";
    const std::string fixed =
        "template users=A count=2 executions=0..0 text=\"SELECT x FROM t WHERE id IN ({list:5:1:9})\"\n";
    auto plain = LoadScenarioText(users + weighted + "generate count=200\n", "plain");
    auto mixed = LoadScenarioText(users + fixed + weighted + "generate count=200\n", "mixed");
    ASSERT_EQ(plain->pool.Size(), 200u);
    ASSERT_EQ(mixed->pool.Size(), 202u);
    for (size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(*plain->pool.Entries()[i].text, *mixed->pool.Entries()[i].text) << i;
        EXPECT_EQ(plain->pool.Entries()[i].templateId + 1, mixed->pool.Entries()[i].templateId) << i;
    }
    for (size_t i = 200; i < 202; ++i) {
        const PoolEntry& e = mixed->pool.Entries()[i];
        EXPECT_EQ(e.templateId, 0);
        EXPECT_EQ(e.executions, 0);
        EXPECT_EQ(e.text->rfind("SELECT x FROM t WHERE id IN (", 0), 0u) << *e.text;
        EXPECT_EQ(std::count(e.text->begin(), e.text->end(), ','), 4) << *e.text;
    }
    EXPECT_EQ(LoadScenarioText(users + fixed + weighted + "generate count=200\n", "again", 10)->pool.Size(), 12u)
        << "the NAME:N form leaves the fixed counts";
    EXPECT_EQ(ErrorOf(users + "template users=A count=2 weight=3 text=\"SELECT 1 FROM dual\"\n"),
              "test.scn:2: a template has either weight= or count=");
    EXPECT_EQ(ErrorOf(users + "template users=A count=0 text=\"SELECT 1 FROM dual\"\n"),
              "test.scn:2: count must be at least 1");
}

TEST(ScenarioTest, DemoHoldsWhatAProductionPoolHolds) {
    auto db = LoadScenario("demo");
    const UserInfo* legacy = db->FindUser("LEGACY");
    ASSERT_TRUE(legacy);
    EXPECT_TRUE(legacy->dropped);
    size_t dropped = 0, hot = 0, plsql = 0, never = 0, nonAscii = 0, over4000 = 0, over32767 = 0, generated = 0;
    for (const PoolEntry& e : db->pool.Entries()) {
        const std::string& text = *e.text;
        if (e.parsingUserId == legacy->id || e.parsingUserId == db->FindUser("ETL_OLD")->id) ++dropped;
        if (e.executions >= 100000 && text.find(':') != std::string::npos) ++hot;
        if (e.commandType == 47) ++plsql;
        if (e.executions == 0) ++never;
        if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            ++nonAscii;
        if (text.size() > 4000) ++over4000;
        if (text.size() > 32767) ++over32767;
        if (e.templateId >= 0) ++generated;
    }
    EXPECT_EQ(dropped, 3u);
    EXPECT_GE(hot, 5u);
    EXPECT_GE(plsql, 2u);
    EXPECT_GE(never, 3u);
    EXPECT_EQ(nonAscii, 4u);
    EXPECT_EQ(over4000, 3u);
    EXPECT_EQ(over32767, 1u);
    EXPECT_EQ(generated, 5000u + kDemoFixedStatements);
    EXPECT_EQ(db->pool.Size(), 5000u + kDemoListedStatements + kDemoFixedStatements);
}
