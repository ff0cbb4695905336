#include "app/qt/AutoRefresh.h"

#include <QApplication>
#include <QTimer>

#include "app/LoadSummary.h"
#include "app/Session.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/StatusBarProgress.h"
#include "collection/CorvidDoc.h"
#include "oracle/OracleConnection.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "work/ProgressRunner.h"

namespace corvid {

CAutoRefresh::CAutoRefresh(CMainFrame& frame, CCorvidView& view, CCorvidDoc& document, CSession& session)
    : QObject(&frame),
      m_frame(frame),
      m_view(view),
      m_document(document),
      m_session(session),
      m_display(std::make_unique<CStatusBarProgress>(&frame, frame.ProgressText(), frame.ProgressBar())),
      m_runner(std::make_unique<CProgressRunner>(*m_display)),
      m_timer(new QTimer(this)) {
    connect(m_timer, &QTimer::timeout, this, &CAutoRefresh::RefreshNow);
}

CAutoRefresh::~CAutoRefresh() = default;

void CAutoRefresh::SetPeriod(int seconds) {
    m_period = seconds > 0 ? seconds : 0;
    m_timer->stop();
    if (m_period > 0) m_timer->start(m_period * 1000);
    m_frame.UpdateCommandStates();
}

void CAutoRefresh::Stop(const std::string& message) {
    SetPeriod(0);
    GetPrompter().Message(message, IPrompter::Kind::Warning);
}

bool CAutoRefresh::RefreshNow() {
    if (m_period <= 0) return false;
    if (!m_session.GetConnection().IsConnected()) {
        SetPeriod(0);
        m_frame.SetStatusText(QStringLiteral("Auto refresh stopped: not connected."));
        return false;
    }
    // A tick that finds the user busy waits for the next one.
    if (m_view.IsBusy() || m_document.m_SimilarMode || m_document.m_FamilyMode || m_document.m_FamilyFilter >= 0 ||
        QApplication::activeModalWidget() != nullptr)
        return false;

    m_timer->stop();
    if (m_hold) m_hold(true);
    std::string error;
    const std::uint64_t started = GetClock().TickMs();
    bool completed = false;
    m_running = true;
    try {
        completed = m_view.RefreshInBackground(*m_runner, error);
    } catch (...) {
        m_running = false;
        if (m_hold) m_hold(false);
        throw;
    }
    m_running = false;
    const std::uint64_t elapsed = GetClock().TickMs() - started;
    if (m_hold) m_hold(false);
    UpdateIntervalPane();
    if (m_closePending) {
        // The user closed the window meanwhile: nothing more to say or schedule.
        m_closePending = false;
        SetPeriod(0);
        QTimer::singleShot(0, &m_frame, [frame = &m_frame] { frame->close(); });
        return true;
    }
    if (!error.empty()) {
        Stop("Auto refresh stopped: the refresh failed.\n" + error);
        return true;
    }
    if (!completed) {
        SetPeriod(0);
        m_frame.SetStatusText(
            QStringLiteral("Auto refresh stopped: the refresh was cancelled; the list is incomplete."));
        return true;
    }
    m_frame.SetStatusText(QString::fromStdString(
        FormatLoadSummary(m_document.GetCollection(), m_document.m_Analyze != 0, true, elapsed)));
    if (m_period > 0) m_timer->start(m_period * 1000);
    m_frame.UpdateCommandStates();
    return true;
}

bool CAutoRefresh::CancelForClose() {
    if (!m_running) return false;
    m_closePending = true;
    m_display->RequestCancel();
    return true;
}

void CAutoRefresh::UpdateIntervalPane() {
    const bool show = m_document.m_ChangesMode && m_document.HasInterval();
    m_frame.SetIntervalText(show ? QString::fromStdString(m_document.GetIntervalSummary().Describe()) : QString());
}

}  // namespace corvid
