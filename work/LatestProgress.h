#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace corvid {

// The latest progress a worker has published, kept for a display that shows it at
// its own pace. The worker overwrites what it published before and never waits for
// the display; the display takes only what changed since it last looked, so a job
// that reports every statement costs the display one update per look, not one per
// report.
class CLatestProgress {
public:
    // What changed since the previous Take; a field is empty when it did not.
    struct Changes {
        std::optional<std::string> text;
        std::optional<int> position;
        std::optional<std::string> estimate;
        bool Empty() const { return !text && !position && !estimate; }
    };

    // Any thread.
    void PublishText(const std::string& text);
    void PublishPosition(int percent);
    void PublishEstimate(const std::string& text);

    // Any thread: the values published since the last Take, each the latest one.
    Changes Take();
    // Forgets what was published and not yet taken.
    void Clear();

private:
    std::mutex m_mutex;
    Changes m_pending;
};

}  // namespace corvid
