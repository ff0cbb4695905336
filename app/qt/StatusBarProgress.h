#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <string>

#include "work/LatestProgress.h"
#include "work/ProgressDisplay.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QShortcut;
class QTimer;
class QWidget;

namespace corvid {

// A progress run shown in the main window's status bar instead of a modal dialog:
// the text and the bar in the status bar while the window stays usable, Esc on
// the window cancels (no question). The user-interface thread waits in a local
// event loop; the worker publishes its reports and the status bar shows the
// latest of them every kRefreshMs, so a job that reports every statement does not
// flood the event queue.
class CStatusBarProgress : public QObject, public IProgressDisplay {
    Q_OBJECT
public:
    CStatusBarProgress(QWidget* window, QLabel* text, QProgressBar* bar);
    ~CStatusBarProgress() override;

    // IProgressDisplay, user-interface thread.
    void RunModal(CProgressThreadDlg& dialog) override;
    void EndDialog() override;
    void SetTitle(const std::string& title) override;
    bool AskConfirm(const std::string& text) override;
    // IProgressDisplay, worker thread.
    void ShowText(const std::string& text) override;
    void ShowPosition(int percent) override;
    void ShowEstimate(const std::string& text) override;
    void PostClose() override;

    bool IsRunning() const { return m_running.load(); }
    // What Esc does (tests call it).
    void RequestCancel();

    static constexpr int kRefreshMs = 100;

signals:
    void closePosted();

private:
    void ShowLatest();

    QPointer<QWidget> m_window;
    QPointer<QLabel> m_text;
    QPointer<QProgressBar> m_bar;
    QEventLoop* m_loop = nullptr;
    QShortcut* m_escape = nullptr;
    QTimer* m_refresh = nullptr;
    CProgressThreadDlg* m_dialog = nullptr;
    CLatestProgress m_latest;
    std::atomic<bool> m_running{false};
    bool m_ending = false;
};

}  // namespace corvid
