#include "dialogs/qt/OptionsUserPage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/OptionsModel.h"
#include "platform/Services.h"

namespace corvid {

CUserPage::CUserPage(COptionsModel& model, QWidget* parent)
    : CPropertyPage("User Filter", parent),
      m_model(model),
      m_list(new QTableWidget(0, 1)),
      m_all(new QPushButton("All")),
      m_none(new QPushButton("None")) {
    m_list->setHorizontalHeaderLabels({"User"});
    m_list->setColumnWidth(0, 300);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_all);
    buttons->addWidget(m_none);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_all, &QPushButton::clicked, this, [this] { SelectAll(true); });
    connect(m_none, &QPushButton::clicked, this, [this] { SelectAll(false); });
}

void CUserPage::OnInitPage() {
    FillList();
}

void CUserPage::FillList() {
    m_list->setUpdatesEnabled(false);
    m_list->setRowCount(0);
    m_list->setRowCount(static_cast<int>(m_model.m_Users.GetSize()));
    for (int row = 0; row < m_list->rowCount(); ++row) {
        const CUserEntry& user = m_model.m_Users[row];
        auto* item = new QTableWidgetItem(QString::fromStdString(user.GetUserName()));
        item->setData(Qt::UserRole, user.GetUserId());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(user.IsSelected() ? Qt::Checked : Qt::Unchecked);
        m_list->setItem(row, 0, item);
    }
    m_list->setUpdatesEnabled(true);
}

void CUserPage::SelectAll(bool selected) {
    SelectAllUsers(m_model.m_Users, selected);
    FillList();
}

bool CUserPage::OnKillActive() {
    for (int row = 0; row < m_list->rowCount() && row < m_model.m_Users.GetSize(); ++row) {
        m_model.m_Users[row].SetSelected(m_list->item(row, 0)->checkState() == Qt::Checked ? 1 : 0);
    }
    if (!HasSelectedUser(m_model.m_Users)) {
        GetPrompter().Message(kNoUserSelectedMessage, IPrompter::Kind::Warning);
        return false;
    }
    return true;
}

}  // namespace corvid
