#include "icons.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap canvas(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A 4 x 4 grid of palette colours with an arrow across its lower right corner.
QPixmap drawMain(int size)
{
    QPixmap pixmap = canvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal cell = size / 4.0;
    static const QRgb colours[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                     0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (int i = 0; i < 16; ++i)
        painter.fillRect(QRectF((i % 4) * cell, (i / 4) * cell, cell, cell), QColor(colours[i]));
    painter.setPen(QPen(Qt::black, size / 32.0));
    painter.drawRect(QRectF(0, 0, size, size).adjusted(0.5, 0.5, -0.5, -0.5));

    const qreal s = size / 32.0;
    QPolygonF arrow({{6 * s, 20 * s}, {18 * s, 20 * s}, {18 * s, 15 * s}, {28 * s, 23 * s},
                     {18 * s, 31 * s}, {18 * s, 26 * s}, {6 * s, 26 * s}});
    painter.setPen(QPen(Qt::black, 1.5 * s));
    painter.setBrush(Qt::white);
    painter.drawPolygon(arrow);
    return pixmap;
}

// A sheet of lines with a red round mark.
QPixmap drawErrorList(int size)
{
    QPixmap pixmap = canvas(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    painter.setPen(QPen(Qt::black, s));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(4 * s, 2 * s, 20 * s, 27 * s));
    painter.setPen(QPen(QColor(0x606060), 1.5 * s));
    for (int line = 0; line < 5; ++line)
        painter.drawLine(QPointF(8 * s, (8 + 4 * line) * s), QPointF(20 * s, (8 + 4 * line) * s));
    painter.setPen(QPen(QColor(0x800000), s));
    painter.setBrush(QColor(0xD01010));
    painter.drawEllipse(QRectF(15 * s, 15 * s, 16 * s, 16 * s));
    painter.setPen(QPen(Qt::white, 2.5 * s, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(23 * s, 18.5 * s), QPointF(23 * s, 24.5 * s));
    painter.drawPoint(QPointF(23 * s, 28 * s));
    return pixmap;
}

QIcon iconFrom(QPixmap (*draw)(int))
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(draw(size));
    return icon;
}

} // namespace

QIcon MainWindowIcon()
{
    static const QIcon icon = iconFrom(drawMain);
    return icon;
}

QIcon ErrorListIcon()
{
    static const QIcon icon = iconFrom(drawErrorList);
    return icon;
}
