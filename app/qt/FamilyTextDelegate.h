#pragma once

#include <QStyledItemDelegate>

namespace corvid {

class CListViewEx;

// Paints a family text in the colours of the statement page: keywords, comments,
// numbers, operators and quoted text each in their own colour. Other cells are
// left to the view's own delegate.
class CFamilyTextDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CFamilyTextDelegate(CListViewEx* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CListViewEx* m_view;
};

// The colour the statement page gives a token class.
QColor FamilyTokenColor(int tokenClass);

}  // namespace corvid
