#include "platform/qt/QtPrompter.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace corvid {

namespace {

QString Caption() { return QStringLiteral("Corvid"); }

// The "Oracle SQL Error" dialog: the message in a read-only edit box and "Stop".
class CSqlErrorDlg : public QDialog {
public:
    CSqlErrorDlg(const QString& text, QWidget* parent) : QDialog(parent) {
        setWindowTitle(QStringLiteral("Oracle SQL Error"));
        auto* layout = new QHBoxLayout(this);
        auto* edit = new QPlainTextEdit(this);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        edit->setPlainText(shown);
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, Qt::white);
        edit->setPalette(palette);
        edit->setMinimumSize(450, 210);
        layout->addWidget(edit, 1);
        auto* buttons = new QVBoxLayout;
        auto* stop = new QPushButton(QStringLiteral("Stop"), this);
        stop->setDefault(true);
        connect(stop, &QPushButton::clicked, this, &QDialog::accept);
        buttons->addWidget(stop);
        buttons->addStretch(1);
        layout->addLayout(buttons);
    }
};

}  // namespace

CQtPrompter::CQtPrompter(QObject* parent) : QObject(parent) {}

void CQtPrompter::RunOnUiThread(const std::function<void()>& work) {
    // A box shown while the wait cursor is up (after a cancelled load, say) gets
    // the ordinary arrow for as long as it is open.
    const auto withArrow = [&work] {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        work();
        QApplication::restoreOverrideCursor();
    };
    if (!qApp || QThread::currentThread() == qApp->thread()) {
        if (qApp) {
            withArrow();
        } else {
            work();
        }
        return;
    }
    QMetaObject::invokeMethod(qApp, withArrow, Qt::BlockingQueuedConnection);
}

void CQtPrompter::Message(const std::string& text, Kind kind) {
    RunOnUiThread([&] {
        QMessageBox::Icon icon = kind == Kind::Information ? QMessageBox::Information
                                 : kind == Kind::Error     ? QMessageBox::Critical
                                                           : QMessageBox::Warning;
        QMessageBox box(icon, Caption(), QString::fromStdString(text), QMessageBox::Ok, m_parent.data());
        box.exec();
    });
}

bool CQtPrompter::AskYesNo(const std::string& text) {
    return Ask(text, Buttons::YesNo);
}

bool CQtPrompter::Ask(const std::string& text, Buttons buttons) {
    bool yes = false;
    RunOnUiThread([&] {
        const bool okCancel = buttons == Buttons::OkCancel;
        const QMessageBox::StandardButton accept = okCancel ? QMessageBox::Ok : QMessageBox::Yes;
        const QMessageBox::StandardButton reject = okCancel ? QMessageBox::Cancel : QMessageBox::No;
        QMessageBox box(QMessageBox::Question, Caption(), QString::fromStdString(text), accept | reject,
                        m_parent.data());
        box.setDefaultButton(buttons == Buttons::YesNoDefaultNo ? reject : accept);
        box.setEscapeButton(reject);
        yes = box.exec() == accept;
    });
    return yes;
}

void CQtPrompter::OracleError(const std::string& text) {
    RunOnUiThread([&] {
        CSqlErrorDlg dialog(QString::fromStdString(text), m_parent.data());
        dialog.exec();
    });
}

}  // namespace corvid
