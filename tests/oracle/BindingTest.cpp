// Loading the client library and settling the interface generation.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "OracleTestSupport.h"
#include "oracle/OracleCursor.h"

namespace corvid::test {
namespace {

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override { m_trace.Open((m_folder / "Corvid.log").string(), 1); }
    std::string Log() { return ReadFile(m_folder / "Corvid.log"); }

    CScratchFolder m_folder;
    CTraceContext m_trace;
    CTestPrompter m_prompter;
    CPrompterScope m_scope{m_prompter};
};

TEST_F(BindingTest, ChoosesOci8FromTheClientLibraryAndTracesTheChoice) {
    {
        COracleConnection connection(&m_trace, 0, SimLoader());
        EXPECT_EQ(connection.GetInterfaceVersion(), 8);
        EXPECT_EQ(connection.GetInterfaceName(), "OCI8");
        EXPECT_EQ(connection.GetLibraryName(), "libclntsh.so");
        EXPECT_EQ(connection.GetLibraryPath(), SimFolder() + "/libclntsh.so");
        EXPECT_EQ(connection.GetOciDllVersion(), "19.1");
        EXPECT_FALSE(connection.IsConnected());
    }
    EXPECT_TRUE(m_prompter.Prompts().empty());
    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("--- BEGIN: CONSTRUCT ORACLE CONNECTION (COracleConnection::COracleConnection) at "));
    EXPECT_THAT(log,
                HasSubstr("\r\nOCI interface version = [OCI8]\r\nOCI DLL name = [libclntsh.so]\r\nOCI DLL path = [" +
                          SimFolder() + "/libclntsh.so]\r\n--- END: CONSTRUCT ORACLE CONNECTION"));
    EXPECT_THAT(log, HasSubstr("--- BEGIN: DESTRUCT ORACLE CONNECTION (COracleConnection::~COracleConnection) at "));
    EXPECT_THAT(log, HasSubstr("--- END: DESTRUCT ORACLE CONNECTION (COracleConnection::~COracleConnection) at "));
    EXPECT_THAT(log, Not(HasSubstr("Forced")));
}

TEST_F(BindingTest, OnlyTheOlderLibraryGivesOci7) {
    COracleConnection connection(&m_trace, 0, SimLoader("lib7"));
    EXPECT_EQ(connection.GetInterfaceVersion(), 7);
    EXPECT_EQ(connection.GetLibraryName(), "libociw32.so");
    EXPECT_THAT(Log(), HasSubstr("OCI interface version = [OCI7]\r\nOCI DLL name = [libociw32.so]\r\n"));
    EXPECT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(BindingTest, Oci7ForcedOnTheClientLibraryBindsTheOlderTableFromIt) {
    COracleConnection connection(&m_trace, 7, SimLoader());
    EXPECT_EQ(connection.GetInterfaceVersion(), 7);
    EXPECT_EQ(connection.GetLibraryName(), "libclntsh.so");
    EXPECT_THAT(Log(), HasSubstr("Forced to use a specific OCI interface = OCI7\r\nOCI interface version = [OCI7]"));
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    EXPECT_EQ(connection.CountRows("dept"), 4);
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(BindingTest, Oci8ForcedOnTheClientLibraryIsTraced) {
    COracleConnection connection(&m_trace, 8, SimLoader());
    EXPECT_EQ(connection.GetInterfaceVersion(), 8);
    EXPECT_THAT(Log(), HasSubstr("Forced to use a specific OCI interface = OCI8\r\n"));
}

TEST_F(BindingTest, AMissingNameIsReportedOnceAndTheRestIsBound) {
    COracleConnection connection(&m_trace, 0, SimLoader("lib-missing"));
    EXPECT_EQ(connection.GetInterfaceVersion(), 8);
    EXPECT_THAT(m_prompter.Messages(),
                ::testing::ElementsAre("Unable to load procedure address for procedure 'OCIDefineDynamic'"));
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    EXPECT_EQ(connection.CountRows("emp"), 14);
    EXPECT_EQ(m_prompter.Prompts().size(), 1u);
}

// The fatal cases end the process: they run in a death-test child whose prompter
// writes to a file.
class BindingDeathTest : public BindingTest {
protected:
    std::string Shown() { return ReadFile(m_folder / "prompts.txt"); }
    CFilePrompter m_filePrompter{m_folder / "prompts.txt"};
};

TEST_F(BindingDeathTest, Oci8ForcedWithOnlyTheOlderLibraryEndsWithTheSecondFatalText) {
    SetPrompter(&m_filePrompter);
    EXPECT_EXIT(COracleConnection(&m_trace, 8, SimLoader("lib7")), ExitedWithCode(1), "");
    EXPECT_EQ(Shown(),
              "<ORACLE ERROR>Unable to use Oci8 in conjunction with the available ociw32.dll!\r\nPlease check your "
              "Oracle client installation and make sure that Oracle 8.0.5 or higher is available.</ORACLE ERROR>");
    const std::string log = Log();
    EXPECT_THAT(log, HasSubstr("\r\nERROR: Forced to use invalid oci interface version!\r\n=== ORACLE ERROR ===\r\n"));
    EXPECT_THAT(log, HasSubstr("\r\nUnable to use Oci8 in conjunction with the available ociw32.dll!\nPlease check"));
    EXPECT_THAT(log, Not(HasSubstr("OCI interface version = [")));
}

TEST_F(BindingDeathTest, NoLibraryEndsWithTheFirstFatalText) {
    SetPrompter(&m_filePrompter);
    EXPECT_EXIT(COracleConnection(&m_trace, 0, SimLoader("no-such-folder")), ExitedWithCode(1), "");
    EXPECT_EQ(Shown(),
              "<ORACLE ERROR>ERROR: Unable to find any compatible OCI DLL!\r\nPlease check your Oracle client "
              "installation.</ORACLE ERROR>");
    EXPECT_THAT(Log(), HasSubstr("\r\nUnable to find any compatible OCI DLL (oci.dll, ociw32.dll!\r\n"
                                 "=== ORACLE ERROR ===\r\n"));
}

TEST_F(BindingDeathTest, AnOperationWhoseFunctionIsMissingFailsThroughTheErrorReport) {
    COracleConnection connection(&m_trace, 0, SimLoader("lib-missing"));
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    COracleCursor cursor(connection);
    cursor.Parse("SELECT ename FROM emp");
    unsigned short length = 0;
    SetPrompter(&m_filePrompter);
    EXPECT_EXIT(cursor.DefineDynamic(1, 5, &length, nullptr, nullptr), ExitedWithCode(1), "");
    EXPECT_EQ(Shown(),
              "<ORACLE ERROR>ORACLE Error\r\nUnable to call procedure 'OCIDefineDynamic': the OCI library does not "
              "export it.\r\n[SELECT ename FROM emp]</ORACLE ERROR>");
}

}  // namespace
}  // namespace corvid::test
