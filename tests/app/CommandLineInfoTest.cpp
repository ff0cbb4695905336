#include <gtest/gtest.h>

#include "app/CommandLineInfo.h"

namespace corvid {
namespace {

using Outcome = CCorvidCommandLineInfo::Outcome;

CCorvidCommandLineInfo Parsed(std::vector<std::string> args) {
    CCorvidCommandLineInfo info;
    info.Parse(args);
    return info;
}

TEST(CommandLine, EveryLetterSetsItsField) {
    CCorvidCommandLineInfo info = Parsed({"-uSCOTT", "-pTIGER", "-sDEMO", "-v7", "-cSYSOPER", "-d15"});
    EXPECT_EQ(info.GetOutcome(), Outcome::Run);
    EXPECT_EQ(info.m_User, "SCOTT");
    EXPECT_EQ(info.m_Password, "TIGER");
    EXPECT_EQ(info.m_Server, "DEMO");
    EXPECT_EQ(info.m_OciVersion, 7);
    EXPECT_EQ(info.m_ConnectMode, EConnectMode::SysOper);
    EXPECT_EQ(info.m_TraceLevel, 15);

    CCorvidCommandLineInfo none = Parsed({});
    EXPECT_EQ(none.GetOutcome(), Outcome::Run);
    EXPECT_EQ(none.m_User, "");
    EXPECT_EQ(none.m_OciVersion, 0);
    EXPECT_EQ(none.m_ConnectMode, EConnectMode::Normal);
    EXPECT_EQ(none.m_TraceLevel, 0);
}

TEST(CommandLine, LettersIgnoreCaseAndSlashIsADash) {
    CCorvidCommandLineInfo info = Parsed({"/uSCOTT", "-Ptiger", "/S", "-csysdba", "-V8", "-D-2"});
    EXPECT_EQ(info.GetOutcome(), Outcome::Run);
    EXPECT_EQ(info.m_User, "SCOTT");
    EXPECT_EQ(info.m_Password, "tiger");
    EXPECT_EQ(info.m_Server, "");
    EXPECT_EQ(info.m_ConnectMode, EConnectMode::SysDba);
    EXPECT_EQ(info.m_OciVersion, 8);
    EXPECT_EQ(info.m_TraceLevel, -2);
    EXPECT_EQ(Parsed({"-cNormal"}).m_ConnectMode, EConnectMode::Normal);
}

TEST(CommandLine, LaterOptionsWinAndPlainArgumentsAreIgnored) {
    CCorvidCommandLineInfo info = Parsed({"-uA", "SCOTT", "-uB", "-v7", "-v8", "-csysdba", "-cnormal", "file.txt"});
    EXPECT_EQ(info.GetOutcome(), Outcome::Run);
    EXPECT_EQ(info.m_User, "B");
    EXPECT_EQ(info.m_OciVersion, 8);
    EXPECT_EQ(info.m_ConnectMode, EConnectMode::Normal);
}

TEST(CommandLine, BadOptionsAndValuesAskForTheUsage) {
    for (const char* bad : {"-v9", "-v", "-vx", "-cSYSADMIN", "-c", "-x", "-", "-dabc", "/q"}) {
        EXPECT_EQ(Parsed({"-uSCOTT", bad}).GetOutcome(), Outcome::Invalid) << bad;
    }
    EXPECT_EQ(Parsed({"-h"}).GetOutcome(), Outcome::Help);
    EXPECT_EQ(Parsed({"-H"}).GetOutcome(), Outcome::Help);
    // Parsing stops at the first request: the help wins over a later bad option.
    EXPECT_EQ(Parsed({"-h", "-x"}).GetOutcome(), Outcome::Help);
    CCorvidCommandLineInfo stopped = Parsed({"-x", "-uSCOTT"});
    EXPECT_EQ(stopped.GetOutcome(), Outcome::Invalid);
    EXPECT_EQ(stopped.m_User, "");
}

// Only the whole argument "--version" asks for the version; "-version" stays an
// unknown letter and "--versions" an unknown option.
TEST(CommandLine, VersionIsAskedByTheWholeLongOption) {
    EXPECT_EQ(Parsed({"-uSCOTT", "--version"}).GetOutcome(), Outcome::Version);
    EXPECT_EQ(Parsed({"--version", "-x"}).GetOutcome(), Outcome::Version);
    EXPECT_EQ(Parsed({"-x", "--version"}).GetOutcome(), Outcome::Invalid);
    EXPECT_EQ(Parsed({"--versions"}).GetOutcome(), Outcome::Invalid);
    EXPECT_EQ(Parsed({"-version"}).GetOutcome(), Outcome::Invalid);
}

TEST(CommandLine, ToolkitOptionsAreLeftToTheToolkit) {
    // "-platform offscreen" once set the password "latform" and "-display :1" the user "isplay".
    const std::vector<std::string> arguments = {
        "-platform", "offscreen", "-uSCOTT",     "--display", ":1",       "-style=fusion", "-reverse",
        "-session",  "abc",       "-sDEMO",      "-geometry", "800x600",  "-stylesheet",   "a.qss",
        "-pTIGER",   "-qwindowtitle", "T",       "plain",     "-qmljsdebugger=port:1"};
    EXPECT_EQ(WithoutToolkitOptions(arguments), std::vector<std::string>({"-uSCOTT", "-sDEMO", "-pTIGER", "plain"}));
    CCorvidCommandLineInfo info = Parsed(WithoutToolkitOptions(arguments));
    EXPECT_EQ(info.GetOutcome(), Outcome::Run);
    EXPECT_EQ(info.m_User, "SCOTT");
    EXPECT_EQ(info.m_Password, "TIGER");
    EXPECT_EQ(info.m_Server, "DEMO");
    // Corvid's own letters that merely start like a toolkit option stay Corvid's.
    EXPECT_EQ(WithoutToolkitOptions({"-sSTYLE", "-pplatform", "-display"}),
              std::vector<std::string>({"-sSTYLE", "-pplatform"}));
    EXPECT_EQ(Parsed(WithoutToolkitOptions({"-style", "fusion", "-x"})).GetOutcome(), Outcome::Invalid);
}

TEST(CommandLine, UsageTextNamesThisProgramWithOneOptionALine) {
    const std::string usage = UsageText();
    EXPECT_EQ(usage.rfind("Usage: corvid -u<user> -p<pwd> -s<server> -v<oci version> -c<connect as> -h\n", 0), 0u);
    EXPECT_NE(usage.find("\n       -v ... oci interface version (7 or 8)\n"), std::string::npos);
    EXPECT_EQ(usage.substr(usage.size() - 19), "\n       -h ... help");
}

}  // namespace
}  // namespace corvid
