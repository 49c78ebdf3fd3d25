// Under a real X server (xvfb-run): the updater's window maps on a fresh device and Quit ends
// it cleanly. Exit status 0 on success.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "updater/ui/main_frame.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "updater_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "updater_ui_smoke: " << error << "\n";
        return 1;
    }
    QApplication app(argc, argv);
    kvo::updater::ui::CStatusUi status;
    kvo::updater::CUpdaterDoc doc(status);
    if (!doc.StartUp(u"\\Program Files\\Orvane Updater\\",
                     u"/app=WM2003_kvopro_Eng_300 \"/path=\\Program Files\\kvonet pro\"", error)) {
        std::cerr << "updater_ui_smoke: " << error << "\n";
        return 1;
    }
    kvo::updater::ui::CMainFrame frame(doc, status);
    frame.show();
    frame.Start();
    if (!QTest::qWaitForWindowExposed(&frame, 20000)) {
        std::cerr << "updater_ui_smoke: the window never mapped\n";
        return 1;
    }
    if (frame.windowTitle() != "Updater" || frame.width() < 240) {
        std::cerr << "updater_ui_smoke: title \"" << frame.windowTitle().toStdString()
                  << "\", width " << frame.width() << "\n";
        return 1;
    }
    bool ended = false;
    QObject::connect(&app, &QApplication::lastWindowClosed, [&] { ended = true; });
    QTimer::singleShot(0, &frame, [&] { frame.MainView()->QuitButton()->click(); });
    QTimer::singleShot(20000, &app, [&] { app.exit(3); });
    int rc = app.exec();
    if (rc != 0 || !ended || frame.isVisible()) {
        std::cerr << "updater_ui_smoke: Quit did not close the window (rc " << rc << ")\n";
        return 1;
    }
    std::cout << "updater_ui_smoke: the window mapped and Quit closed it\n";
    return 0;
}
