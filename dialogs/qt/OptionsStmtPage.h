#pragma once

#include <array>

#include "dialogs/qt/PropertySheet.h"

class QCheckBox;

namespace corvid {

class COptionsModel;

// "Statement Filter": which statement types a load takes.
class CSqlStmtPage : public CPropertyPage {
    Q_OBJECT
public:
    enum EKind { kSelect, kInsert, kUpdate, kDelete, kOthers, kKindCount };

    explicit CSqlStmtPage(COptionsModel& model, QWidget* parent = nullptr);

    bool OnKillActive() override;

    QCheckBox* KindBox(int kind) const { return m_boxes.at(kind); }

protected:
    void OnInitPage() override;

private:
    std::int32_t& Setting(int kind) const;

    COptionsModel& m_model;
    std::array<QCheckBox*, kKindCount> m_boxes{};
};

}  // namespace corvid
