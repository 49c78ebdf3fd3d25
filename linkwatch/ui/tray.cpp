#include "linkwatch/ui/tray.h"

#include <QPixmap>

#include "linkwatch/draw/graph.h"

namespace kvo::linkwatch {

CTrayGraph::CTrayGraph(CMonitor& monitor) : m_monitor(monitor) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("TaskBarIcon"));
    QObject::connect(m_tray.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason why) {
                         if (why == QSystemTrayIcon::Trigger)
                             m_monitor.Tap();
                     });
    Redraw();
    m_tray->show();
}

void CTrayGraph::Redraw() {
    if (!m_tray)
        return;
    m_tray->setIcon(QIcon(QPixmap::fromImage(DrawGraph(m_monitor.Graph()))));
}

}  // namespace kvo::linkwatch
