#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "work/PauseGate.h"
#include "work/Progress.h"

namespace corvid {

class IProgressDisplay;

// Flags of a progress run.
enum ProgressFlags : int {
    kProgressCanCancel = 1,      // the user may cancel
    kProgressConfirmCancel = 2,  // ask "Yes/No" before cancelling
};

// The state of one progress run, shared by its two threads: the job on the worker
// thread reports through SetProgress and polls IsCancelled; the user-interface
// thread initialises the dialog and handles cancel and close requests. The flags are
// atomics; the worker passes the pause gate at each report and poll, so that it
// stands still while the cancel confirmation is open.
class CProgressThreadDlg : public IProgress {
public:
    CProgressThreadDlg(IProgressDisplay& display, int flags);

    void SetTitle(const std::string& title) { m_title = title; }
    void SetConfirmText(const std::string& text) { m_confirmText = text; }

    // Worker thread.
    void SetProgress(int percent, const std::string& text) override;
    bool IsCancelled() override;

    // User-interface thread: the dialog is up. Sets the bar to 0, takes the start
    // time of the estimate and the title, and from then on accepts progress.
    void OnInitDialog();
    // User-interface thread: Cancel, Escape or a close request.
    void OnCancelRequest();

    // Worker thread, before the job: waits until the dialog is up, so that no
    // report of a short job is lost before the dialog can show it.
    void WaitUntilInitialised();
    // Worker thread, after the job: waits until the dialog is up, marks the run as
    // closing and posts the close request.
    void CloseFromWorker();

    bool WasCancelled() const { return m_cancelled.load(std::memory_order_acquire); }
    bool IsClosing() const { return m_closing.load(std::memory_order_acquire); }
    bool IsInitialised() const { return m_initialised.load(std::memory_order_acquire); }
    bool CanCancel() const { return m_canCancel; }
    bool ConfirmsCancel() const { return m_confirmCancel; }
    const std::string& GetTitle() const { return m_title; }
    const std::string& GetConfirmText() const { return m_confirmText; }

private:
    IProgressDisplay& m_display;
    std::string m_title;
    std::string m_confirmText;
    const bool m_canCancel;
    const bool m_confirmCancel;

    std::atomic<bool> m_cancelled{false};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_initialised{false};
    std::mutex m_initMutex;
    std::condition_variable m_initDone;
    CPauseGate m_gate;

    // Set on the user-interface thread before m_initialised, read by the worker after.
    std::uint64_t m_startSeconds = 0;
    // Worker thread only.
    std::string m_shownText = "Please wait";
    int m_lastPercent = 0;
};

// The estimate shown beside the bar: "%d minute(s) remaining" when at least a
// minute remains, else "%d second(s) remaining", else the empty text. The remaining
// time is (100 - percent) x elapsed / percent seconds, truncated.
std::string FormatRemainingTime(int percent, long long elapsedSeconds);

}  // namespace corvid
