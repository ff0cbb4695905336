#pragma once

#include <QHeaderView>

namespace corvid {

class CSortableHeaderCtrl;

// The statement list's header: movable, resizable sections, and in every column
// that is a sort key an arrow painted beside the (shortened) title. Which columns
// show an arrow comes from the core header. Left clicks report the column and
// whether Ctrl was held; other buttons do not sort.
class CSortableHeaderView : public QHeaderView {
    Q_OBJECT
public:
    CSortableHeaderView(CSortableHeaderCtrl& arrows, QWidget* parent = nullptr);

    // The sort-arrow image of one cell, w x h pixels: the button face, the title
    // clipped with an ellipsis left of the arrow (when w > 22), and the arrow as
    // three lines, white on its lit side and black on its shaded sides. On a face
    // too light for white to show, the lit side takes the palette's dark shade.
    static void PaintSortArrow(QPainter& painter, const QRect& cell, const QString& title, bool ascending,
                               const QFont& font, const QPalette& palette, const QColor& face);

signals:
    // A left click on a header cell (not the end of a drag).
    void columnClicked(int column, bool ctrlHeld);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CSortableHeaderCtrl& m_arrows;
    Qt::KeyboardModifiers m_releaseModifiers;
};

}  // namespace corvid
