#include "platform/RecordingPrompter.h"

namespace corvid {

void CRecordingPrompter::Message(const std::string& text, Kind kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_prompts.push_back({Prompt::Type::Message, kind, text});
}

bool CRecordingPrompter::AskYesNo(const std::string& text) {
    return Ask(text, Buttons::YesNo);
}

bool CRecordingPrompter::Ask(const std::string& text, Buttons buttons) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_prompts.push_back({Prompt::Type::Question, Kind::Information, text, buttons});
    if (m_answers.empty()) return m_defaultAnswer;
    bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void CRecordingPrompter::OracleError(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_prompts.push_back({Prompt::Type::OracleError, Kind::Error, text});
}

void CRecordingPrompter::QueueAnswer(bool yes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers.push_back(yes);
}

void CRecordingPrompter::SetDefaultAnswer(bool yes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_defaultAnswer = yes;
}

std::vector<CRecordingPrompter::Prompt> CRecordingPrompter::Prompts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_prompts;
}

static std::vector<std::string> TextsOf(const std::vector<CRecordingPrompter::Prompt>& prompts,
                                        CRecordingPrompter::Prompt::Type type) {
    std::vector<std::string> texts;
    for (const auto& p : prompts) {
        if (p.type == type) texts.push_back(p.text);
    }
    return texts;
}

std::vector<std::string> CRecordingPrompter::Messages() const {
    return TextsOf(Prompts(), Prompt::Type::Message);
}

std::string CRecordingPrompter::LastMessage() const {
    const std::vector<std::string> messages = Messages();
    return messages.empty() ? std::string("(no message)") : messages.back();
}

std::vector<std::string> CRecordingPrompter::Questions() const {
    return TextsOf(Prompts(), Prompt::Type::Question);
}

std::vector<std::string> CRecordingPrompter::OracleErrors() const {
    return TextsOf(Prompts(), Prompt::Type::OracleError);
}

void CRecordingPrompter::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_prompts.clear();
    m_answers.clear();
}

}  // namespace corvid
