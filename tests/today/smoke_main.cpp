// Under a real X server (xvfb-run): the Today screen maps with the banner item of a fresh
// device, and a tap on the user-program zone reaches the item. Exit status 0 on success.
#include <QApplication>
#include <QTest>
#include <filesystem>
#include <iostream>

#include "platform/message_box.h"
#include "platform/process.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/today/today_window.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::cerr << "today_ui_smoke: needs an X display (run it under xvfb-run -a)\n";
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    kvo::test::TempDevice device;
    std::string error;
    if (!kvo::device::CreateDevice(std::filesystem::path(KVO_BINARY_DIR) / "bin", error)) {
        std::cerr << "today_ui_smoke: " << error << "\n";
        return 1;
    }
    QApplication app(argc, argv);
    kvo::today::CTodayHost host;
    std::vector<std::string> problems;
    host.LoadItems(problems);
    if (host.Items().size() != 1) {
        std::cerr << "today_ui_smoke: " << host.Items().size() << " items loaded\n";
        return 1;
    }
    int boxes = 0;
    ce::SetMessageBoxHandler([&](std::u16string_view, std::u16string_view, uint32_t) {
        ++boxes;
        return int(ce::IDOK);
    });
    kvo::today::CTodayWindow window(host);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 20000) || window.width() != 240) {
        std::cerr << "today_ui_smoke: the window never mapped 240 wide\n";
        return 1;
    }
    // "myapp" is unset on a fresh device: the item answers with its hint, starting nothing.
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(180, kvo::today::kHeaderHeight + 18));
    if (boxes != 1) {
        std::cerr << "today_ui_smoke: the tap did not reach the item\n";
        return 1;
    }
    std::cout << "today_ui_smoke: the Today screen mapped and passed a tap to its item\n";
    return 0;
}
