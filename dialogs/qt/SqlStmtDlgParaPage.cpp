#include "dialogs/qt/SqlStmtDlgParaPage.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/StatementSheetModel.h"

namespace corvid {

CSqlParaPage::CSqlParaPage(const CObjectEntry& statement, std::vector<SParameterRow> extraRows, QWidget* parent)
    : CPropertyPage("SQL Parameter", parent),
      m_statement(statement),
      m_extraRows(std::move(extraRows)),
      m_list(new QTableWidget(0, 2)) {
    m_list->setHorizontalHeaderLabels({"Title", "Value"});
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setColumnWidth(0, 200);
    m_list->setColumnWidth(1, 400);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
}

void CSqlParaPage::OnInitPage() {
    std::vector<SParameterRow> rows = ParameterRows(m_statement);
    rows.insert(rows.end(), m_extraRows.begin(), m_extraRows.end());
    m_list->setUpdatesEnabled(false);
    m_list->setRowCount(0);
    m_list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        m_list->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(rows[r].title)));
        auto* value = new QTableWidgetItem(QString::fromStdString(rows[r].value));
        value->setToolTip(value->text());
        m_list->setItem(r, 1, value);
    }
    m_list->setUpdatesEnabled(true);
}

}  // namespace corvid
