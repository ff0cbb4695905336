#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLineInfo.h"

namespace corvid {
namespace {

using Outcome = CCorvidCommandLineInfo::Outcome;

CCorvidCommandLineInfo Parsed(std::vector<std::string> args) {
    CCorvidCommandLineInfo info;
    info.Parse(args);
    return info;
}

// A command line and what it must give; `why` says what the case guards.
struct SCommandLineCase {
    std::vector<std::string> args;
    Outcome outcome;
    std::string user, password, server;
    int ociVersion;
    EConnectMode mode;
    int traceLevel;
    const char* why;
};

TEST(CommandLine, LettersSetTheirFields) {
    const SCommandLineCase cases[] = {
        {{"-uSCOTT", "-pTIGER", "-sDEMO", "-v7", "-cSYSOPER", "-d15"}, Outcome::Run, "SCOTT", "TIGER", "DEMO", 7,
         EConnectMode::SysOper, 15, "every letter sets its field"},
        {{}, Outcome::Run, "", "", "", 0, EConnectMode::Normal, 0, "no arguments leave the defaults"},
        {{"/uSCOTT", "-Ptiger", "/S", "-csysdba", "-V8", "-D-2"}, Outcome::Run, "SCOTT", "tiger", "", 8,
         EConnectMode::SysDba, -2, "letters ignore case, / is a dash, an empty value is empty"},
        {{"-cNormal"}, Outcome::Run, "", "", "", 0, EConnectMode::Normal, 0, "the mode ignores case"},
        {{"-uA", "SCOTT", "-uB", "-v7", "-v8", "-csysdba", "-cnormal", "file.txt"}, Outcome::Run, "B", "", "", 8,
         EConnectMode::Normal, 0, "later options win and plain arguments are ignored"},
        {{"-x", "-uSCOTT"}, Outcome::Invalid, "", "", "", 0, EConnectMode::Normal, 0,
         "parsing stops at the first bad option"},
        {{"-h", "-x"}, Outcome::Help, "", "", "", 0, EConnectMode::Normal, 0, "the help wins over a later bad option"},
        {{"-H"}, Outcome::Help, "", "", "", 0, EConnectMode::Normal, 0, "the help letter ignores case"},
    };
    for (const SCommandLineCase& c : cases) {
        const CCorvidCommandLineInfo info = Parsed(c.args);
        EXPECT_EQ(info.GetOutcome(), c.outcome) << c.why;
        EXPECT_EQ(info.m_User, c.user) << c.why;
        EXPECT_EQ(info.m_Password, c.password) << c.why;
        EXPECT_EQ(info.m_Server, c.server) << c.why;
        EXPECT_EQ(info.m_OciVersion, c.ociVersion) << c.why;
        EXPECT_EQ(info.m_ConnectMode, c.mode) << c.why;
        EXPECT_EQ(info.m_TraceLevel, c.traceLevel) << c.why;
    }
}

TEST(CommandLine, BadOptionsAndValuesAskForTheUsage) {
    for (const char* bad : {"-v9", "-v", "-vx", "-cSYSADMIN", "-c", "-x", "-", "-dabc", "/q"}) {
        EXPECT_EQ(Parsed({"-uSCOTT", bad}).GetOutcome(), Outcome::Invalid) << bad;
    }
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
