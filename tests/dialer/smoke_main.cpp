// Under a real X server (xvfb-run): the dialer's window "RIV Udovez" maps 240 wide on a fresh
// device, and Exit ends it. Exit status 0 on success.
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "dialer/ui/dialer_window.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "dialer_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "dialer_ui_smoke: " << error << "\n";
        return 1;
    }
    QApplication app(argc, argv);
    kvo::dialer::CDialerUi ui;
    kvo::dialer::CDialerDoc doc(ui);
    doc.LoadSettings();
    kvo::dialer::CDialerWindow window(doc, ui);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 20000)) {
        std::cerr << "dialer_ui_smoke: the window never mapped\n";
        return 1;
    }
    if (window.windowTitle() != "RIV Udovez" || window.width() != 240 || !doc.HasTheme()) {
        std::cerr << "dialer_ui_smoke: title \"" << window.windowTitle().toStdString()
                  << "\", width " << window.width() << ", theme " << doc.HasTheme() << "\n";
        return 1;
    }
    QAction* exit = nullptr;
    for (QAction* a : window.menuBar()->actions().value(0)->menu()->actions())
        if (a->text() == "Exit")
            exit = a;
    if (!exit) {
        std::cerr << "dialer_ui_smoke: no Exit in the menu\n";
        return 1;
    }
    QTimer::singleShot(0, &window, [exit] { exit->trigger(); });
    QTimer::singleShot(20000, &app, [&] { app.exit(3); });
    int rc = app.exec();
    if (rc != 0 || window.isVisible()) {
        std::cerr << "dialer_ui_smoke: Exit did not close the window (rc " << rc << ")\n";
        return 1;
    }
    std::cout << "dialer_ui_smoke: the window mapped and Exit closed it\n";
    return 0;
}
