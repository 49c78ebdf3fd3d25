// telmio: the messaging client's window.
//   telmio [--device DIR] [--sync] [RECIPIENTS]
//   telmio [--device DIR] --screenshot FILE.png [--folder NAME] [--dialog NAME]
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/handoff.h"
#include "telmio/ui/main_frame.h"
#include "telmio/ui/screenshot.h"
#include "telmio/ui/single_instance.h"

namespace {

const char kUsage[] =
    "usage: telmio [--device DIR] [--sync] [RECIPIENTS]\n"
    "       telmio [--device DIR] --screenshot FILE.png [--folder NAME] [--dialog NAME]\n"
    "  RECIPIENTS    numbers separated by ';': opens a new message to them\n"
    "  --sync        synchronises the messages once the window is up\n"
    "  --screenshot  draws the window (or --dialog) offscreen into FILE.png and ends\n"
    "  --dialog      one of: ";

int Usage(const std::string& why) {
    std::cerr << "telmio: " << why << "\n" << kUsage;
    for (const auto& d : kvo::ui::ScreenshotDialogs()) std::cerr << d << " ";
    std::cerr << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string device, screenshot, folder, dialog, recipients;
    bool bSync = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (a == "--device") {
            if (!value(device)) return Usage("--device needs a folder");
        } else if (a == "--screenshot") {
            if (!value(screenshot)) return Usage("--screenshot needs a file name");
        } else if (a == "--folder") {
            if (!value(folder)) return Usage("--folder needs a folder name");
        } else if (a == "--dialog") {
            if (!value(dialog)) return Usage("--dialog needs a dialog name");
        } else if (a == "--sync") {
            bSync = true;
        } else if (a == "--help" || a == "-h") {
            return Usage("the messaging client's window"), 0;
        } else if (a.rfind("--", 0) == 0) {
            return Usage("unknown option " + a);
        } else if (!recipients.empty()) {
            return Usage("unexpected \"" + a + "\" (join several numbers with ';')");
        } else {
            recipients = a;
        }
    }
    if (!dialog.empty() && !kvo::ui::IsScreenshotDialog(dialog))
        return Usage("unknown dialog \"" + dialog + "\"");
    if (screenshot.empty() && (!dialog.empty() || !folder.empty()))
        return Usage("--folder and --dialog go with --screenshot");
    if (!device.empty()) ce::SetDeviceRoot(device);
    std::error_code ec;
    if (!std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        std::cerr << "telmio: the device folder " << ce::DeviceRoot().string()
                  << " does not exist; make it with `kvo-device --device DIR create`, or name "
                     "another with --device\n";
        return 1;
    }
    ce::SetAppName(u"telmio");
    if (screenshot.empty() && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        std::cerr << "telmio: no display (DISPLAY or WAYLAND_DISPLAY); use `kvo sms` on a "
                     "terminal, or --screenshot\n";
        return 1;
    }
    if (!screenshot.empty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("telmio");

    kvo::ui::CSingleInstance instance;
    if (screenshot.empty()) {
        // The recipients travel as the hand-off file, which the running one reads.
        if (!recipients.empty() &&
            !kvo::WriteHandoffFile(kvo::GetInstallDir(), ce::FromUtf8(recipients))) {
            std::cerr << "telmio: cannot write the hand-off file into the device\n";
            return 1;
        }
        if (kvo::ui::CSingleInstance::WakeRunning()) return 0;
        if (!instance.Listen())
            return kvo::ui::CSingleInstance::WakeRunning() ? 0 : 1;
    }

    kvo::ui::CWindowUi ui;
    kvo::CTelmioDoc doc(ui);
    if (!doc.OnNewDocument(screenshot.empty())) {
        std::cerr << "telmio: the client cannot start on this device: no modem is registered "
                     "(see `kvo-device add-modem`)\n";
        return 1;
    }
    kvo::ui::CMainFrame frame(doc, ui);
    if (!screenshot.empty()) {
        std::string error;
        if (!kvo::ui::WriteScreenshot(frame, folder, dialog, screenshot, error)) {
            std::cerr << "telmio: " << error << "\n";
            return 1;
        }
        return 0;
    }
    auto takeHandoff = [&] {
        if (auto r = doc.TakeHandoff()) frame.TakeRecipients(kvo::ui::Q(*r));
    };
    // Another program asked for telmio (the contacts command, the Today banner): come forward.
    QObject::connect(&instance, &kvo::ui::CSingleInstance::Activated, &frame, [&] {
        frame.showNormal();
        frame.raise();
        frame.activateWindow();
        takeHandoff();
    });
    frame.show();
    QTimer::singleShot(0, &frame, [&] {
        takeHandoff();
        if (bSync) frame.SynchronizeSms();
    });
    return app.exec();
}
