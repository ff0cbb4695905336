#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "work/ProgressRunner.h"
#include "work/ProgressThreadDlg.h"
#include "work/QueuedProgressDisplay.h"

namespace corvid::testing {

// A progress display for tests: records what the dialog would show and answers the
// cancel confirmation from a queue. Hooks let a test act at the moment the dialog
// comes up or a text is shown.
class CRecordingProgressDisplay : public CQueuedProgressDisplay {
public:
    // Runs on the dialog's thread before the dialog is initialised.
    std::function<void()> beforeInit;
    // Runs on the worker thread for every status text shown.
    std::function<void(const std::string&)> onText;
    // Runs on the dialog's thread while the confirmation is open.
    std::function<void()> whileAsking;

    void RunModal(CProgressThreadDlg& dialog) override {
        if (beforeInit) beforeInit();
        CQueuedProgressDisplay::RunModal(dialog);
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_runs;
    }
    void SetTitle(const std::string& title) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_title = title;
    }
    bool AskConfirm(const std::string& text) override {
        bool answer = true;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_questions.push_back(text);
            if (!m_answers.empty()) {
                answer = m_answers.front();
                m_answers.pop_front();
            }
        }
        if (whileAsking) whileAsking();
        return answer;
    }
    void ShowText(const std::string& text) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.push_back(text);
        }
        if (onText) onText(text);
    }
    void ShowPosition(int percent) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_positions.push_back(percent);
    }
    void ShowEstimate(const std::string& text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_estimates.push_back(text);
    }

    void QueueAnswer(bool yes) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.push_back(yes);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    std::vector<int> Positions() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_positions;
    }
    std::vector<std::string> Estimates() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_estimates;
    }
    std::vector<std::string> Questions() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_questions;
    }
    std::string Title() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_title;
    }
    int Runs() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_runs;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_title;
    std::vector<std::string> m_texts;
    std::vector<int> m_positions;
    std::vector<std::string> m_estimates;
    std::vector<std::string> m_questions;
    std::deque<bool> m_answers;
    int m_runs = 0;
};

// Runs jobs through RunWithProgress, but holds the work until the dialog is up.
// A report made before then is dropped by design, so a test that acts on a given
// text must not let the worker race ahead of the dialog's thread.
class CDialogFirstRunner : public IProgressRunner {
public:
    explicit CDialogFirstRunner(IProgressDisplay& display) : m_display(display) {}
    bool Run(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText) override {
        const ProgressWork held = [&work](IProgress& progress) {
            auto& dialog = dynamic_cast<CProgressThreadDlg&>(progress);
            while (!dialog.IsInitialised())
                std::this_thread::yield();
            work(progress);
        };
        return RunWithProgress(held, title, flags, confirmText, m_display);
    }

private:
    IProgressDisplay& m_display;
};

}  // namespace corvid::testing
