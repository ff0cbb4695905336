#include "app/CommandLineInfo.h"


#include <cctype>
#include <cstdio>
#include <cstring>

namespace corvid {

const char* UsageText() {
    return "Usage: corvid -u<user> -p<pwd> -s<server> -v<oci version> -c<connect as> -h\n"
           "       -u ... user name\n"
           "       -p ... password\n"
           "       -s ... server\n"
           "       -v ... oci interface version (7 or 8)\n"
           "       -c ... connect as (NORMAL, SYSDBA, SYSOPER)\n"
           "       -h ... help";
}

namespace {

// The toolkit's own options that take the next argument as their value.
constexpr const char* kToolkitOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "session", "display", "geometry", "style", "stylesheet", "name", "title",
};
// Its options without a value.
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
// Its options that carry their value after "=".
constexpr const char* kToolkitOptionsWithEquals[] = {"style=", "stylesheet=", "qmljsdebugger=", "dialogs=",
                                                     "fontengine="};

// A decimal integer at the start of the text, as sscanf("%d") reads it.
bool ReadDecimal(const char* text, int& value) { return std::sscanf(text, "%d", &value) == 1; }

}  // namespace

void CCorvidCommandLineInfo::ParseParam(const char* param, bool isFlag, bool /*isLast*/) {
    if (m_outcome != Outcome::Run || !isFlag || !param) return;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(param[0])));
    const char* value = param[0] ? param + 1 : param;
    switch (letter) {
        case 'U':
            m_User = value;
            break;
        case 'P':
            m_Password = value;
            break;
        case 'S':
            m_Server = value;
            break;
        case 'V': {
            int version = 0;
            if (ReadDecimal(value, version) && (version == 7 || version == 8)) {
                m_OciVersion = version;
            } else {
                m_outcome = Outcome::Invalid;
            }
            break;
        }
        case 'C':
            if (const auto mode = ConnectModeFromName(value)) {
                m_ConnectMode = *mode;
            } else {
                m_outcome = Outcome::Invalid;
            }
            break;
        case 'D': {
            int level = 0;
            if (ReadDecimal(value, level)) {
                m_TraceLevel = level;
            } else {
                m_outcome = Outcome::Invalid;
            }
            break;
        }
        case 'H':
            m_outcome = Outcome::Help;
            break;
        default:
            m_outcome = Outcome::Invalid;
            break;
    }
}

std::vector<std::string> WithoutToolkitOptions(const std::vector<std::string>& arguments) {
    std::vector<std::string> kept;
    kept.reserve(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string name;
        if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
            name = argument.substr(2);
        } else if (argument.size() > 1 && argument[0] == '-') {
            name = argument.substr(1);
        } else {
            kept.push_back(argument);
            continue;
        }
        bool toolkit = false;
        for (const char* option : kToolkitOptionsWithValue) {
            if (name == option) {
                toolkit = true;
                ++i;  // its value, when there is one
                break;
            }
        }
        for (const char* flag : kToolkitFlags)
            toolkit = toolkit || name == flag;
        for (const char* prefix : kToolkitOptionsWithEquals)
            toolkit = toolkit || name.compare(0, std::strlen(prefix), prefix) == 0;
        if (!toolkit) kept.push_back(argument);
    }
    return kept;
}

std::string ToolkitOptionWithoutValue(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return {};
    const std::string& last = arguments.back();
    std::string name;
    if (last.size() > 2 && last.compare(0, 2, "--") == 0) {
        name = last.substr(2);
    } else if (last.size() > 1 && last[0] == '-') {
        name = last.substr(1);
    }
    for (const char* option : kToolkitOptionsWithValue) {
        if (name == option) return last;
    }
    return {};
}

CCorvidCommandLineInfo::Outcome CCorvidCommandLineInfo::Parse(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i < arguments.size() && m_outcome == Outcome::Run; ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--version") {
            m_outcome = Outcome::Version;
            break;
        }
        const bool isFlag = !argument.empty() && (argument[0] == '-' || argument[0] == '/');
        const bool isLast = i + 1 == arguments.size();
        ParseParam(isFlag ? argument.c_str() + 1 : argument.c_str(), isFlag, isLast);
    }
    return m_outcome;
}

}  // namespace corvid
