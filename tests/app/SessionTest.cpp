#include <gtest/gtest.h>

#include "app/Session.h"
#include "app/SessionScenario.h"
#include "oracle/OracleCursor.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

using testing::MakeSimConnection;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompter(&prompter);
        connection = MakeSimConnection();
        session = std::make_unique<CSession>(*connection);
        session->SetTitleHandler([this](const std::string& caption) { captions.push_back(caption); });
        session->SetConnectionChangedHandler([this] { ++changes; });
        session->SetConnectDialog([this](COracleConnection& c) {
            ++dialogs;
            return !dialogUser.empty() && c.Logon(dialogUser, dialogPassword, "TESTDB", EConnectMode::Normal);
        });
    }
    void TearDown() override {
        session->Disconnect();
        SetPrompter(nullptr);
    }

    // Counts the user's procedures named CorvidExplainPlan, valid or not.
    int ProcedureCount() {
        int count = 0;
        COracleCursor cursor(*connection);
        cursor.Parse("SELECT COUNT(1) FROM user_objects WHERE object_name = 'CORVIDEXPLAINPLAN'");
        cursor.Define(1, &count, sizeof count, 3);
        cursor.ExecuteAndFetch(1);
        return count;
    }

    CRecordingPrompter prompter;
    std::unique_ptr<COracleConnection> connection;
    std::unique_ptr<CSession> session;
    std::vector<std::string> captions;
    int changes = 0;
    int dialogs = 0;
    std::string dialogUser;
    std::string dialogPassword;
};

TEST_F(SessionTest, CommandLineLogonInstallsTheProcedureAndNamesTheConnection) {
    EXPECT_TRUE(session->Connect("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(prompter.Prompts().empty());
    EXPECT_EQ(changes, 1);
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.back(),
              "Corvid - User SCOTT connected with TESTDB (TESTDB) - Oracle Database 19c Enterprise Edition Release "
              "19.0.0.0.0 - Production");
    EXPECT_TRUE(connection->IsValidObject("PROCEDURE", "CorvidExplainPlan"));

    // Disconnect drops the procedure.
    session->Disconnect();
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(captions.back(), "Corvid - Disconnected");
    ASSERT_TRUE(connection->Logon("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    EXPECT_EQ(ProcedureCount(), 0);
}

TEST_F(SessionTest, TheProgramsOwnStatementsNeverShowInTheSharedPoolList) {
    ASSERT_TRUE(session->Connect("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    session->UpdateTitle();
    session->Disconnect();
    ASSERT_TRUE(connection->Logon("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    // Only the two statements the scenario gives SCOTT lack the marker: the
    // logon checks, the title queries, the procedure's creation, check and drop
    // all carry it, so the load's filter leaves them out.
    int unmarked = -1;
    COracleCursor cursor(*connection);
    cursor.Parse("/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea WHERE parsing_user_id = 54 "
                 "AND sql_text NOT LIKE '%/* $CORVID$ */%'");
    cursor.Define(1, &unmarked, sizeof unmarked, 3);
    ASSERT_TRUE(cursor.ExecuteAndFetch(1));
    EXPECT_EQ(unmarked, 2);
}

TEST_F(SessionTest, WithoutAServerTheTitleSaysLocalDatabase) {
    ASSERT_TRUE(session->Connect("SCOTT", "TIGER", "", EConnectMode::Normal));
    EXPECT_EQ(captions.back().rfind("Corvid - User SCOTT connected with local database (TESTDB) - Oracle", 0), 0u)
        << captions.back();
}

TEST_F(SessionTest, FailedCommandLineLogonNamesTheReasonAndOffersTheDialogWithItsValues) {
    dialogUser = "SHOP";
    dialogPassword = "SHOP";
    CSession::SLogonPreset seen;
    session->SetConnectDialog([&](COracleConnection& c) {
        ++dialogs;
        if (const CSession::SLogonPreset* refused = session->GetRefusedLogon()) seen = *refused;
        return c.Logon(dialogUser, dialogPassword, "TESTDB", EConnectMode::Normal);
    });
    EXPECT_TRUE(session->Connect("SCOTT", "WRONG", "TESTDB", EConnectMode::SysDba));
    EXPECT_EQ(dialogs, 1);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    const std::string message = prompter.Messages()[0];
    EXPECT_EQ(message.rfind(std::string(kCommandLineLogonFailedMessage) + "\n\nORA-01017", 0), 0u) << message;
    EXPECT_EQ(seen.user, "SCOTT");
    EXPECT_EQ(seen.server, "TESTDB");
    EXPECT_EQ(seen.mode, EConnectMode::SysDba);
    EXPECT_EQ(connection->GetUser(), "SHOP");
    // Only the dialog right after the refusal is filled from the command line.
    EXPECT_EQ(session->GetRefusedLogon(), nullptr);
    session->Disconnect();
    seen = CSession::SLogonPreset();
    EXPECT_TRUE(session->Connect("", "", "", EConnectMode::Normal));
    EXPECT_EQ(seen.user, "");
}

TEST_F(SessionTest, CancelledDialogLeavesTheProgramDisconnected) {
    EXPECT_FALSE(session->Connect("", "", "", EConnectMode::Normal));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kLoginAbortedMessage}));
    EXPECT_EQ(captions.back(), "Corvid - Disconnected");
    EXPECT_EQ(changes, 1);
}

TEST_F(SessionTest, UserWithoutPlanTableIsLoggedOffAgain) {
    EXPECT_FALSE(session->Connect("NOPLAN", "NOPLAN", "TESTDB", EConnectMode::Normal));
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kNoPlanTableMessage}));
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(captions.back(), "Corvid - Disconnected");
}

TEST_F(SessionTest, ProcedureThatCompilesInvalidLogsOff) {
    EXPECT_FALSE(session->Connect("OLDPLAN", "OLDPLAN", "TESTDB", EConnectMode::Normal));
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kInvalidProcedureMessage}));
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(captions.back(), "Corvid - Disconnected");
}

TEST_F(SessionTest, ConnectingAgainLogsOffFirst) {
    ASSERT_TRUE(session->Connect("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    ASSERT_TRUE(session->Connect("SHOP", "SHOP", "TESTDB", EConnectMode::Normal));
    EXPECT_EQ(connection->GetUser(), "SHOP");
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(prompter.Prompts().empty());
}

TEST_F(SessionTest, NotConnectedCommandsSayWhyAndSendNothing) {
    EXPECT_FALSE(session->EnsureConnected());
    EXPECT_EQ(session->FlushSharedPool(), CSession::EFlushResult::NotConnected);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kNotConnectedMessage, kNotConnectedMessage}));
    // Disconnect while not connected only refreshes the title.
    session->Disconnect();
    EXPECT_EQ(captions.back(), "Corvid - Disconnected");
}

TEST_F(SessionTest, FlushAsksFirstNamingTheDatabaseAndNoKeepsThePool) {
    ASSERT_TRUE(session->Connect("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
    auto poolSize = [&] {
        int count = 0;
        COracleCursor cursor(*connection);
        cursor.Parse("SELECT COUNT(1) FROM v$sqlarea");
        cursor.Define(1, &count, sizeof count, 3);
        cursor.ExecuteAndFetch(1);
        return count;
    };
    const int before = poolSize();
    ASSERT_GT(before, 3);

    prompter.QueueAnswer(false);
    EXPECT_EQ(session->FlushSharedPool(), CSession::EFlushResult::Declined);
    ASSERT_EQ(prompter.Prompts().size(), 1u);
    const CRecordingPrompter::Prompt question = prompter.Prompts()[0];
    EXPECT_EQ(question.type, CRecordingPrompter::Prompt::Type::Question);
    EXPECT_EQ(question.buttons, IPrompter::Buttons::YesNoDefaultNo);
    EXPECT_NE(question.text.find("database TESTDB"), std::string::npos) << question.text;
    EXPECT_GE(poolSize(), before);

    prompter.Clear();
    prompter.QueueAnswer(true);
    EXPECT_EQ(session->FlushSharedPool(), CSession::EFlushResult::Flushed);
    EXPECT_EQ(prompter.Questions().size(), 1u);
    EXPECT_TRUE(prompter.Messages().empty());
    EXPECT_LT(poolSize(), before);
    EXPECT_TRUE(connection->IsConnected());
}

TEST_F(SessionTest, FlushWithoutThePrivilegeShowsTheServersMessageAndKeepsTheSession) {
    ASSERT_TRUE(session->Connect("SHOP", "SHOP", "TESTDB", EConnectMode::Normal));
    prompter.QueueAnswer(true);
    EXPECT_EQ(session->FlushSharedPool(), CSession::EFlushResult::Refused);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0], "ORA-01031: insufficient privileges");
    EXPECT_TRUE(prompter.OracleErrors().empty());
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_TRUE(connection->IsValidObject("PROCEDURE", "CorvidExplainPlan"));
}

}  // namespace
}  // namespace corvid
