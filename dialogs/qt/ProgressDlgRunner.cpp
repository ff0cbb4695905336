#include "dialogs/qt/ProgressDlgRunner.h"

#include "dialogs/qt/ProgressDlg.h"

namespace corvid {

bool CProgressDlgRunner::Run(const ProgressWork& work, const std::string& title, int flags,
                             const std::string& confirmText) {
    CProgressDlg dialog(m_parent.data());
    return RunWithProgress(work, title, flags, confirmText, dialog);
}

}  // namespace corvid
