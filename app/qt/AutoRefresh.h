#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace corvid {

class CCorvidDoc;
class CCorvidView;
class CMainFrame;
class CSession;
class CStatusBarProgress;
class CProgressRunner;

// View > Auto refresh: reloads the statements on a period while connected,
// without the modal progress dialog (the progress shows in the status bar and Esc
// cancels), keeping the sort, the selection and the scroll position. A tick that
// finds another load, a modal dialog, the similar view or the family views waits
// for the next one. A refresh that fails or is cancelled turns auto refresh off
// and says why. Also keeps the status bar's interval pane in step with the
// changes view.
class CAutoRefresh : public QObject {
    Q_OBJECT
public:
    CAutoRefresh(CMainFrame& frame, CCorvidView& view, CCorvidDoc& document, CSession& session);
    ~CAutoRefresh() override;

    // 0 turns auto refresh off.
    void SetPeriod(int seconds);
    int GetPeriod() const { return m_period; }
    QTimer* Timer() const { return m_timer; }
    CStatusBarProgress& Display() { return *m_display; }

    // One refresh now, as the timer's tick does (nothing while the view is busy,
    // the similar or family view is shown or a dialog is open). True when a
    // refresh ran.
    bool RefreshNow();
    // While a refresh runs: cancels it, closes the main window once it has ended
    // and returns true (the close waits); false when no refresh runs.
    bool CancelForClose();
    // Called with true before a refresh starts and with false after it ended: what
    // reads the collection outside the view waits meanwhile.
    void SetHoldHandler(std::function<void(bool)> handler) { m_hold = std::move(handler); }
    // The interval pane: the interval's length and its new, changed and gone
    // statements while the changes view is shown; empty otherwise.
    void UpdateIntervalPane();

private:
    void Stop(const std::string& message);

    CMainFrame& m_frame;
    CCorvidView& m_view;
    CCorvidDoc& m_document;
    CSession& m_session;
    std::unique_ptr<CStatusBarProgress> m_display;
    std::unique_ptr<CProgressRunner> m_runner;
    QTimer* m_timer;
    std::function<void(bool)> m_hold;
    int m_period = 0;
    bool m_running = false;
    bool m_closePending = false;
};

}  // namespace corvid
