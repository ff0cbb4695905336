#include "app/qt/SimilarSearchJob.h"

#include <QMetaObject>
#include <exception>
#include <new>
#include <stdexcept>

#include "collection/FindSimilarStatements.h"
#include "work/ProgressRunner.h"

namespace corvid {

namespace {

std::function<void()>& FirstScreenHook() {
    static std::function<void()> hook;
    return hook;
}

unsigned& SearchThreads() {
    static unsigned threads = 0;
    return threads;
}

// The background part reports at most this often.
constexpr std::chrono::milliseconds kReportInterval{100};

}  // namespace

void SetSimilarSearchFirstScreenHook(std::function<void()> hook) {
    FirstScreenHook() = std::move(hook);
}

void SetSimilarSearchThreads(unsigned threads) {
    SearchThreads() = threads;
}

CSimilarSearchJob::CSimilarSearchJob(std::unique_ptr<SimilarityRun> run, QObject* context)
    : m_run(std::move(run)), m_context(context) {
    m_run->m_Cancellable = true;
    if (SearchThreads() > 0) m_run->m_MaxThreads = SearchThreads();
    m_run->m_OnFirstScreen = [this](const CObjectArray& nearest, const std::vector<CObjectArray::Index>& positions,
                                    bool complete) { OnFirstScreen(nearest, positions, complete); };
}

CSimilarSearchJob::~CSimilarSearchJob() {
    m_cancel.store(true);
    Join();
}

void CSimilarSearchJob::Join() {
    if (m_thread.joinable()) m_thread.join();
}

CSimilarSearchJob::EStart CSimilarSearchJob::Start(IProgressRunner& runner) {
    runner.Run(
        [this](IProgress& dialog) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_dialog = &dialog;
            if (!m_thread.joinable()) m_thread = std::thread([this] { Search(); });
            while (!m_finished && !(m_firstScreenKnown && !m_complete && !m_cancel.load())) {
                m_changed.wait_for(lock, std::chrono::milliseconds(50));
                // The dialog's poll may stand still while its cancel confirmation is
                // open; the search must not wait for that.
                lock.unlock();
                const bool cancelled = dialog.IsCancelled();
                lock.lock();
                if (cancelled) m_cancel.store(true);
            }
            m_dialog = nullptr;
            if (!m_finished) m_background = true;
        },
        "Processing", kProgressCanCancel, "");
    bool finished = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // A runner that could not start its work leaves the search unstarted.
        finished = m_finished || !m_thread.joinable();
        if (!m_thread.joinable()) m_run->m_Cancelled = true;
    }
    if (!finished) return EStart::FirstScreen;
    Join();
    if (m_failure) std::rethrow_exception(m_failure);
    return EStart::Finished;
}

void CSimilarSearchJob::Search() {
    try {
        FindSimilarStatements(*m_run, this);
    } catch (const std::bad_alloc&) {
        m_failure = std::current_exception();
        m_error = "Out Of Memory";
    } catch (const std::exception& error) {
        m_failure = std::current_exception();
        m_error = error.what();
    } catch (...) {
        m_failure = std::current_exception();
        m_error = "The search failed.";
    }
    bool background = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        background = m_background;
    }
    m_changed.notify_all();
    if (background && m_context) {
        QMetaObject::invokeMethod(
            m_context,
            [this] {
                Join();
                // The callback may destroy the job: it runs from a copy of its own.
                const std::function<void(CSimilarSearchJob&)> finished = std::move(m_onFinished);
                if (finished) finished(*this);
            },
            Qt::QueuedConnection);
    }
}

void CSimilarSearchJob::OnFirstScreen(const CObjectArray& nearest, const std::vector<CObjectArray::Index>& positions,
                                      bool complete) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_firstScreen = nearest;
        m_firstPositions = positions;
        m_firstScreenKnown = true;
        m_complete = complete;
    }
    m_changed.notify_all();
    if (FirstScreenHook()) FirstScreenHook()();
}

void CSimilarSearchJob::SetProgress(int percent, const std::string& text) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_dialog) {
        m_dialog->SetProgress(percent, text);
        return;
    }
    if (!m_background) return;
    lock.unlock();
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastReport < kReportInterval) return;
    m_lastReport = now;
    if (m_context) {
        QMetaObject::invokeMethod(
            m_context,
            [this, percent] {
                if (m_onProgress) m_onProgress(percent);
            },
            Qt::QueuedConnection);
    }
}

}  // namespace corvid
