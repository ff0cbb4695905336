#pragma once

#include "platform/Prompter.h"

namespace corvid {

// Prompts on standard error, for programs without windows (the headless report).
// Questions get the configured answer without waiting for input.
class CConsolePrompter : public IPrompter {
public:
    explicit CConsolePrompter(bool answerYes = false) : m_answerYes(answerYes) {}
    void Message(const std::string& text, Kind kind = Kind::Warning) override;
    bool AskYesNo(const std::string& text) override;
    void OracleError(const std::string& text) override;

private:
    bool m_answerYes;
};

}  // namespace corvid
