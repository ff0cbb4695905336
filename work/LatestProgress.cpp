#include "work/LatestProgress.h"

#include <utility>

namespace corvid {

void CLatestProgress::PublishText(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending.text) {
        // Reuses the buffer of the text not yet taken.
        m_pending.text->assign(text);
    } else {
        m_pending.text = text;
    }
}

void CLatestProgress::PublishPosition(int percent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.position = percent;
}

void CLatestProgress::PublishEstimate(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.estimate = text;
}

CLatestProgress::Changes CLatestProgress::Take() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_pending, Changes{});
}

void CLatestProgress::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = Changes{};
}

}  // namespace corvid
