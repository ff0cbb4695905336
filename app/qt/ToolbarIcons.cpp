#include "app/qt/ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace corvid {

namespace {

const QColor kOutline(40, 48, 64);
const QColor kDatabase(86, 140, 200);
const QColor kDatabaseTop(150, 190, 235);
const QColor kSheet(250, 250, 246);
const QColor kArrow(36, 150, 64);
const QColor kRed(200, 56, 48);
const QColor kGold(226, 170, 40);

// A cylinder standing for the database, within the given rectangle.
void DrawDatabase(QPainter& p, const QRectF& r) {
    const qreal capHeight = r.height() / 4.0;
    QPainterPath body;
    body.moveTo(r.left(), r.top() + capHeight / 2);
    body.lineTo(r.left(), r.bottom() - capHeight / 2);
    body.arcTo(QRectF(r.left(), r.bottom() - capHeight, r.width(), capHeight), 180, 180);
    body.lineTo(r.right(), r.top() + capHeight / 2);
    body.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kDatabase);
    p.drawPath(body);
    p.setBrush(kDatabaseTop);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), capHeight));
    // The middle band of the cylinder.
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(r.left(), r.center().y() - capHeight / 2, r.width(), capHeight), 180 * 16, 180 * 16);
}

// A sheet of paper with text lines and a folded corner.
void DrawSheet(QPainter& p, const QRectF& r, int lines) {
    const qreal fold = 3;
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kSheet);
    p.drawPath(sheet);
    p.setPen(QPen(QColor(120, 130, 150), 1));
    for (int i = 0; i < lines; ++i) {
        const qreal y = r.top() + 3 + i * 2;
        if (y > r.bottom() - 1.5) break;
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2 - (i % 2), y));
    }
}

// A thick arrow from `from` to `to`.
void DrawArrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    QLineF line(from, to);
    QLineF back(to, from);
    back.setLength(3.5);
    QLineF left = back;
    left.setAngle(back.angle() + 40);
    QLineF right = back;
    right.setAngle(back.angle() - 40);
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(line);
    p.drawLine(left);
    p.drawLine(right);
}

QPixmap Paint(ECommand command) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (command) {
        case ECommand::Load:
            DrawDatabase(p, QRectF(0.5, 0.5, 9, 12));
            DrawArrow(p, QPointF(7, 11.5), QPointF(14, 11.5), kArrow);
            p.setPen(QPen(kOutline, 1));
            p.drawLine(QPointF(15.5, 8), QPointF(15.5, 15));
            break;
        case ECommand::Export:
            DrawSheet(p, QRectF(0.5, 0.5, 10, 14), 6);
            DrawArrow(p, QPointF(6, 10), QPointF(14.5, 10), kArrow);
            break;
        case ECommand::FlushSharedPool:
            DrawDatabase(p, QRectF(0.5, 0.5, 10, 12));
            p.setPen(QPen(kRed, 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(9, 9), QPointF(14.5, 14.5));
            p.drawLine(QPointF(14.5, 9), QPointF(9, 14.5));
            break;
        case ECommand::ShowStatement: {
            DrawSheet(p, QRectF(0.5, 0.5, 10, 13), 5);
            p.setPen(QPen(kOutline, 1.3));
            p.setBrush(QColor(210, 230, 250, 200));
            p.drawEllipse(QRectF(7, 6.5, 6, 6));
            p.setPen(QPen(kOutline, 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(12.3, 11.8), QPointF(15, 14.8));
            break;
        }
        case ECommand::FindSimilar:
            DrawSheet(p, QRectF(0.5, 0.5, 8, 11), 4);
            DrawSheet(p, QRectF(6.5, 4.5, 8.5, 11), 4);
            p.setPen(QPen(kGold, 1.6));
            p.drawLine(QPointF(2, 13.5), QPointF(5.5, 13.5));
            p.drawLine(QPointF(2, 15.2), QPointF(5.5, 15.2));
            break;
        case ECommand::StatementFamilies:
            // Three rows of one shape, stacked: the copies of one statement.
            for (int i = 0; i < 3; ++i) {
                const qreal y = 1.5 + i * 4.5;
                p.setPen(QPen(kOutline, 1));
                p.setBrush(i == 0 ? kDatabaseTop : kSheet);
                p.drawRect(QRectF(0.5 + i, y, 14 - i, 3.5));
                p.setPen(QPen(kGold, 1.4));
                p.drawLine(QPointF(9 + i * 0.5, y + 1.75), QPointF(12.5, y + 1.75));
            }
            break;
        case ECommand::Options:
            p.setPen(QPen(kOutline, 1.2));
            for (int i = 0; i < 3; ++i) {
                const qreal x = 3 + i * 5;
                p.drawLine(QPointF(x, 1), QPointF(x, 15));
            }
            p.setBrush(kDatabaseTop);
            p.drawRect(QRectF(1, 9, 4, 3));
            p.drawRect(QRectF(6, 3, 4, 3));
            p.drawRect(QRectF(11, 7, 4, 3));
            break;
        case ECommand::About: {
            p.setPen(QPen(kOutline, 1));
            p.setBrush(kDatabase);
            p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(6.8, 2.8, 2.4, 2.4));
            p.drawRoundedRect(QRectF(6.9, 6.5, 2.2, 7), 0.8, 0.8);
            break;
        }
        default:
            break;
    }
    p.end();
    return pixmap;
}

}  // namespace

QIcon ToolbarIcon(ECommand command) {
    switch (command) {
        case ECommand::Load:
        case ECommand::Export:
        case ECommand::FlushSharedPool:
        case ECommand::ShowStatement:
        case ECommand::FindSimilar:
        case ECommand::StatementFamilies:
        case ECommand::Options:
        case ECommand::About:
            return QIcon(Paint(command));
        default:
            return QIcon();
    }
}

QImage ApplicationIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    // Drawn on a 16 x 16 grid; thin lines keep one pixel at small sizes.
    p.scale(size / 16.0, size / 16.0);
    DrawDatabase(p, QRectF(0.5, 0.5, 10, 13));
    const QRectF chart(5.5, 6.5, 10, 9);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kSheet);
    p.drawRect(chart);
    // Bars of falling height and the rising line of their running share.
    const qreal heights[] = {6.5, 3.5, 2, 1};
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(chart.left() + 1 + i * 2.1, chart.bottom() - 0.5 - heights[i], 1.6, heights[i]));
    }
    p.setPen(QPen(kRed, 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const QPointF line[] = {{chart.left() + 1.8, chart.bottom() - 5},
                            {chart.left() + 3.9, chart.bottom() - 6.8},
                            {chart.left() + 6, chart.bottom() - 7.6},
                            {chart.left() + 8.9, chart.bottom() - 7.9}};
    p.drawPolyline(line, 4);
    p.end();
    return image;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ApplicationIconImage(size)));
    return icon;
}

}  // namespace corvid
