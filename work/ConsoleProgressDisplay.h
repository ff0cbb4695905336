#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

#include "work/QueuedProgressDisplay.h"

namespace corvid {

// Progress of the headless report on a terminal: one line, rewritten in place, with
// the percentage, the status text and the estimate. Quiet when not enabled (output
// not a terminal). Cancelling is not offered: questions are answered No.
class CConsoleProgressDisplay : public CQueuedProgressDisplay {
public:
    CConsoleProgressDisplay(std::FILE* out, bool enabled) : m_out(out), m_enabled(enabled) {}

    void RunModal(CProgressThreadDlg& dialog) override;
    void SetTitle(const std::string& title) override;
    bool AskConfirm(const std::string& text) override;
    void ShowText(const std::string& text) override;
    void ShowPosition(int percent) override;
    void ShowEstimate(const std::string& text) override;

private:
    void Draw(bool force);

    std::FILE* m_out;
    bool m_enabled;
    std::mutex m_mutex;
    std::string m_title;
    std::string m_text;
    std::string m_estimate;
    int m_percent = 0;
    std::size_t m_drawnWidth = 0;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

}  // namespace corvid
