// Logon, logoff, the server questions and the connection information, through
// both interface generations.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "OracleTestSupport.h"
#include "oracle/OracleCursor.h"

namespace corvid::test {
namespace {

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class ConnectionTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_trace.Open((m_folder / "Corvid.log").string(), 1);
        m_connection = std::make_unique<COracleConnection>(&m_trace, GetParam(), SimLoader());
    }
    void TearDown() override {
        if (m_connection) m_connection->Logoff();
    }
    std::string Log() { return ReadFile(m_folder / "Corvid.log"); }
    bool LogonScott() { return m_connection->Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal); }

    CScratchFolder m_folder;
    CTraceContext m_trace;
    CTestPrompter m_prompter;
    CPrompterScope m_scope{m_prompter};
    std::unique_ptr<COracleConnection> m_connection;
};

TEST_P(ConnectionTest, LogonWritesTheBlockWithTheServerAndAMaskedPassword) {
    ASSERT_TRUE(LogonScott());
    EXPECT_TRUE(m_connection->IsConnected());
    EXPECT_EQ(m_connection->GetUser(), "SCOTT");
    EXPECT_EQ(m_connection->GetServer(), "DEMO");
    EXPECT_EQ(m_connection->GetAuthModeName(), "NORMAL");

    std::string version, name;
    ASSERT_TRUE(m_connection->GetServerInfo(version, name));
    EXPECT_THAT(version, StartsWith("Oracle"));
    EXPECT_EQ(name, "DEMO");

    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("--- BEGIN: OPEN ORACLE CONNECTION (COracleConnection::Logon) at "));
    EXPECT_THAT(log,
                HasSubstr(" ---\r\nLogon user = [SCOTT]\r\nLogon password = [********]\r\nLogon server = [DEMO]\r\n"
                          "Logon authentication mode = [NORMAL]\r\nLogon error code = [0]\r\nServer version = [" +
                          version + "]\r\nServer SID = [DEMO]\r\n--- END: OPEN ORACLE CONNECTION"));
    EXPECT_THAT(log, Not(HasSubstr("TIGER")));
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(ConnectionTest, ARefusedLogonReturnsFalseWithTheServerError) {
    EXPECT_FALSE(m_connection->Logon("SCOTT", "WRONG", "DEMO", EConnectMode::Normal));
    EXPECT_FALSE(m_connection->IsConnected());
    EXPECT_EQ(m_connection->GetErrorCode(), 1017);
    EXPECT_EQ(m_connection->GetErrorText(), "ORA-01017: invalid username/password; logon denied");
    EXPECT_TRUE(m_prompter.Prompts().empty());

    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("Logon password = [********]\r\n"));
    EXPECT_THAT(log, Not(HasSubstr("Logon error code = [0]")));
    EXPECT_THAT(log, HasSubstr("Server version = []\r\nServer SID = []\r\n"));

    // The same connection logs on afterwards.
    EXPECT_TRUE(LogonScott());
}

TEST_P(ConnectionTest, LogoffClosesTheSessionOnceAndTracesIt) {
    ASSERT_TRUE(LogonScott());
    m_connection->Logoff();
    EXPECT_FALSE(m_connection->IsConnected());
    m_connection->Logoff();
    std::string log = Log();
    const std::string begin = "--- BEGIN: CLOSE ORACLE CONNECTION (COracleConnection::Logoff) at ";
    ASSERT_THAT(log, HasSubstr(begin));
    EXPECT_EQ(log.find(begin), log.rfind(begin));
    EXPECT_THAT(log, HasSubstr("--- END: CLOSE ORACLE CONNECTION (COracleConnection::Logoff) at "));

    std::string version = "x", name = "y";
    EXPECT_FALSE(m_connection->GetServerInfo(version, name));
    EXPECT_EQ(version, "");
    EXPECT_EQ(name, "");

    // Logon again after a logoff.
    EXPECT_TRUE(LogonScott());
    EXPECT_EQ(m_connection->CountRows("dept"), 4);
}

TEST_P(ConnectionTest, ConnectionInformationBeforeAnyLogon) {
    m_connection->ShowConnectionInfo();
    const std::string interfaceName = GetParam() == 7 ? "OCI7" : "OCI8";
    EXPECT_THAT(m_prompter.Messages(),
                ::testing::ElementsAre("You are not yet connected!\n\nTNS Name: [not connected]\nUser name: [not "
                                       "connected]\nConnected as: [not connected]\nOCI Version: 19.1\nOCI DLL used: "
                                       "libclntsh.so\nOCI DLL path: " +
                                       SimFolder() + "/libclntsh.so\nOCI API Version: " + interfaceName +
                                       "\nServer Version: [not connected]\nServer SID: [not connected]"));
    ASSERT_EQ(m_prompter.Prompts().size(), 1u);
    EXPECT_EQ(m_prompter.Prompts()[0].kind, IPrompter::Kind::Information);
}

TEST_P(ConnectionTest, ConnectionInformationWhenConnected) {
    ASSERT_TRUE(m_connection->Logon("scott", "tiger", "", EConnectMode::Normal));
    std::string version, name;
    m_connection->GetServerInfo(version, name);
    const std::string interfaceName = GetParam() == 7 ? "OCI7" : "OCI8";
    EXPECT_EQ(m_connection->GetConnectionInfo(),
              "You are successfully connected!\n\nTNS Name: [local]\nUser name: scott\nConnected as: NORMAL\n"
              "OCI Version: 19.1\nOCI DLL used: libclntsh.so\nOCI DLL path: " +
                  SimFolder() + "/libclntsh.so\nOCI API Version: " + interfaceName + "\nServer Version: " + version +
                  "\nServer SID: " + name);
    EXPECT_FALSE(version.empty());
    EXPECT_FALSE(name.empty());
}

TEST_P(ConnectionTest, ServerInfoForAUserWhoMayNotReadTheDatabaseName) {
    ASSERT_TRUE(m_connection->Logon("SHOP", "SHOP", "DEMO", EConnectMode::Normal));
    std::string version, name = "stale";
    EXPECT_TRUE(m_connection->GetServerInfo(version, name));
    EXPECT_THAT(version, StartsWith("Oracle"));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(ConnectionTest, ValidObjectsAreOnlyThoseThatCompiled) {
    ASSERT_TRUE(LogonScott());
    m_connection->ExecuteStatement("CREATE OR REPLACE PROCEDURE corvid_good AS BEGIN NULL; END;");
    m_connection->ExecuteStatement("CREATE OR REPLACE PROCEDURE corvid_bad AS BEGIN no_such_thing; END;");
    EXPECT_TRUE(m_connection->IsValidObject("procedure", "corvid_good"));
    EXPECT_FALSE(m_connection->IsValidObject("PROCEDURE", "CORVID_BAD"));
    EXPECT_FALSE(m_connection->IsValidObject("PROCEDURE", "CORVID_NONE"));
    EXPECT_FALSE(m_connection->IsValidObject("TABLE", "CORVID_GOOD"));
    m_connection->ExecuteStatement("DROP PROCEDURE corvid_good");
    m_connection->ExecuteStatement("DROP PROCEDURE corvid_bad");
    EXPECT_FALSE(m_connection->IsValidObject("PROCEDURE", "CORVID_GOOD"));
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(ConnectionTest, CountRowsAndCommit) {
    ASSERT_TRUE(LogonScott());
    EXPECT_EQ(m_connection->CountRows("emp"), 14);
    EXPECT_EQ(m_connection->CountRows("emp WHERE deptno = 99"), 0);
    m_connection->Commit();
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(ConnectionTest, SysdbaIsTracedAsAskedFor) {
    const bool connected = m_connection->Logon("SYS", "CHANGE_ON_INSTALL", "DEMO", EConnectMode::SysDba);
    EXPECT_EQ(m_connection->GetAuthModeName(), "SYSDBA");
    EXPECT_THAT(Log(), HasSubstr("Logon authentication mode = [SYSDBA]\r\n"));
    EXPECT_TRUE(connected);
}

TEST_P(ConnectionTest, AFailedStatementEndsTheProgramWithItsMessage) {
    ASSERT_TRUE(LogonScott());
    CFilePrompter prompter(m_folder / "prompts.txt");
    SetPrompter(&prompter);
    EXPECT_EXIT(m_connection->ExecuteStatement("DELETE FROM no_such_table"), ExitedWithCode(1), "");
    EXPECT_EQ(ReadFile(m_folder / "prompts.txt"),
              "<ORACLE ERROR>ORACLE Error #942\r\nORA-00942: table or view does not exist\r\n"
              "[DELETE FROM no_such_table]</ORACLE ERROR>");
    const std::string log = Log();
    const auto block = log.find("=== ORACLE ERROR ===\r\n");
    ASSERT_NE(block, std::string::npos);
    // The timestamp line, then the message with its own line feeds.
    const std::string rest = log.substr(block + 22);
    ASSERT_GT(rest.size(), 26u);
    EXPECT_EQ(rest.substr(24, 2), "\r\n");
    EXPECT_EQ(rest.substr(26),
              "ORACLE Error #942\nORA-00942: table or view does not exist\n[DELETE FROM no_such_table]\r\n");
    m_connection.reset();
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ConnectionTest, ::testing::Values(7, 8),
                         [](const auto& info) { return "OCI" + std::to_string(info.param); });

// Release 7 knows no SYSDBA logon: SCOTT, who lacks the privilege, gets an
// ordinary session there and is refused by release 8.
TEST(ConnectionModeTest, SysdbaIsPassedOnByOci8Only) {
    CTestPrompter prompter;
    CPrompterScope scope(prompter);
    COracleConnection oci7(nullptr, 7, SimLoader());
    EXPECT_TRUE(oci7.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::SysDba));
    EXPECT_EQ(oci7.GetAuthModeName(), "SYSDBA");
    EXPECT_THAT(oci7.GetConnectionInfo(), HasSubstr("\nConnected as: SYSDBA\n"));
    oci7.Logoff();

    COracleConnection oci8(nullptr, 8, SimLoader());
    EXPECT_FALSE(oci8.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::SysDba));
    EXPECT_EQ(oci8.GetErrorCode(), 1031);
    EXPECT_TRUE(oci8.Logon("SYS", "CHANGE_ON_INSTALL", "DEMO", EConnectMode::SysDba));
    oci8.Logoff();
    EXPECT_TRUE(prompter.Prompts().empty());
}

// Hands out the simulated client library, but its OCISessionBegin reports a
// successful logon with a warning, as a server does for a password in its grace
// period (ORA-28002).
oci::Fn_OCISessionBegin g_realSessionBegin = nullptr;

oci::sword SessionBeginWithWarning(oci::OCISvcCtx* svchp, oci::OCIError* errhp, oci::OCISession* usrhp, oci::ub4 credt,
                                   oci::ub4 mode) {
    const oci::sword rc = g_realSessionBegin(svchp, errhp, usrhp, credt, mode);
    return rc == oci::OCI_SUCCESS ? oci::OCI_SUCCESS_WITH_INFO : rc;
}

class CWarningLogonLoader : public IDynamicLibraryLoader {
public:
    void* Load(const std::string& name) override { return m_sim->Load(name); }
    void* Resolve(void* library, const std::string& symbol) override {
        void* address = m_sim->Resolve(library, symbol);
        if (symbol != "OCISessionBegin" || !address) return address;
        g_realSessionBegin = reinterpret_cast<oci::Fn_OCISessionBegin>(address);
        return reinterpret_cast<void*>(&SessionBeginWithWarning);
    }
    std::string GetPath(void* library) override { return m_sim->GetPath(library); }
    void Unload(void* library) override { m_sim->Unload(library); }

private:
    std::unique_ptr<IDynamicLibraryLoader> m_sim = SimLoader();
};

TEST(ConnectionWarningTest, ALogonThatSucceedsWithAWarningIsConnected) {
    CTestPrompter prompter;
    CPrompterScope scope(prompter);
    COracleConnection connection(nullptr, 8, std::make_unique<CWarningLogonLoader>());
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    EXPECT_EQ(connection.CountRows("dept"), 4);
    connection.Logoff();
    EXPECT_FALSE(connection.Logon("SCOTT", "WRONG", "DEMO", EConnectMode::Normal));
    EXPECT_EQ(connection.GetErrorCode(), 1017);
    EXPECT_TRUE(prompter.Prompts().empty());
}

}  // namespace
}  // namespace corvid::test
