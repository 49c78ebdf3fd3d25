// today: the handheld's Today screen with the items registered in the device.
//   today [--device DIR]
//   today [--device DIR] --screenshot FILE.png
#include <QApplication>
#include <QMessageBox>
#include <filesystem>
#include <iostream>

#include "platform/device.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "tools/today/today_host.h"
#include "tools/today/today_window.h"

namespace {

int Usage(const std::string& why) {
    std::cerr << "today: " << why << "\n"
              << "usage: today [--device DIR] [--screenshot FILE.png]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string device, screenshot;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--device" && i + 1 < argc) {
            device = argv[++i];
        } else if (a == "--screenshot" && i + 1 < argc) {
            screenshot = argv[++i];
        } else if (a == "--help" || a == "-h") {
            return Usage("the Today screen"), 0;
        } else {
            return Usage("unknown or incomplete argument " + a);
        }
    }
    if (!device.empty())
        ce::SetDeviceRoot(device);
    std::error_code ec;
    if (!std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        std::cerr << "today: the device folder " << ce::DeviceRoot().string()
                  << " does not exist; make it with `kvo-device --device DIR create`\n";
        return 1;
    }
    if (screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        std::cerr << "today: no display (DISPLAY or WAYLAND_DISPLAY); use --screenshot\n";
        return 1;
    }
    if (!screenshot.empty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kvo::today::CTodayHost host;
    std::vector<std::string> problems;
    host.LoadItems(problems);
    for (const auto& p : problems) std::cerr << "today: " << p << "\n";
    if (!screenshot.empty()) {
        if (!host.Paint().save(QString::fromStdString(screenshot), "PNG")) {
            std::cerr << "today: cannot write " << screenshot << "\n";
            return 1;
        }
        return 0;
    }
    kvo::today::InstallTelmioFinder();
    kvo::today::CTodayWindow window(host);
    ce::SetMessageBoxHandler(
        [&window](std::u16string_view text, std::u16string_view caption, uint32_t type) {
            QString t = QString::fromStdU16String(std::u16string(text));
            QString c = QString::fromStdU16String(std::u16string(caption));
            uint32_t icon = type & ce::MB_ICONMASK;
            if (icon == ce::MB_ICONINFORMATION)
                QMessageBox::information(&window, c, t);
            else if (icon == ce::MB_ICONHAND)
                QMessageBox::critical(&window, c, t);
            else
                QMessageBox::warning(&window, c, t);
            return int(ce::IDOK);
        });
    window.show();
    return app.exec();
}
