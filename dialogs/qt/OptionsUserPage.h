#pragma once

#include "dialogs/qt/PropertySheet.h"

class QPushButton;
class QTableWidget;

namespace corvid {

class COptionsModel;

// "User Filter": the database users with a check box each, "All" and "None". The
// page cannot be left without at least one user checked.
class CUserPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CUserPage(COptionsModel& model, QWidget* parent = nullptr);

    bool OnKillActive() override;

    QTableWidget* List() const { return m_list; }
    QPushButton* AllButton() const { return m_all; }
    QPushButton* NoneButton() const { return m_none; }

protected:
    void OnInitPage() override;

private:
    void FillList();
    void SelectAll(bool selected);

    COptionsModel& m_model;
    QTableWidget* m_list;
    QPushButton* m_all;
    QPushButton* m_none;
};

}  // namespace corvid
