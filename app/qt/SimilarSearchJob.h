#pragma once

#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "collection/SimilarityRun.h"
#include "work/Progress.h"

namespace corvid {

class IProgressRunner;

// One similar-statement search of the desktop. It runs on a thread of its own under
// the progress dialog until the nearest statements (the first screen) are known;
// the dialog then closes so that the view can show them, and the search fills in
// the rest in the background, reporting through a callback and stopping when
// cancelled. The object joins its thread when destroyed (cancelling it first), so
// its owner must outlive nothing the search reads: the run's collection.
class CSimilarSearchJob : public IProgress {
public:
    enum class EStart {
        Finished,     // the search has ended (completely, or cancelled): Result() is final
        FirstScreen,  // the first screen is known and the rest continues in the background
    };

    // `context` receives the queued calls of the background part (progress and the end)
    // on its thread; they are dropped once it is gone.
    CSimilarSearchJob(std::unique_ptr<SimilarityRun> run, QObject* context);
    ~CSimilarSearchJob() override;
    CSimilarSearchJob(const CSimilarSearchJob&) = delete;
    CSimilarSearchJob& operator=(const CSimilarSearchJob&) = delete;

    // Starts the search and keeps the runner's cancellable progress dialog up until
    // the first screen is known, the search ends, or the user cancels it (then
    // until the search has stopped). An error of the search is rethrown here when
    // the dialog has closed.
    EStart Start(IProgressRunner& runner);

    // After EStart::FirstScreen: the nearest statements in display order and their
    // collection positions.
    const CObjectArray& FirstScreen() const { return m_firstScreen; }
    const std::vector<CObjectArray::Index>& FirstScreenPositions() const { return m_firstPositions; }

    // The background part, on the context's thread: the percentage compared, at most
    // about ten times a second; and the end, once, after the thread has been joined
    // (the run then holds the result, as after EStart::Finished).
    void SetOnProgress(std::function<void(int percent)> onProgress) { m_onProgress = std::move(onProgress); }
    void SetOnFinished(std::function<void(CSimilarSearchJob& job)> onFinished) { m_onFinished = std::move(onFinished); }

    // Asks the search to stop; its end follows through the end callback.
    void Cancel() { m_cancel.store(true); }

    SimilarityRun& Run() { return *m_run; }
    // The error that ended the background part, if any.
    const std::string& Error() const { return m_error; }

    // The search thread's side of the progress: to the dialog while it is up, then
    // to the progress callback.
    void SetProgress(int percent, const std::string& text) override;
    bool IsCancelled() override { return m_cancel.load(); }

private:
    void Search();
    void OnFirstScreen(const CObjectArray& nearest, const std::vector<CObjectArray::Index>& positions, bool complete);
    void Join();

    std::unique_ptr<SimilarityRun> m_run;
    QObject* const m_context;
    std::function<void(int)> m_onProgress;
    std::function<void(CSimilarSearchJob&)> m_onFinished;

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // Guarded by m_mutex.
    IProgress* m_dialog = nullptr;
    bool m_background = false;
    bool m_finished = false;
    bool m_firstScreenKnown = false;
    bool m_complete = false;
    std::exception_ptr m_failure;
    std::string m_error;
    CObjectArray m_firstScreen;
    std::vector<CObjectArray::Index> m_firstPositions;
    // Search thread only.
    std::chrono::steady_clock::time_point m_lastReport{};
};

// Tests only: called on the search thread right after the first screen is known,
// before the search goes on; a test may hold it there. Empty by default.
void SetSimilarSearchFirstScreenHook(std::function<void()> hook);
// Tests only: how many threads the searches share (0, the default, lets the search decide).
void SetSimilarSearchThreads(unsigned threads);

}  // namespace corvid
