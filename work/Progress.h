#pragma once

#include <string>

namespace corvid {

// What a long-running job sees of the progress dialog that runs it: it reports a
// percentage with a text, and polls whether the user has cancelled. Both are called
// on the job's own thread.
class IProgress {
public:
    virtual ~IProgress() = default;
    // Shows the text and the percentage (0 to 100; values beyond are tolerated).
    virtual void SetProgress(int percent, const std::string& text) = 0;
    // True once the user has cancelled the run.
    virtual bool IsCancelled() = 0;
};

}  // namespace corvid
