#include "dialogs/qt/SqlStmtDlgRtfPage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/qt/RtfTextView.h"

namespace corvid {

CSqlRtfPage::CSqlRtfPage(const QString& caption, std::string rtf, QWidget* parent)
    : CPropertyPage(caption, parent), m_rtf(std::move(rtf)), m_view(new CRtfTextView) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
}

void CSqlRtfPage::OnInitPage() {
    m_view->SetRtf(m_rtf);
    // The document lives in the box from now on.
    m_rtf.clear();
    m_rtf.shrink_to_fit();
}

void CSqlRtfPage::OnSetActive() {
    PostRemoveFocus();
}

CSqlTextPage::CSqlTextPage(std::string rtf, QWidget* parent) : CSqlRtfPage("SQL Statement", std::move(rtf), parent) {}

void CSqlTextPage::OnInitPage() {
    CSqlRtfPage::OnInitPage();
    m_view->clearFocus();
}

CSqlPlanPage::CSqlPlanPage(std::string rtf, const QString& source, QWidget* parent)
    : CSqlRtfPage("Execution Plan", std::move(rtf), parent), m_source(new QLabel(source)) {
    m_source->setWordWrap(true);
    m_source->setVisible(!source.isEmpty());
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_source);
}

QString CSqlPlanPage::SourceText() const {
    return m_source->text();
}

}  // namespace corvid
