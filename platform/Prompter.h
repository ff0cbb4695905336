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
    // The buttons of a question.
    enum class Buttons {
        YesNo,           // Yes (the default) and No
        YesNoDefaultNo,  // Yes and No, No the default: for what cannot be undone
        OkCancel,        // OK and Cancel, for a text that asks to press OK
    };

    // A modal question with the buttons Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A modal question with the given buttons; true for Yes or OK.
    virtual bool Ask(const std::string& text, Buttons buttons) {
        (void)buttons;
        return AskYesNo(text);
    }
    // The "Oracle SQL Error" dialog: the text (line ends "\r\n") in a read-only
    // edit box and a "Stop" button. Returns when the user has closed it; callable
    // from any thread (the desktop shows it on the user-interface thread while the
    // calling thread waits).
    virtual void OracleError(const std::string& text) = 0;
};

}  // namespace corvid
