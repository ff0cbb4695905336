#include "app/qt/FamilyTextDelegate.h"

#include <QApplication>
#include <QPainter>

#include "list/qt/ListViewEx.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {

QColor FamilyTokenColor(int tokenClass) {
    // The statement page's colour table: black, red, green, blue.
    static const QColor kColors[4] = {QColor(0, 0, 0), QColor(255, 0, 0), QColor(0, 160, 0), QColor(0, 0, 255)};
    const int index = CSqlStatementParser::ColorIndexOf(tokenClass);
    return kColors[index >= 0 && index < 4 ? index : 0];
}

CFamilyTextDelegate::CFamilyTextDelegate(CListViewEx* view) : QStyledItemDelegate(view), m_view(view) {}

void CFamilyTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    if (index.row() == m_view->HotRow() && !(item.state & QStyle::State_Selected)) {
        QColor tint = item.palette.color(QPalette::Highlight);
        tint.setAlpha(40);
        painter->fillRect(item.rect, tint);
    }
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(2, 0, -2, 0);
    const bool selected = (item.state & QStyle::State_Selected) != 0;
    const std::string utf8 = text.toStdString();
    const std::vector<ColorRecord> records = CSqlStatementParser::TokenizeSql(utf8);

    painter->save();
    painter->setClipRect(area);
    painter->setFont(item.font);
    const QFontMetrics metrics(item.font);
    int x = area.left();
    const int baseline = area.top() + (area.height() + metrics.ascent() - metrics.descent()) / 2;
    for (std::size_t r = 0; r < records.size() && x < area.right(); ++r) {
        const std::size_t begin = static_cast<std::size_t>(records[r].m_Position);
        const std::size_t end =
            r + 1 < records.size() ? static_cast<std::size_t>(records[r + 1].m_Position) : utf8.size();
        if (begin >= end || begin >= utf8.size()) continue;
        const QString run = QString::fromUtf8(utf8.data() + begin, static_cast<qsizetype>(end - begin));
        painter->setPen(selected ? item.palette.color(QPalette::HighlightedText)
                                 : FamilyTokenColor(records[r].m_Class));
        painter->drawText(x, baseline, run);
        x += metrics.horizontalAdvance(run);
    }
    painter->restore();
}

}  // namespace corvid
