#include "list/qt/SortableHeaderView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

#include "list/SortableHeaderCtrl.h"

namespace corvid {

CSortableHeaderView::CSortableHeaderView(CSortableHeaderCtrl& arrows, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent), m_arrows(arrows) {
    setSectionsMovable(true);
    setSectionsClickable(true);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int logical) { emit columnClicked(logical, m_releaseModifiers.testFlag(Qt::ControlModifier)); });
}

void CSortableHeaderView::mouseReleaseEvent(QMouseEvent* event) {
    // sectionClicked comes from inside the release, for the left button only.
    m_releaseModifiers = event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}

void CSortableHeaderView::PaintSortArrow(QPainter& painter, const QRect& cell, const QString& title, bool ascending,
                                         const QFont& font, const QPalette& palette, const QColor& face) {
    const int w = cell.width();
    const int h = cell.height();
    painter.save();
    painter.translate(cell.topLeft());
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (w > 22) {
        painter.setFont(font);
        painter.setPen(palette.color(QPalette::ButtonText));
        const QRect textRect(QPoint(0, 2), QPoint(w - 22 - 1, h - 1));
        const QString shown = painter.fontMetrics().elidedText(title, Qt::ElideRight, textRect.width());
        painter.drawText(textRect.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    const QPen white(qGray(face.rgb()) < 224 ? QColor(Qt::white) : palette.color(QPalette::Dark));
    const QPen black(Qt::black);
    if (ascending) {
        painter.setPen(white);
        painter.drawLine(w - 18, 4, w - 22, 12);
        painter.setPen(black);
        painter.drawLine(w - 22, 12, w - 14, 12);
        painter.drawLine(w - 14, 12, w - 18, 4);
    } else {
        painter.setPen(white);
        painter.drawLine(w - 14, 4, w - 22, 4);
        painter.drawLine(w - 22, 4, w - 18, 12);
        painter.setPen(black);
        painter.drawLine(w - 18, 12, w - 14, 4);
    }
    painter.restore();
}

void CSortableHeaderView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    bool ascending = true;
    if (!rect.isValid() || !m_arrows.HasSortArrow(logicalIndex, &ascending)) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    // The cell's frame and face as the style draws them, without its title; the
    // title and the arrow go on top.
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    option.sortIndicator = QStyleOptionHeader::None;
    option.state |= QStyle::State_Raised;
    if (isEnabled()) option.state |= QStyle::State_Enabled;
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();
    const QString title =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    PaintSortArrow(*painter, rect, title, ascending, font(), palette(), palette().color(QPalette::Button));
}

}  // namespace corvid
