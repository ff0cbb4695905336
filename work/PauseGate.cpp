#include "work/PauseGate.h"

namespace corvid {

void CPauseGate::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed.store(true, std::memory_order_release);
}

void CPauseGate::Open() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed.store(false, std::memory_order_release);
    }
    m_opened.notify_all();
}

void CPauseGate::Pass() {
    if (!m_closed.load(std::memory_order_acquire)) return;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_opened.wait(lock, [this] { return !m_closed.load(std::memory_order_acquire); });
}

}  // namespace corvid
