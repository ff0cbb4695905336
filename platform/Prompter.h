#pragma once

#include <string>

namespace corvid {

// Every message the program shows goes through a prompter: message boxes, yes/no
// questions and the fatal "Oracle SQL Error" dialog. The desktop shows real
// dialogs; tests record what would have been shown and never block.
class IPrompter {
public:
    enum class Kind { Information, Warning, Error };

    virtual ~IPrompter() = default;

    // A modal message box with an OK button.
    virtual void Message(const std::string& text, Kind kind = Kind::Warning) = 0;
    // A modal question with the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The "Oracle SQL Error" dialog: the text (line ends "\r\n") in a read-only
    // edit box and a "Stop" button. Returns when the user has closed it; callable
    // from any thread (the desktop shows it on the user-interface thread while the
    // calling thread waits).
    virtual void OracleError(const std::string& text) = 0;
};

}  // namespace corvid
