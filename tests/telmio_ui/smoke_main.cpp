// Under a real X server (xvfb-run): the window "kvo SMS" maps on a fresh device and Exit
// ends it cleanly. Exit status 0 on success.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "platform/profile.h"
#include "telmio/ui/main_frame.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "telmio_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "telmio_ui_smoke: " << error << "\n";
        return 1;
    }
    ce::SetAppName(u"telmio");
    QApplication app(argc, argv);
    kvo::ui::CWindowUi ui;
    kvo::CTelmioDoc doc(ui);
    if (!doc.OnNewDocument(false)) {
        std::cerr << "telmio_ui_smoke: the client did not start\n";
        return 1;
    }
    kvo::ui::CMainFrame frame(doc, ui);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame, 20000)) {
        std::cerr << "telmio_ui_smoke: the window never mapped\n";
        return 1;
    }
    if (frame.windowTitle() != "kvo SMS" || frame.width() < 240) {
        std::cerr << "telmio_ui_smoke: title \"" << frame.windowTitle().toStdString()
                  << "\", width " << frame.width() << "\n";
        return 1;
    }
    bool ended = false;
    QObject::connect(&app, &QApplication::lastWindowClosed, [&] { ended = true; });
    QTimer::singleShot(0, &frame, [&] { frame.Action(kvo::ui::CMainFrame::CMD_EXIT)->trigger(); });
    QTimer::singleShot(20000, &app, [&] { app.exit(3); });
    int rc = app.exec();
    if (rc != 0 || !ended || frame.isVisible()) {
        std::cerr << "telmio_ui_smoke: Exit did not close the window (rc " << rc << ")\n";
        return 1;
    }
    std::cout << "telmio_ui_smoke: the window mapped and Exit closed it\n";
    return 0;
}
