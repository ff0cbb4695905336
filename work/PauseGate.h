#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace corvid {

// A gate the worker of a progress run passes at every progress report and cancel
// poll. The user-interface thread closes it while it asks the user whether to
// cancel, so that the worker does not run on while the answer is pending.
class CPauseGate {
public:
    // Closes the gate: the next Pass() waits until Open().
    void Close();
    void Open();
    // Returns at once while the gate is open; waits while it is closed.
    void Pass();
    bool IsClosed() const { return m_closed.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_closed{false};
    std::mutex m_mutex;
    std::condition_variable m_opened;
};

}  // namespace corvid
