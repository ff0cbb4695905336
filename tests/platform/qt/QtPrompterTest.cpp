#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/qt/QtPrompter.h"

namespace corvid {
namespace {

// Closes the modal window as soon as it is up, after letting `look` see it.
void CloseModalWhenShown(const std::function<void(QWidget*)>& look) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, look] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        look(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(QDialog::Accepted);
        timer->stop();
        timer->deleteLater();
    });
    timer->start();
}

TEST(QtPrompter, ABoxShowsTheArrowEvenUnderTheWaitCursor) {
    CQtPrompter prompter;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Qt::CursorShape shown = Qt::WaitCursor;
    CloseModalWhenShown([&](QWidget*) { shown = QApplication::overrideCursor()->shape(); });
    prompter.Message("You cancelled the operation.");
    EXPECT_EQ(shown, Qt::ArrowCursor);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtPrompter, TheOracleErrorDialogOfAWorkerThreadOpensOnTheUserInterfaceThread) {
    CQtPrompter prompter;
    QString shownText;
    bool onUiThread = false;
    CloseModalWhenShown([&](QWidget* modal) {
        onUiThread = modal->thread() == qApp->thread();
        EXPECT_EQ(modal->windowTitle(), "Oracle SQL Error");
        if (auto* edit = modal->findChild<QPlainTextEdit*>()) shownText = edit->toPlainText();
    });
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        prompter.OracleError("ORACLE Error #942\r\nORA-00942: table or view does not exist");
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(shownText, "ORACLE Error #942\nORA-00942: table or view does not exist");
}

}  // namespace
}  // namespace corvid
