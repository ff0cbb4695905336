#include "work/QueuedProgressDisplay.h"

#include "work/ProgressThreadDlg.h"

namespace corvid {

void CQueuedProgressDisplay::RunModal(CProgressThreadDlg& dialog) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = false;
        m_dialog = &dialog;
    }
    dialog.OnInitDialog();
    for (;;) {
        std::function<void()> call;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_posted.wait(lock, [this] { return m_ended || !m_queue.empty(); });
            if (m_ended) break;
            call = std::move(m_queue.front());
            m_queue.pop_front();
        }
        call();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dialog = nullptr;
    m_queue.clear();
}

void CQueuedProgressDisplay::EndDialog() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ended = true;
    }
    m_posted.notify_all();
}

void CQueuedProgressDisplay::Post(std::function<void()> call) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(call));
    }
    m_posted.notify_all();
}

void CQueuedProgressDisplay::PostClose() {
    Post([this] { m_dialog->OnCancelRequest(); });
}

void CQueuedProgressDisplay::PostCancel() {
    PostClose();
}

}  // namespace corvid
