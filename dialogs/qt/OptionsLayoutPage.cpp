#include "dialogs/qt/OptionsLayoutPage.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/OptionsModel.h"

namespace corvid {

namespace {

struct SLayoutColumn {
    const char* title;
    int width;
    Qt::Alignment alignment;
};

const SLayoutColumn kColumns[] = {
    {"Column", 150, Qt::AlignLeft},   {"Width", 50, Qt::AlignRight},           {"Alignment", 60, Qt::AlignHCenter},
    {"Format", 50, Qt::AlignHCenter}, {"Sort position", 80, Qt::AlignHCenter}, {"Sort order", 60, Qt::AlignHCenter},
};

}  // namespace

CLayoutPage::CLayoutPage(COptionsModel& model, QWidget* parent)
    : CPropertyPage("Table layout optins", parent),
      m_model(model),
      m_list(new QTableWidget(0, static_cast<int>(std::size(kColumns)))),
      m_default(new QPushButton("Default")) {
    for (int i = 0; i < m_list->columnCount(); ++i) {
        auto* header = new QTableWidgetItem(kColumns[i].title);
        header->setTextAlignment(kColumns[i].alignment | Qt::AlignVCenter);
        m_list->setHorizontalHeaderItem(i, header);
        m_list->setColumnWidth(i, kColumns[i].width);
    }
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_default);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_default, &QPushButton::clicked, this, [this] {
        m_model.ResetLayoutToDefault();
        FillList();
    });
}

void CLayoutPage::OnInitPage() {
    FillList();
}

void CLayoutPage::FillList() {
    const std::vector<SLayoutPageRow> rows = BuildLayoutPageRows(m_model.m_WorkingLayout, m_model.m_DefaultLayout);
    m_list->setUpdatesEnabled(false);
    m_list->setRowCount(0);
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const SLayoutPageRow& row = rows[r];
        const std::string* texts[] = {&row.title,  &row.width,        &row.alignment,
                                      &row.format, &row.sortPosition, &row.sortOrder};
        for (int c = 0; c < m_list->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(*texts[c]));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(kColumns[c].alignment | Qt::AlignVCenter);
            if (c == 0) {
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
                item->setData(Qt::UserRole, row.id);
            }
            m_list->setItem(r, c, item);
        }
    }
    // The widths are the least each column gets; one whose title or texts need
    // more in the font on this screen ("Number", "Alignment") grows to show them.
    // The list is kept wide enough for all of them beside its scroll bar.
    int total = 2 * m_list->frameWidth() + m_list->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < m_list->columnCount(); ++c) {
        m_list->resizeColumnToContents(c);
        m_list->setColumnWidth(c, std::max(kColumns[c].width, m_list->columnWidth(c)));
        total += m_list->columnWidth(c);
    }
    m_list->setMinimumWidth(total);
    m_list->setUpdatesEnabled(true);
}

bool CLayoutPage::OnKillActive() {
    std::vector<std::pair<StatementColumn, bool>> rows;
    rows.reserve(m_list->rowCount());
    for (int r = 0; r < m_list->rowCount(); ++r) {
        const QTableWidgetItem* item = m_list->item(r, 0);
        rows.emplace_back(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    }
    m_model.m_WorkingLayout = RebuildWorkingLayout(rows, m_model.m_WorkingLayout, m_model.m_DefaultLayout);
    return true;
}

}  // namespace corvid
