#pragma once

#include <QPointer>
#include <QWidget>

#include "work/ProgressRunner.h"

namespace corvid {

// Runs each long job on the progress worker under a fresh "Please wait" dialog
// owned by the given window.
class CProgressDlgRunner : public IProgressRunner {
public:
    explicit CProgressDlgRunner(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    bool Run(const ProgressWork& work, const std::string& title, int flags, const std::string& confirmText) override;

private:
    QPointer<QWidget> m_parent;
};

}  // namespace corvid
