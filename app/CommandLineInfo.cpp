#include "app/CommandLineInfo.h"


#include <cctype>
#include <cstdio>

namespace corvid {

const char* UsageText() {
    return "Usage: Osprey -u<user> -p<pwd> -s<server> -v<oci version> -c<connect as> -h\n"
           "       -u ... user name\n"
           "       -p ... password\n"
           "       -s ... server\n"
           "       -v ... oci interface version (7 or 8)\n"
           "       -c ... connect as (NORMAL, SYSDBA, SYSOPER)\n"
           "       -h ... help";
}

namespace {

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
