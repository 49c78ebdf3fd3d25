// dialer: the phone keypad.
//   dialer [--device DIR]
//   dialer [--device DIR] --screenshot FILE.png [--theme NAME] [--number NUMBER]
#include <QApplication>
#include <filesystem>
#include <iostream>

#include "dialer/dialer_doc.h"
#include "dialer/ui/dialer_ui.h"
#include "dialer/ui/dialer_window.h"
#include "dialer/ui/screenshot.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

int Usage(const std::string& why) {
    std::cerr << "dialer: " << why << "\n"
              << "usage: dialer [--device DIR]\n"
                 "       dialer [--device DIR] --screenshot FILE.png [--theme NAME] [--number N]\n"
                 "  --screenshot  draws the window offscreen into FILE.png and ends\n"
                 "  --theme       the theme to draw (a package name without \".thm\")\n"
                 "  --number      the number on the display (default +49 171 2345678)\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string device, screenshot, theme, number = "+49 171 2345678";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        if (a == "--device") {
            if (!value(device))
                return Usage("--device needs a folder");
        } else if (a == "--screenshot") {
            if (!value(screenshot))
                return Usage("--screenshot needs a file name");
        } else if (a == "--theme") {
            if (!value(theme))
                return Usage("--theme needs a theme name");
        } else if (a == "--number") {
            if (!value(number))
                return Usage("--number needs a number");
        } else if (a == "--help" || a == "-h") {
            return Usage("the phone keypad"), 0;
        } else if (!a.empty()) {
            // telmio starts it with an empty command line; nothing else is meant for it.
            return Usage("unknown argument " + a);
        }
    }
    if (screenshot.empty() && !theme.empty())
        return Usage("--theme goes with --screenshot");
    if (!device.empty())
        ce::SetDeviceRoot(device);
    std::error_code ec;
    if (!std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        std::cerr << "dialer: the device folder " << ce::DeviceRoot().string()
                  << " does not exist; make it with `kvo-device --device DIR create`, or name "
                     "another with --device\n";
        return 1;
    }
    ce::SetAppName(u"dialer");
    if (screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        std::cerr << "dialer: no display (DISPLAY or WAYLAND_DISPLAY); use `kvo call NUMBER` on "
                     "a terminal, or --screenshot\n";
        return 1;
    }
    if (!screenshot.empty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("dialer");

    kvo::dialer::CDialerUi ui;
    kvo::dialer::CDialerDoc doc(ui);
    if (!screenshot.empty()) {
        // A picture shows the theme asked for, without boxes about the device.
        kvo::CSilentUi silent;
        kvo::dialer::CDialerDoc quiet(silent);
        if (!theme.empty()) {
            if (!quiet.SelectTheme(ce::FromUtf8(theme) + u".thm")) {
                std::cerr << "dialer: the theme \"" << theme
                          << "\" cannot be loaded (see \\windows\\dialer\\*.thm)\n";
                return 1;
            }
        } else {
            quiet.LoadSettings();
        }
        quiet.Number() = ce::FromUtf8(number);
        kvo::dialer::CDialerWindow window(quiet, ui);
        std::string error;
        if (!kvo::dialer::WriteDialerScreenshot(window, screenshot, error)) {
            std::cerr << "dialer: " << error << "\n";
            return 1;
        }
        return 0;
    }
    doc.LoadSettings();
    kvo::dialer::CDialerWindow window(doc, ui);
    ui.SetParent(&window);
    window.show();
    return app.exec();
}
