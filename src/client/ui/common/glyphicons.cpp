#include "client/ui/common/glyphicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

namespace vantrell::client {

namespace {

// Drawn on a 24-unit square.
void draw(QPainter &p, Glyph glyph)
{
    switch (glyph) {
    case Glyph::User:
        p.drawEllipse(QRectF(8.5, 4.5, 7, 7));
        p.drawArc(QRectF(4.5, 13.5, 15, 12), 0, 180 * 16);
        break;
    case Glyph::Minimise:
        p.drawLine(QPointF(6.5, 12.5), QPointF(17.5, 12.5));
        break;
    case Glyph::Maximise:
        p.drawRect(QRectF(6.5, 6.5, 11, 11));
        break;
    case Glyph::Restore:
        p.drawRect(QRectF(6.5, 9.5, 8, 8));
        p.drawPolyline(QPolygonF({QPointF(9.5, 9.5), QPointF(9.5, 6.5), QPointF(17.5, 6.5),
                                  QPointF(17.5, 14.5), QPointF(14.5, 14.5)}));
        break;
    case Glyph::Close:
        p.drawLine(QPointF(7, 7), QPointF(17, 17));
        p.drawLine(QPointF(17, 7), QPointF(7, 17));
        break;
    case Glyph::Orders:
        p.drawRoundedRect(QRectF(5.5, 4.5, 13, 16), 2, 2);
        for (const qreal y : {9.5, 12.5, 15.5})
            p.drawLine(QPointF(8.5, y), QPointF(15.5, y));
        break;
    case Glyph::Goods: {
        QPainterPath box;
        box.moveTo(12, 4);
        box.lineTo(19.5, 8);
        box.lineTo(19.5, 16.5);
        box.lineTo(12, 20.5);
        box.lineTo(4.5, 16.5);
        box.lineTo(4.5, 8);
        box.closeSubpath();
        p.drawPath(box);
        p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(12, 12), QPointF(19.5, 8)}));
        p.drawLine(QPointF(12, 12), QPointF(12, 20.5));
        break;
    }
    case Glyph::Partners:
        p.drawEllipse(QRectF(4.5, 5.5, 6, 6));
        p.drawEllipse(QRectF(13.5, 5.5, 6, 6));
        p.drawArc(QRectF(2.5, 13.5, 10, 9), 0, 180 * 16);
        p.drawArc(QRectF(11.5, 13.5, 10, 9), 0, 180 * 16);
        break;
    case Glyph::Finance:
        p.drawEllipse(QRectF(4.5, 4.5, 15, 15));
        p.drawPolyline(QPolygonF({QPointF(9, 8), QPointF(12, 11.5), QPointF(15, 8)}));
        p.drawLine(QPointF(12, 11.5), QPointF(12, 17));
        p.drawLine(QPointF(9, 12.5), QPointF(15, 12.5));
        p.drawLine(QPointF(9, 15), QPointF(15, 15));
        break;
    case Glyph::Exit:
        p.drawArc(QRectF(5, 6, 14, 14), 125 * 16, 290 * 16);
        p.drawLine(QPointF(12, 3.5), QPointF(12, 11.5));
        break;
    }
}

QPixmap render(Glyph glyph, const QColor &colour, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 24.0, side / 24.0);
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    draw(painter, glyph);
    return pixmap;
}

// Sides in device pixels: the sizes the title bars and navigation show (16 to 24) at the
// usual screen scales, each drawn for itself, so that no picture is scaled from another.
QList<int> sides()
{
    QList<int> all;
    for (const int logical : {16, 18, 20, 24}) {
        for (const qreal scale : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
            const int side = qRound(logical * scale);
            if (!all.contains(side))
                all << side;
        }
    }
    std::sort(all.begin(), all.end());
    return all;
}

} // namespace

QIcon glyphIcon(Glyph glyph, const QColor &colour, const QColor &activeColour)
{
    static const QList<int> drawnSides = sides();
    QIcon icon;
    for (const int side : drawnSides) {
        icon.addPixmap(render(glyph, colour, side), QIcon::Normal, QIcon::Off);
        if (activeColour.isValid()) {
            icon.addPixmap(render(glyph, activeColour, side), QIcon::Normal, QIcon::On);
            icon.addPixmap(render(glyph, activeColour, side), QIcon::Active, QIcon::Off);
        }
    }
    return icon;
}

} // namespace vantrell::client
