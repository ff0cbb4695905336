#pragma once

#include <vector>

#include "collection/ObjectEntry.h"
#include "dialogs/StatementSheetModel.h"
#include "dialogs/qt/PropertySheet.h"

class QTableWidget;

namespace corvid {

// "SQL Parameter": every figure of the statement as a row of title and value, in
// a fixed order whatever the list layout is, then the given extra rows.
class CSqlParaPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CSqlParaPage(const CObjectEntry& statement, std::vector<SParameterRow> extraRows = {},
                          QWidget* parent = nullptr);

    QTableWidget* List() const { return m_list; }

protected:
    void OnInitPage() override;

private:
    CObjectEntry m_statement;
    std::vector<SParameterRow> m_extraRows;
    QTableWidget* m_list;
};

}  // namespace corvid
