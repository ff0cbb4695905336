#pragma once

#include <string>
#include <vector>

#include "oracle/ConnectMode.h"

namespace corvid {

// What the command line gave: -u user, -p password, -s server, -v interface
// version (7 or 8), -c connect mode (NORMAL, SYSDBA, SYSOPER), -d trace level,
// -h help. Options start with "-" or "/", the value follows the letter without a
// blank, later options overwrite earlier ones, other arguments are ignored.
class CCorvidCommandLineInfo {
public:
    enum class Outcome {
        Run,         // go on starting
        Help,        // -h: show the usage, end with status 0
        Invalid,     // an unknown option or a bad value: show the usage, end with status 2
        Version,     // --version: print the version, end with status 0
    };

    // One argument; `param` has its leading "-" or "/" removed when `isFlag`.
    void ParseParam(const char* param, bool isFlag, bool isLast);

    // Parses every argument after the program name; stops at the first one that
    // asks for the usage. The whole argument "--version" asks for the version.
    Outcome Parse(const std::vector<std::string>& arguments);

    Outcome GetOutcome() const { return m_outcome; }

    std::string m_User;
    std::string m_Password;
    std::string m_Server;
    int m_OciVersion = 0;   // 0 = choose automatically
    EConnectMode m_ConnectMode = EConnectMode::Normal;
    int m_TraceLevel = 0;

private:
    Outcome m_outcome = Outcome::Run;
};

// The usage text, line ends "\n"; one option a line.
const char* UsageText();

// The arguments without those the toolkit reads itself (-platform offscreen,
// -display :1, -style=fusion, -reverse, ...; also with two dashes), which the
// toolkit is handed unchanged and which are not Corvid's letters.
std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments);

// The first of the toolkit's options that needs a value and has none (it is the
// last argument), as given; empty when there is none. The toolkit itself aborts
// on such a line.
std::string ToolkitOptionWithoutValue(const std::vector<std::string>& arguments);

}  // namespace corvid
