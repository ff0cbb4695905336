#include "work/ConsoleProgressDisplay.h"

#include "work/ProgressThreadDlg.h"

namespace corvid {

namespace {
// Redraws are limited so that a load of many thousand statements does not spend
// its time writing to the terminal.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr std::size_t kMaxLineWidth = 100;
}  // namespace

void CConsoleProgressDisplay::RunModal(CProgressThreadDlg& dialog) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text = "Please wait";
        m_estimate.clear();
        m_percent = 0;
        m_drawnWidth = 0;
    }
    CQueuedProgressDisplay::RunModal(dialog);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_enabled && m_drawnWidth > 0) {
        Draw(true);
        std::fputc('\n', m_out);
        std::fflush(m_out);
    }
}

void CConsoleProgressDisplay::SetTitle(const std::string& title) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_title = title;
}

bool CConsoleProgressDisplay::AskConfirm(const std::string&) {
    return false;
}

void CConsoleProgressDisplay::ShowText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_text = text;
    Draw(false);
}

void CConsoleProgressDisplay::ShowPosition(int percent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_percent = percent;
    Draw(false);
}

void CConsoleProgressDisplay::ShowEstimate(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_estimate = text;
    Draw(false);
}

void CConsoleProgressDisplay::Draw(bool force) {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < kRedrawInterval) return;
    m_lastDraw = now;
    std::string line;
    if (!m_title.empty()) line = m_title + ": ";
    line += std::to_string(m_percent) + "% " + m_text;
    if (!m_estimate.empty()) line += " (" + m_estimate + ")";
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    }
    if (line.size() > kMaxLineWidth) line.resize(kMaxLineWidth);
    const std::size_t width = line.size();
    if (width < m_drawnWidth) line.append(m_drawnWidth - width, ' ');
    m_drawnWidth = width;
    std::fprintf(m_out, "\r%s", line.c_str());
    std::fflush(m_out);
}

}  // namespace corvid
