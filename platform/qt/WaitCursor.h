#pragma once

#include <QApplication>

namespace corvid {

// Shows the wait cursor over every window of the program for the lifetime of the
// object. Release gives it back early, for example before a message box that waits
// for the user; the destructor then does nothing more.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { Release(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

    void Release() {
        if (!m_active) return;
        m_active = false;
        QApplication::restoreOverrideCursor();
    }

private:
    bool m_active = true;
};

}  // namespace corvid
