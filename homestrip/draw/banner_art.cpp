#include "homestrip/draw/banner_art.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace kvo::today {
namespace {

const QColor kTransparent(252, 2, 132);

struct Tile {
    int left, right;  // inclusive, as the tap zones
    const char* label;
    QColor accent;
    std::function<void(QPainter&, QPointF centre, const QColor&)> icon;
};

void Signal(QPainter& p, QPointF c, const QColor& col) {
    p.setPen(QPen(col, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        double r = 3.0 * i;
        p.drawArc(QRectF(c.x() - r, c.y() + 2 - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    p.drawEllipse(QPointF(c.x(), c.y() + 2), 1.8, 1.8);
}

void Globe(QPainter& p, QPointF c, const QColor& col) {
    p.setPen(QPen(col, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 7, 7);
    p.drawEllipse(c, 3, 7);
    p.drawLine(QPointF(c.x() - 7, c.y()), QPointF(c.x() + 7, c.y()));
}

void Envelope(QPainter& p, QPointF c, const QColor& col) {
    QRectF r(c.x() - 8, c.y() - 5.5, 16, 11);
    p.setPen(QPen(col, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.drawPolyline(QPolygonF(
        {r.topLeft() + QPointF(1, 1), QPointF(c.x(), c.y() + 1), r.topRight() + QPointF(-1, 1)}));
}

void Bubble(QPainter& p, QPointF c, const QColor& col) {
    QPainterPath b;
    b.addRoundedRect(QRectF(c.x() - 8, c.y() - 6.5, 16, 10.5), 4, 4);
    QPainterPath tail;
    tail.moveTo(c.x() - 4, c.y() + 3);
    tail.lineTo(c.x() - 6, c.y() + 7.5);
    tail.lineTo(c.x() + 1, c.y() + 3);
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    p.drawPath(b.united(tail));
    p.setBrush(QColor(0x1c, 0x2a, 0x3d));
    for (int i = -1; i <= 1; ++i) p.drawEllipse(QPointF(c.x() + 4 * i, c.y() - 1.5), 1.3, 1.3);
}

void Grid(QPainter& p, QPointF c, const QColor& col) {
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            p.drawRoundedRect(QRectF(c.x() - 7 + 8 * i, c.y() - 7 + 8 * j, 6, 6), 1.5, 1.5);
}

void Bars(QPainter& p, QPointF c, const QColor& col) {
    p.setPen(Qt::NoPen);
    p.setBrush(col);
    const double h[] = {5, 9, 7, 13};
    for (int i = 0; i < 4; ++i) p.drawRect(QRectF(c.x() - 8 + 4.3 * i, c.y() + 6 - h[i], 3, h[i]));
}

}  // namespace

QImage DrawBanner() {
    QImage img(240, 36, QImage::Format_RGB32);
    img.fill(kTransparent);
    const Tile tiles[] = {
        {0, 48, "Connect", QColor(0x5d, 0xd3, 0x8c), Signal},
        {49, 82, "Web", QColor(0x6c, 0xb8, 0xff), Globe},
        {83, 121, "Mail", QColor(0xff, 0xd2, 0x6a), Envelope},
        {122, 156, "SMS", QColor(0xff, 0x9a, 0x7a), Bubble},
        {157, 202, "App", QColor(0xd3, 0xa6, 0xff), Grid},
        {203, 239, "Status", QColor(0x7f, 0xe6, 0xe0), Bars},
    };
    QPainter p(&img);
    QFont font("DejaVu Sans");
    font.setPixelSize(9);
    font.setBold(true);
    for (const Tile& t : tiles) {
        // Square tiles with a gap: edges that need no smoothing against the transparent colour.
        QRect r(t.left + 1, 1, t.right - t.left - 1, 34);
        p.setRenderHint(QPainter::Antialiasing, false);
        QLinearGradient g(0, r.top(), 0, r.bottom());
        g.setColorAt(0, QColor(0x2f, 0x45, 0x63));
        g.setColorAt(1, QColor(0x16, 0x22, 0x33));
        p.fillRect(r, g);
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), t.accent);
        p.setRenderHint(QPainter::Antialiasing, true);
        t.icon(p, QPointF(r.center().x() + 0.5, 12), t.accent);
        p.setFont(font);
        p.setPen(QColor(0xe9, 0xef, 0xf6));
        p.drawText(QRect(r.left(), 22, r.width(), 12), Qt::AlignCenter, t.label);
    }
    p.end();
    return img;
}

}  // namespace kvo::today
