#include "dialogs/qt/ProgressDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "work/ProgressThreadDlg.h"
#include "platform/Services.h"

namespace corvid {

namespace {

// Converts dialog units to pixels for the dialog's font, as the window system of
// the original layout does: a horizontal unit is a quarter of the average letter
// width, a vertical unit an eighth of the line height.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFontMetrics& metrics) {
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
        m_baseY = metrics.height();
    }
    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString());
    setModal(true);
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) &
                   ~Qt::WindowContextHelpButtonHint);

    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPointSize(std::max(8, QApplication::font().pointSize()));
    setFont(dialogFont);
    const CDialogUnits units{QFontMetrics(dialogFont)};

    m_status = new QLabel(QStringLiteral("Please wait"), this);
    m_status->setGeometry(units.Rect(3, 5, 293, 9));
    m_status->setTextFormat(Qt::PlainText);

    m_bar = new QProgressBar(this);
    m_bar->setGeometry(units.Rect(3, 20, 293, 10));
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);

    m_estimate = new QLabel(this);
    m_estimate->setGeometry(units.Rect(5, 36, 113, 8));
    m_estimate->setTextFormat(Qt::PlainText);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setGeometry(units.Rect(125, 36, 50, 14));
    m_cancel->setAutoDefault(false);
    m_cancel->setDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressDlg::RequestCancel);

    setFixedSize(units.X(300), units.Y(55));

    m_refresh = new QTimer(this);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &CProgressDlg::ShowLatest);
    connect(this, &CProgressDlg::closePosted, this, &CProgressDlg::RequestCancel, Qt::QueuedConnection);
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::RunModal(CProgressThreadDlg& dialog) {
    m_dialog = &dialog;
    m_ending = false;
    m_latest.Clear();
    m_refresh->start();
    // The worker may already be waiting: the dialog counts as initialised once its
    // own loop runs.
    QTimer::singleShot(0, this, [this] {
        if (!m_dialog) return;
        m_running = true;
        m_dialog->OnInitDialog();
    });
    // The view shows the wait cursor around a load; over this dialog the user
    // needs the arrow to reach Cancel.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    exec();
    m_refresh->stop();
    QApplication::restoreOverrideCursor();
    m_running = false;
    m_dialog = nullptr;
}

void CProgressDlg::EndDialog() {
    // The last report is always shown, however short the run was.
    ShowLatest();
    m_ending = true;
    done(QDialog::Accepted);
}

void CProgressDlg::SetTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

bool CProgressDlg::AskConfirm(const std::string& text) {
    // The question asks to press OK: OK cancels the work, Cancel goes on with it.
    return GetPrompter().Ask(text, IPrompter::Buttons::OkCancel);
}

void CProgressDlg::ShowText(const std::string& text) {
    m_latest.PublishText(text);
}

void CProgressDlg::ShowPosition(int percent) {
    m_latest.PublishPosition(percent);
}

void CProgressDlg::ShowEstimate(const std::string& text) {
    m_latest.PublishEstimate(text);
}

void CProgressDlg::ShowLatest() {
    const CLatestProgress::Changes changes = m_latest.Take();
    if (changes.text) m_status->setText(QString::fromStdString(*changes.text));
    if (changes.position) m_bar->setValue(*changes.position);
    if (changes.estimate) m_estimate->setText(QString::fromStdString(*changes.estimate));
}

void CProgressDlg::PostClose() {
    emit closePosted();
}

void CProgressDlg::RequestCancel() {
    if (m_dialog && !m_ending) m_dialog->OnCancelRequest();
}

void CProgressDlg::reject() {
    // Escape: a cancel request, never a close of its own.
    RequestCancel();
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    if (m_ending) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    RequestCancel();
}

void CProgressDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        case Qt::Key_Escape:
            event->accept();
            RequestCancel();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

}  // namespace corvid
