#include "work/ProgressThreadDlg.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "work/ProgressDisplay.h"
#include "platform/Clock.h"

namespace corvid {

namespace {
std::uint64_t NowSeconds() {
    return GetClock().TickMs() / 1000;
}
}  // namespace

std::string FormatRemainingTime(int percent, long long elapsedSeconds) {
    if (percent == 0) return std::string();
    long long remaining = (100LL - percent) * elapsedSeconds / percent;
    remaining = std::clamp<long long>(remaining, INT_MIN, INT_MAX);
    const int minutes = static_cast<int>(remaining / 60);
    const int seconds = static_cast<int>(remaining % 60);
    char text[64];
    if (minutes > 0) {
        std::snprintf(text, sizeof text, "%d minute(s) remaining", minutes);
    } else if (seconds > 0) {
        std::snprintf(text, sizeof text, "%d second(s) remaining", seconds);
    } else {
        text[0] = '\0';
    }
    return text;
}

CProgressThreadDlg::CProgressThreadDlg(IProgressDisplay& display, int flags)
    : m_display(display),
      m_canCancel((flags & kProgressCanCancel) != 0),
      m_confirmCancel((flags & kProgressConfirmCancel) != 0) {}

void CProgressThreadDlg::SetProgress(int percent, const std::string& text) {
    m_gate.Pass();
    if (!m_initialised.load(std::memory_order_acquire)) return;
    if (text != m_shownText) {
        m_shownText = text;
        m_display.ShowText(text);
    }
    if (percent == m_lastPercent) return;
    m_lastPercent = percent;
    m_display.ShowPosition(std::clamp(percent, 0, 100));
    if (percent == 0) return;
    const long long elapsed = static_cast<long long>(NowSeconds()) - static_cast<long long>(m_startSeconds);
    m_display.ShowEstimate(FormatRemainingTime(percent, elapsed));
}

bool CProgressThreadDlg::IsCancelled() {
    m_gate.Pass();
    return m_cancelled.load(std::memory_order_acquire);
}

void CProgressThreadDlg::OnInitDialog() {
    if (!m_title.empty()) m_display.SetTitle(m_title);
    m_display.ShowPosition(0);
    m_startSeconds = NowSeconds();
    {
        std::lock_guard<std::mutex> lock(m_initMutex);
        m_initialised.store(true, std::memory_order_release);
    }
    m_initDone.notify_all();
}

void CProgressThreadDlg::OnCancelRequest() {
    if (m_closing.load(std::memory_order_acquire)) {
        m_display.EndDialog();
        return;
    }
    if (!m_canCancel) return;
    if (!m_confirmCancel) {
        m_cancelled.store(true, std::memory_order_release);
        return;
    }
    m_gate.Close();
    const bool yes = m_display.AskConfirm(m_confirmText);
    // A job that finished while the question was open has nothing left to cancel:
    // its result is complete, so a late Yes does not mark it cancelled.
    if (yes && !m_closing.load(std::memory_order_acquire)) m_cancelled.store(true, std::memory_order_release);
    m_gate.Open();
    if (m_closing.load(std::memory_order_acquire)) m_display.EndDialog();
}

void CProgressThreadDlg::WaitUntilInitialised() {
    std::unique_lock<std::mutex> lock(m_initMutex);
    m_initDone.wait(lock, [this] { return m_initialised.load(std::memory_order_acquire); });
}

void CProgressThreadDlg::CloseFromWorker() {
    WaitUntilInitialised();
    m_closing.store(true, std::memory_order_release);
    m_display.PostClose();
}

}  // namespace corvid
