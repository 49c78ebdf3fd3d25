#include "telmio/ui/images.h"

#include <QPainter>
#include <QPainterPath>

namespace kvo::ui {

namespace {

void Envelope(QPainter& p, const QRectF& r, bool bOpen, const QColor& fill) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill);
    p.drawRect(r);
    if (bOpen) {
        // The flap stands open above the body.
        QPolygonF flap{r.topLeft(), QPointF(r.center().x(), r.top() - r.height() * 0.45),
                       r.topRight()};
        p.drawPolygon(flap);
        p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y() + 1));
        p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y() + 1));
    } else {
        p.drawLine(r.topLeft(), QPointF(r.center().x(), r.center().y()));
        p.drawLine(r.topRight(), QPointF(r.center().x(), r.center().y()));
    }
}

}  // namespace

QPixmap MessageImage(bool bRead, bool bTicked) {
    QPixmap pm(18, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    Envelope(p, QRectF(1.5, bRead ? 6.5 : 4.5, 13, 8), bRead,
             bRead ? QColor(235, 235, 235) : QColor(255, 220, 90));
    if (bTicked) {
        p.setPen(QPen(QColor(0, 140, 0), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(7, 8), QPointF(10.5, 13), QPointF(16.5, 2)});
    }
    return pm;
}

QPixmap SyncImage(int frame) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QColor c = frame == 0 ? QColor(128, 128, 128) : QColor(0, 110, 220);
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
    // Two arrows around a circle; the busy frames turn it by a quarter.
    p.translate(8, 8);
    if (frame == 2) p.rotate(90);
    for (int i = 0; i < 2; ++i) {
        p.drawArc(QRectF(-5.5, -5.5, 11, 11), 20 * 16, 140 * 16);
        p.drawLine(QPointF(-5.2, -1.8), QPointF(-6.8, -4.6));
        p.drawLine(QPointF(-5.2, -1.8), QPointF(-2.4, -2.8));
        p.rotate(180);
    }
    return pm;
}

QIcon ToolIcon(int button) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(30, 30, 30), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    switch (button) {
    case 0:  // new: envelope with a star
        Envelope(p, QRectF(2.5, 7.5, 14, 9), false, QColor(255, 255, 255));
        p.setPen(QPen(QColor(220, 150, 0), 2));
        p.drawLine(QPointF(16, 1), QPointF(16, 7));
        p.drawLine(QPointF(13, 4), QPointF(19, 4));
        break;
    case 1:  // answer: arrow back
    case 2: {  // forward: arrow on
        Envelope(p, QRectF(2.5, 9.5, 13, 8), false, QColor(255, 255, 255));
        p.setPen(QPen(QColor(0, 110, 220), 2, Qt::SolidLine, Qt::RoundCap));
        if (button == 1) {
            p.drawLine(QPointF(17, 5), QPointF(7, 5));
            p.drawLine(QPointF(7, 5), QPointF(10, 2));
            p.drawLine(QPointF(7, 5), QPointF(10, 8));
        } else {
            p.drawLine(QPointF(7, 5), QPointF(17, 5));
            p.drawLine(QPointF(17, 5), QPointF(14, 2));
            p.drawLine(QPointF(17, 5), QPointF(14, 8));
        }
        break;
    }
    case 3:  // delete: a cross
        p.setPen(QPen(QColor(200, 30, 30), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(15, 15));
        p.drawLine(QPointF(15, 5), QPointF(5, 15));
        break;
    case 4:  // synchronise
        p.drawPixmap(2, 2, SyncImage(1));
        break;
    case 5:  // move: a folder with an arrow
        p.setBrush(QColor(250, 210, 110));
        p.drawRect(QRectF(2.5, 6.5, 15, 10));
        p.drawRect(QRectF(2.5, 4.5, 6, 2));
        p.setPen(QPen(QColor(0, 110, 220), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(6, 11.5), QPointF(14, 11.5));
        p.drawLine(QPointF(14, 11.5), QPointF(11, 9));
        p.drawLine(QPointF(14, 11.5), QPointF(11, 14));
        break;
    default:  // exit: a door
        p.setBrush(QColor(200, 160, 110));
        p.drawRect(QRectF(5.5, 2.5, 9, 15));
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(12, 10), 1, 1);
        break;
    }
    return QIcon(pm);
}

QIcon SymbolIcon(const QString& symbol, const QColor& colour) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, symbol);
    return QIcon(pm);
}

}  // namespace kvo::ui
