// The taskbar graph as a system tray icon, where the desktop has a tray.
#pragma once
#include <QSystemTrayIcon>
#include <memory>

#include "linkwatch/monitor.h"

namespace kvo::linkwatch {

class CTrayGraph {
public:
    explicit CTrayGraph(CMonitor& monitor);
    // Draws the monitor's latest graph.
    void Redraw();
    bool IsShown() const { return m_tray != nullptr; }

private:
    CMonitor& m_monitor;
    std::unique_ptr<QSystemTrayIcon> m_tray;
};

}  // namespace kvo::linkwatch
