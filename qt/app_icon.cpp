#include "qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace platform {

namespace {

// The icon on a 64-unit square, scaled to `size` pixels.
QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x00, 0x00, 0xFF));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawRect(QRectF(9, 12, 46, 40));
    painter.setPen(QPen(Qt::black, 0.6));
    for (const double y : {22.0, 32.0, 42.0}) painter.drawLine(QPointF(9, y), QPointF(55, y));
    painter.setBrush(Qt::NoBrush);
    // The two curves; the second control point of each smooth join mirrors the first.
    QPainterPath resistance(QPointF(10, 50));
    resistance.cubicTo(QPointF(14, 30), QPointF(16, 22), QPointF(24, 20));
    resistance.cubicTo(QPointF(32, 18), QPointF(44, 17), QPointF(54, 16));
    painter.setPen(QPen(QColor(0x00, 0xC0, 0x00), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(resistance);
    QPainterPath current(QPointF(10, 14));
    current.cubicTo(QPointF(14, 36), QPointF(18, 42), QPointF(28, 44));
    current.cubicTo(QPointF(38, 46), QPointF(46, 46), QPointF(54, 46));
    painter.setPen(QPen(QColor(0xE0, 0xC0, 0x00), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(current);
    return pixmap;
}

}  // namespace

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace platform
