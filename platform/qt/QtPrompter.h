#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/Prompter.h"

namespace corvid {

// Message boxes and the "Oracle SQL Error" dialog on Qt. Calls from another
// thread are carried to the user-interface thread, and the caller waits there.
class CQtPrompter : public QObject, public IPrompter {
    Q_OBJECT
public:
    explicit CQtPrompter(QObject* parent = nullptr);

    void Message(const std::string& text, Kind kind = Kind::Warning) override;
    bool AskYesNo(const std::string& text) override;
    bool Ask(const std::string& text, Buttons buttons) override;
    void OracleError(const std::string& text) override;

    // The window that owns the message boxes (the main window once it exists).
    void SetParentWindow(QWidget* window) { m_parent = window; }

private:
    void RunOnUiThread(const std::function<void()>& work);
    QPointer<QWidget> m_parent;
};

}  // namespace corvid
