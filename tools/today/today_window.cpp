#include "tools/today/today_window.h"

#include <QMouseEvent>
#include <QPainter>

namespace kvo::today {

CTodayWindow::CTodayWindow(CTodayHost& host, QWidget* parent) : QWidget(parent), m_host(host) {
    setWindowTitle("Today");
    setFixedSize(kScreenWidth, kScreenHeight);
}

void CTodayWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, m_host.Paint());
}

void CTodayWindow::mouseReleaseEvent(QMouseEvent* e) {
    QPoint at = e->position().toPoint();
    // A tap may start a program that changes the picture (a new "connect.tdy").
    if (m_host.Tap(at.x(), at.y()))
        update();
}

}  // namespace kvo::today
