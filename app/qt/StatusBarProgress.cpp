#include "app/qt/StatusBarProgress.h"

#include <QEventLoop>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include "work/ProgressThreadDlg.h"

namespace corvid {

CStatusBarProgress::CStatusBarProgress(QWidget* window, QLabel* text, QProgressBar* bar)
    : m_window(window), m_text(text), m_bar(bar), m_refresh(new QTimer(this)) {
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &CStatusBarProgress::ShowLatest);
    connect(this, &CStatusBarProgress::closePosted, this, &CStatusBarProgress::RequestCancel, Qt::QueuedConnection);
}

CStatusBarProgress::~CStatusBarProgress() = default;

void CStatusBarProgress::RunModal(CProgressThreadDlg& dialog) {
    m_dialog = &dialog;
    m_ending = false;
    m_latest.Clear();
    QEventLoop loop;
    m_loop = &loop;
    if (m_window) {
        m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window);
        m_escape->setContext(Qt::WindowShortcut);
        connect(m_escape, &QShortcut::activated, this, &CStatusBarProgress::RequestCancel);
    }
    if (m_text) {
        m_text->clear();
        m_text->show();
    }
    if (m_bar) {
        m_bar->setValue(0);
        m_bar->show();
    }
    m_refresh->start();
    QTimer::singleShot(0, this, [this] {
        if (!m_dialog) return;
        m_running = true;
        m_dialog->OnInitDialog();
    });
    loop.exec();
    m_refresh->stop();
    delete m_escape;
    m_escape = nullptr;
    if (m_text) {
        m_text->clear();
        m_text->hide();
    }
    if (m_bar) m_bar->hide();
    m_loop = nullptr;
    m_running = false;
    m_dialog = nullptr;
}

void CStatusBarProgress::EndDialog() {
    m_ending = true;
    if (m_loop) m_loop->quit();
}

void CStatusBarProgress::SetTitle(const std::string&) {}

bool CStatusBarProgress::AskConfirm(const std::string&) {
    // Esc on a refresh in the background means stop; nothing is asked.
    return true;
}

void CStatusBarProgress::ShowText(const std::string& text) {
    m_latest.PublishText(text);
}

void CStatusBarProgress::ShowPosition(int percent) {
    m_latest.PublishPosition(percent);
}

void CStatusBarProgress::ShowEstimate(const std::string& text) {
    m_latest.PublishEstimate(text);
}

void CStatusBarProgress::ShowLatest() {
    const CLatestProgress::Changes changes = m_latest.Take();
    if (changes.text && m_text) m_text->setText(QString::fromStdString(*changes.text));
    if (changes.position && m_bar) m_bar->setValue(*changes.position);
}

void CStatusBarProgress::PostClose() {
    emit closePosted();
}

void CStatusBarProgress::RequestCancel() {
    if (m_dialog && !m_ending) m_dialog->OnCancelRequest();
}

}  // namespace corvid
