#include "platform/ConsolePrompter.h"

#include <cstdio>

#include "platform/TerminalText.h"

namespace corvid {

namespace {
void Print(const char* prefix, const std::string& text) {
    // A server's error text reaches the terminal only as visible characters.
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        if (c != '\r') shown += c;
    }
    shown = TerminalText(shown);
    std::fprintf(stderr, "%s%s\n", prefix, shown.c_str());
    std::fflush(stderr);
}
}  // namespace

void CConsolePrompter::Message(const std::string& text, Kind kind) {
    Print(kind == Kind::Error ? "error: " : kind == Kind::Warning ? "warning: " : "", text);
}

bool CConsolePrompter::AskYesNo(const std::string& text) {
    Print("", text + (m_answerYes ? " [yes]" : " [no]"));
    return m_answerYes;
}

void CConsolePrompter::OracleError(const std::string& text) { Print("Oracle SQL Error: ", text); }

}  // namespace corvid
