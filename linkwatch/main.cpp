// linkwatch: counts the suite's connection in the background until asked to stop.
#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>

#include <cstdlib>

#include "linkwatch/monitor.h"
#include "linkwatch/ui/tray.h"

int main(int argc, char** argv) {
    // It runs for days: a pipe of whoever started it must not wait for it to end.
    if (int null = open("/dev/null", O_RDWR); null >= 0) {
        for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
        if (null > 2)
            close(null);
    }
    // Without a desktop the graph is still drawn, just shown nowhere; a desktop that cannot
    // be reached (a stale DISPLAY after a logout) must not stop the counting either.
    if (!std::getenv("QT_QPA_PLATFORM")) {
        const bool desktop = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
        setenv("QT_QPA_PLATFORM", desktop ? "xcb;wayland;offscreen" : "offscreen", 1);
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    kvo::linkwatch::CLinkMeterSource link;
    kvo::linkwatch::MonitorHooks hooks;
    hooks.pLink = &link;
    kvo::linkwatch::CMonitor monitor(kvo::linkwatch::CMonitorFiles::Installed(), hooks);
    if (monitor.Start() != kvo::linkwatch::CMonitor::StartResult::Running)
        return 0;

    kvo::linkwatch::CTrayGraph tray(monitor);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!monitor.Tick()) {
            timer.stop();
            app.exit(1);
            return;
        }
        tray.Redraw();
    });
    timer.start(1000);
    return app.exec();
}
