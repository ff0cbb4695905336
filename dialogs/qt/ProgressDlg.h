#pragma once

#include <QDialog>
#include <atomic>

#include "work/LatestProgress.h"
#include "work/ProgressDisplay.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace corvid {

// The "Please wait" dialog of a progress run: status text, bar, time estimate and
// Cancel. The worker publishes its latest report and never waits for this thread;
// the dialog shows what was published at most every kRefreshMs while it runs, and
// the final report when the run ends. Cancel, Escape and the window's close button
// are cancel requests that the run decides on, and Enter does nothing.
class CProgressDlg : public QDialog, public IProgressDisplay {
    Q_OBJECT
public:
    explicit CProgressDlg(QWidget* parent = nullptr);
    ~CProgressDlg() override;

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

    QLabel* StatusLabel() const { return m_status; }
    QProgressBar* Bar() const { return m_bar; }
    QLabel* EstimateLabel() const { return m_estimate; }
    QPushButton* CancelButton() const { return m_cancel; }

    // Called once the dialog is up and running its loop (tests wait for it).
    bool IsRunning() const { return m_running.load(); }

    // Shows what the worker published since the last refresh. The dialog calls it
    // on its refresh timer and before it closes.
    void ShowLatest();

    // The refresh interval while the dialog runs: about 20 updates a second.
    static constexpr int kRefreshMs = 50;

public slots:
    void reject() override;

signals:
    void closePosted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void RequestCancel();

    QLabel* m_status;
    QProgressBar* m_bar;
    QLabel* m_estimate;
    QPushButton* m_cancel;
    QTimer* m_refresh;
    CLatestProgress m_latest;
    CProgressThreadDlg* m_dialog = nullptr;
    std::atomic<bool> m_running{false};
    bool m_ending = false;
};

}  // namespace corvid
