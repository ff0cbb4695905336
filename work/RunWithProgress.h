#pragma once

#include <functional>
#include <string>

#include "work/Progress.h"
#include "work/ProgressThreadDlg.h"

namespace corvid {

class IProgressDisplay;

// The work of a progress run; it reports and polls through the progress it is given.
using ProgressWork = std::function<void(IProgress& progress)>;

// Runs the work on a worker thread while the display shows the "Please wait" dialog
// on the calling thread, and returns when both are done: true when the run ended
// without being cancelled, false when the user cancelled it or the worker thread
// could not be started (then nothing is shown). Flags: kProgressCanCancel,
// kProgressConfirmCancel. An exception thrown by the work is rethrown here once the
// dialog has closed; running out of memory in the work shows "Out Of Memory" and
// ends the program with status 1.
bool RunWithProgress(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText,
                     IProgressDisplay& display);

}  // namespace corvid
