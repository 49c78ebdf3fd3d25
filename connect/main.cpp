// connect: the connection manager. With a command letter it works without a window:
//   connect c | d | e | x | z NUMBER
// "a", "m", "s" and no letter open the window; --screenshot draws one of its pages.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "connect/flow/command.h"
#include "connect/flow/no_display_ui.h"
#ifdef KVO_CONNECT_WINDOW
#include <QApplication>

#include "connect/ui/boxes.h"
#include "connect/ui/message_box_ui.h"
#include "connect/ui/question_dlgs.h"
#include "connect/ui/window_main.h"
#endif
#include "kvocomm/kvocomm.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

const char kUsage[] =
    "usage: connect [c|d|e|x|z NUMBER|a|m|s]\n"
    "       connect --screenshot FILE.png [--page NAME] [--view day|month|year] [--costs]\n"
    "  c  connect with the saved settings      d  the same, storing what was detected\n"
    "  e  detect phone and operator only       x  release the connection kvo.conn names\n"
    "  z NUMBER  voice call through the phone  a  the window on its About page\n"
    "  m  the window on its traffic page       s, none: the window's setup pages\n"
    "The device is $KVO_DEVICE.\n";

int Usage(const std::string& why) {
    std::cerr << "connect: " << why << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The handheld passes one command string; words given separately are joined back.
    std::string command;
    for (int i = 1; i < argc; ++i) command += (i > 1 ? " " : "") + std::string(argv[i]);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    const bool bScreenshot = argc > 1 && std::strcmp(argv[1], "--screenshot") == 0;
#ifdef KVO_CONNECT_WINDOW
    kvo::connect::ui::CScreenshotArgs shot;
    if (bScreenshot) {
        for (int i = 1; i < argc; ++i) {
            std::string a = argv[i];
            auto value = [&](std::string& out) {
                if (i + 1 >= argc)
                    return false;
                out = argv[++i];
                return true;
            };
            if (a == "--screenshot" ? !value(shot.strFile)
                : a == "--page"     ? !value(shot.strPage)
                : a == "--view"     ? !value(shot.strView)
                : a == "--costs"    ? (shot.bCosts = true, false)
                                    : true)
                return Usage("cannot use \"" + a + "\" here");
        }
        if (shot.strView != "day" && shot.strView != "month" && shot.strView != "year")
            return Usage("--view is day, month or year");
    }
#else
    if (bScreenshot) {
        std::cerr << "connect: this build has no window (Qt 6 was not found)\n";
        return 1;
    }
#endif
    if (!bScreenshot && !command.empty() && command[0] == '-')
        return Usage("unknown option " + command);
    std::error_code ec;
    if (!std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        std::cerr << "connect: the device folder " << ce::DeviceRoot().string()
                  << " does not exist; make it with `kvo-device create` or set KVO_DEVICE\n";
        return 1;
    }
    ce::SetAppName(u"connect");
    std::u16string text = ce::FromUtf8(command);
    const bool bWindowless = !bScreenshot && kvo::connect::IsWindowlessCommand(text);
#ifndef KVO_CONNECT_WINDOW
    if (!bWindowless) {
        std::cerr << "connect: this build has no window (Qt 6 was not found); use "
                     "`connect c|d|e|x|z NUMBER` or `kvo connect`\n";
        return 1;
    }
#endif
    // Questions go to a person at a display, else get the answer that ends the waiting.
    std::unique_ptr<kvo::IUserInterface> boxes;
#ifdef KVO_CONNECT_WINDOW
    std::unique_ptr<QApplication> app;
    if (bScreenshot) {
        // Pictures need no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else if (!bWindowless) {
        if (!kvo::connect::DisplayAvailable()) {
            std::cerr << "connect: the window needs a display ($DISPLAY or $WAYLAND_DISPLAY); "
                         "without one use `connect c|d|e|x|z NUMBER`, or --screenshot\n";
            return 1;
        }
        app = std::make_unique<QApplication>(argc, argv);
        boxes = std::make_unique<kvo::connect::ui::CBoxUi>();
    } else if (kvo::connect::DisplayAvailable()) {
        boxes = kvo::connect::MakeMessageBoxUi(argc, argv);
    }
#endif
    kvo::connect::CNoDisplayUi noDisplay;
    kvo::IUserInterface& ui = boxes ? *boxes : noDisplay;
    kvo::connect::CConnection conn(ui, GetKvoComm());
    if (!kvo::connect::StartUp(conn)) {
        std::cerr << "connect: " << ce::ToUtf8(conn.m_strLastError) << "\n";
        return 1;
    }
#ifdef KVO_CONNECT_WINDOW
    if (bScreenshot) {
        conn.Initialise(false);  // a page of an uninitialised device still draws
        std::string error;
        if (!kvo::connect::ui::WriteScreenshot(conn, shot, error)) {
            std::cerr << "connect: " << error << "\n";
            return 1;
        }
        return 0;
    }
    if (!bWindowless) {
        int rc = kvo::connect::ui::RunWindow(conn, text.empty() ? u'\0' : text[0]);
        if (rc != kvo::connect::kCommandOk && !conn.m_strLastError.empty())
            std::cerr << "connect: " << ce::ToUtf8(conn.m_strLastError) << "\n";
        return rc == kvo::connect::kCommandOk ? 0 : 1;
    }
    if (boxes)
        kvo::connect::ui::InstallFlowDialogs(conn, nullptr);
#endif
    int rc = kvo::connect::RunWindowlessCommand(conn, text);
    if (rc != kvo::connect::kCommandOk && !conn.m_strLastError.empty())
        std::cerr << "connect: " << ce::ToUtf8(conn.m_strLastError) << "\n";
    return rc == kvo::connect::kCommandOk ? 0 : 1;
}
