#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "work/ProgressDisplay.h"

namespace corvid {

// A progress display without a window system: RunModal is a small event loop on
// the calling thread that handles queued requests (the worker's close request, a
// cancel request of the user) one after the other until EndDialog.
class CQueuedProgressDisplay : public IProgressDisplay {
public:
    void RunModal(CProgressThreadDlg& dialog) override;
    void EndDialog() override;
    void PostClose() override;

    // Any thread: queues a cancel request of the user (as the Cancel button would).
    void PostCancel();
    // Any thread: queues a call to run on the dialog's thread inside RunModal.
    void Post(std::function<void()> call);

protected:
    // The dialog being run; valid inside RunModal only.
    CProgressThreadDlg* m_dialog = nullptr;

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_queue;
    bool m_ended = false;
};

}  // namespace corvid
