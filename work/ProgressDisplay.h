#pragma once

#include <string>

namespace corvid {

class CProgressThreadDlg;

// The window side of a progress run: the "Please wait" dialog with its status
// text, bar, time estimate and Cancel button. The desktop shows a modal dialog;
// the headless report prints to standard error; tests record what was shown.
//
// Threads: RunModal, SetTitle, AskConfirm and EndDialog are called on the
// user-interface thread (the thread that called RunWithProgress). ShowText,
// ShowPosition, ShowEstimate and PostClose are called on the worker thread and must
// not wait for the user-interface thread.
class IProgressDisplay {
public:
    virtual ~IProgressDisplay() = default;

    // Shows the dialog modally and returns once EndDialog() was called. Once the
    // dialog is up it calls dialog.OnInitDialog(); every cancel request of the user
    // (Cancel button, Escape, closing the window) and every close request posted by
    // PostClose() goes to dialog.OnCancelRequest().
    virtual void RunModal(CProgressThreadDlg& dialog) = 0;
    // Ends RunModal. May be called more than once.
    virtual void EndDialog() = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // The cancel confirmation: the text with the buttons OK and Cancel; true for OK.
    virtual bool AskConfirm(const std::string& text) = 0;

    virtual void ShowText(const std::string& text) = 0;
    // The bar's position, 0 to 100.
    virtual void ShowPosition(int percent) = 0;
    virtual void ShowEstimate(const std::string& text) = 0;
    // Queues a close request; the user-interface thread handles it in RunModal.
    virtual void PostClose() = 0;
};

}  // namespace corvid
