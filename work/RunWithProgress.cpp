#include "work/RunWithProgress.h"

#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "work/ProgressDisplay.h"
#include "platform/ProcessExit.h"
#include "platform/Services.h"

namespace corvid {

namespace {

// What the worker thread is handed: the dialog, the work, and where it leaves an
// exception for the calling thread.
struct CProgressThreadInfo {
    CProgressThreadDlg* dialog;
    const ProgressWork* work;
    std::exception_ptr failure;
};

void ProgressThreadProc(CProgressThreadInfo* info) {
    info->dialog->WaitUntilInitialised();
    try {
        (*info->work)(*info->dialog);
    } catch (const std::bad_alloc&) {
        GetPrompter().Message("Out Of Memory", IPrompter::Kind::Error);
        EndProcess(1);
    } catch (...) {
        info->failure = std::current_exception();
    }
    info->dialog->CloseFromWorker();
}

}  // namespace

bool RunWithProgress(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText,
                     IProgressDisplay& display) {
    CProgressThreadDlg dialog(display, flags);
    dialog.SetTitle(title);
    dialog.SetConfirmText(confirmText);
    CProgressThreadInfo info{&dialog, &work, nullptr};

    std::thread worker;
    try {
        worker = std::thread(ProgressThreadProc, &info);
    } catch (const std::system_error&) {
        return false;
    }
    display.RunModal(dialog);
    worker.join();
    if (info.failure) std::rethrow_exception(info.failure);
    return !dialog.WasCancelled();
}

}  // namespace corvid
