#include "dialogs/qt/PropertySheet.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace corvid {

CPropertyPage::CPropertyPage(const QString& caption, QWidget* parent) : QWidget(parent), m_caption(caption) {}

void CPropertyPage::EnsureInitialised() {
    if (m_initialised) return;
    m_initialised = true;
    OnInitPage();
}

void CPropertyPage::showEvent(QShowEvent* event) {
    EnsureInitialised();
    QWidget::showEvent(event);
}

void CPropertyPage::PostRemoveFocus() {
    QPointer<CPropertyPage> self(this);
    QTimer::singleShot(0, this, [self] {
        if (!self) return;
        if (QWidget* focused = self->window()->focusWidget()) focused->clearFocus();
    });
}

CPropertySheet::CPropertySheet(const QString& title, QWidget* parent)
    : QDialog(parent),
      m_tabs(new QTabWidget(this)),
      m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CPropertySheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CPropertySheet::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);
    OkButton()->setDefault(true);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
    m_tabs->addTab(page, page->Caption());
}

CPropertyPage* CPropertySheet::GetActivePage() const {
    return m_activeIndex >= 0 ? m_pages.at(m_activeIndex) : nullptr;
}

int CPropertySheet::GetActiveIndex() const {
    return m_activeIndex;
}

bool CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= GetPageCount()) return false;
    m_tabs->setCurrentIndex(index);
    return m_activeIndex == index;
}

QPushButton* CPropertySheet::OkButton() const {
    return m_buttons->button(QDialogButtonBox::Ok);
}
QPushButton* CPropertySheet::CancelButton() const {
    return m_buttons->button(QDialogButtonBox::Cancel);
}

void CPropertySheet::OnTabChanged(int index) {
    if (m_reverting) return;
    if (CPropertyPage* old = GetActivePage(); old && old->IsInitialised() && index != m_activeIndex) {
        // The tab widget has already switched; the page being left goes back on
        // show while it checks its data, so that a message about it appears over it.
        m_reverting = true;
        m_tabs->setCurrentIndex(m_activeIndex);
        m_reverting = false;
        if (!old->OnKillActive()) return;
        m_reverting = true;
        m_tabs->setCurrentIndex(index);
        m_reverting = false;
    }
    m_activeIndex = index;
    OkButton()->setDefault(true);
    if (CPropertyPage* page = GetActivePage()) {
        page->EnsureInitialised();
        page->OnSetActive();
    }
}

void CPropertySheet::accept() {
    if (CPropertyPage* page = GetActivePage(); page && page->IsInitialised() && !page->OnKillActive()) return;
    QDialog::accept();
}

}  // namespace corvid
