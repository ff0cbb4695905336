#pragma once

#include <string>

#include "work/RunWithProgress.h"

namespace corvid {

// How a caller such as the document runs its long jobs: under a progress dialog on
// a worker thread in the program, directly in tests.
class IProgressRunner {
public:
    virtual ~IProgressRunner() = default;
    // Same contract as RunWithProgress.
    virtual bool Run(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText) = 0;
};

// Runs every job through RunWithProgress on one display.
class CProgressRunner : public IProgressRunner {
public:
    explicit CProgressRunner(IProgressDisplay& display) : m_display(display) {}
    bool Run(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText) override {
        return RunWithProgress(work, title, flags, confirmText, m_display);
    }

private:
    IProgressDisplay& m_display;
};

}  // namespace corvid
