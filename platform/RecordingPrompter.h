#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Prompter.h"

namespace corvid {

// A prompter for tests: records every prompt and answers questions from a queue
// of prepared answers (or a default answer when the queue is empty).
class CRecordingPrompter : public IPrompter {
public:
    struct Prompt {
        enum class Type { Message, Question, OracleError } type;
        Kind kind;
        std::string text;
        Buttons buttons = Buttons::YesNo;  // of a question
    };

    void Message(const std::string& text, Kind kind = Kind::Warning) override;
    bool AskYesNo(const std::string& text) override;
    bool Ask(const std::string& text, Buttons buttons) override;
    void OracleError(const std::string& text) override;

    void QueueAnswer(bool yes);
    void SetDefaultAnswer(bool yes);

    std::vector<Prompt> Prompts() const;
    std::vector<std::string> Messages() const;  // texts of message boxes only
    // The last message box's text, or "(no message)" when none was shown, so that a
    // test comparing it fails cleanly instead of reading past an empty list.
    std::string LastMessage() const;
    std::vector<std::string> Questions() const;
    std::vector<std::string> OracleErrors() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Prompt> m_prompts;
    std::deque<bool> m_answers;
    bool m_defaultAnswer = true;
};

}  // namespace corvid
