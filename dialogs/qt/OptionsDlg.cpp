#include "dialogs/qt/OptionsDlg.h"

#include "dialogs/qt/OptionsFilterPage.h"
#include "dialogs/qt/OptionsGeneralPage.h"
#include "dialogs/qt/OptionsLayoutPage.h"
#include "dialogs/qt/OptionsStmtPage.h"
#include "dialogs/qt/OptionsUserPage.h"

namespace corvid {

CCorvidOptionsDlg::CCorvidOptionsDlg(COptionsModel& model, QWidget* parent)
    : CPropertySheet("Preferences", parent),
      m_general(new COptionsPage(model)),
      m_filter(new CFilterPage(model)),
      m_statements(new CSqlStmtPage(model)),
      m_users(new CUserPage(model)),
      m_layout(new CLayoutPage(model)) {
    AddPage(m_general);
    AddPage(m_filter);
    AddPage(m_statements);
    AddPage(m_users);
    AddPage(m_layout);
    resize(640, 480);
}

}  // namespace corvid
