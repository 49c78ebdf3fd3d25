// Under a real X server (xvfb-run): "connect m", as the monitor's graph starts it, maps its
// window on the traffic page with MONITORSTARTED set, and closing it clears the marker.
// Exit status 0 on success.
#include <QApplication>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "connect/flow/command.h"
#include "connect/ui/boxes.h"
#include "connect/ui/main_dlg.h"
#include "connect/ui/window_main.h"
#include "kvocomm/kvocomm.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "connect_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "connect_ui_smoke: " << error << "\n";
        return 1;
    }
    ce::SetAppName(u"connect");
    QApplication app(argc, argv);
    // The first-run hint would wait for a tap.
    kvo::connect::ui::CBoxes::SetTestMode(true);
    kvo::connect::ui::CBoxUi ui;
    CKvoComm comm;
    kvo::connect::CConnection conn(ui, comm);
    if (!kvo::connect::StartUp(conn)) {
        std::cerr << "connect_ui_smoke: start-up failed\n";
        return 1;
    }
    const std::u16string marker = conn.m_strAppDir + u"MONITORSTARTED";
    std::string problem = "the window never appeared";
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<kvo::connect::ui::CMainDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            QTimer::singleShot(0, [] { QApplication::exit(3); });
            return;
        }
        if (!QTest::qWaitForWindowExposed(dlg, 20000))
            problem = "the window never mapped";
        else if (dlg->Tabs()->currentIndex() != kvo::connect::ui::CMainDlg::PAGE_TRAFFIC)
            problem = "the window did not open on the traffic page";
        else if (!ce::FileExists(marker))
            problem = "MONITORSTARTED was not set";
        else if (dlg->width() != 240)
            problem = "the window is " + std::to_string(dlg->width()) + " wide";
        else
            problem.clear();
        dlg->reject();
    });
    const int rc = kvo::connect::ui::RunWindow(conn, u'm');
    if (rc == 0 && problem.empty() && ce::FileExists(marker))
        problem = "closing in monitor mode left MONITORSTARTED";
    if (rc != 0 || !problem.empty()) {
        std::cerr << "connect_ui_smoke: "
                  << (problem.empty() ? "exit " + std::to_string(rc) : problem) << "\n";
        return 1;
    }
    std::cout << "connect_ui_smoke: connect m mapped on the traffic page and cleaned up\n";
    return 0;
}
