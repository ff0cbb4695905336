#pragma once

#include "dialogs/qt/PropertySheet.h"

namespace corvid {

class COptionsModel;
class COptionsPage;
class CFilterPage;
class CSqlStmtPage;
class CUserPage;
class CLayoutPage;

// "Preferences": the five option pages over copies of the document's settings,
// users and layouts (the model). The copies change as the pages are left; the
// caller applies them after OK.
class CCorvidOptionsDlg : public CPropertySheet {
    Q_OBJECT
public:
    explicit CCorvidOptionsDlg(COptionsModel& model, QWidget* parent = nullptr);

    COptionsPage* GeneralPage() const { return m_general; }
    CFilterPage* FilterPage() const { return m_filter; }
    CSqlStmtPage* StatementPage() const { return m_statements; }
    CUserPage* UserPage() const { return m_users; }
    CLayoutPage* LayoutPage() const { return m_layout; }

private:
    COptionsPage* m_general;
    CFilterPage* m_filter;
    CSqlStmtPage* m_statements;
    CUserPage* m_users;
    CLayoutPage* m_layout;
};

}  // namespace corvid
