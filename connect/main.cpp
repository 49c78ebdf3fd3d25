// connect: the connection manager. With a command letter it works without a window:
//   connect c | d | e | x | z NUMBER
// "a", "m", "s" and no letter open the window.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "connect/flow/command.h"
#include "connect/flow/no_display_ui.h"
#ifdef KVO_CONNECT_MESSAGE_BOXES
#include "connect/ui/message_box_ui.h"
#endif
#include "kvocomm/kvocomm.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

const char kUsage[] =
    "usage: connect [c|d|e|x|z NUMBER|a|m|s]\n"
    "  c  connect with the saved settings      d  the same, storing what was detected\n"
    "  e  detect phone and operator only       x  release the connection kvo.conn names\n"
    "  z NUMBER  voice call through the phone  a, m, s, none: the window\n"
    "The device is $KVO_DEVICE.\n";

}  // namespace

int main(int argc, char** argv) {
    // The handheld passes one command string; words given separately are joined back.
    std::string command;
    for (int i = 1; i < argc; ++i) command += (i > 1 ? " " : "") + std::string(argv[i]);
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        std::cerr << "connect: the device folder " << ce::DeviceRoot().string()
                  << " does not exist; make it with `kvo-device create` or set KVO_DEVICE\n";
        return 1;
    }
    ce::SetAppName(u"connect");
    std::u16string text = ce::FromUtf8(command);
    if (!kvo::connect::IsWindowlessCommand(text)) {
        std::cerr << "connect: the window is not available yet; use `connect c|d|e|x|z NUMBER` "
                     "or `kvo connect`\n";
        return 1;
    }
    // Questions go to a person at a display, else get the answer that ends the waiting.
    std::unique_ptr<kvo::IUserInterface> boxes;
#ifdef KVO_CONNECT_MESSAGE_BOXES
    if (kvo::connect::DisplayAvailable())
        boxes = kvo::connect::MakeMessageBoxUi(argc, argv);
#endif
    kvo::connect::CNoDisplayUi noDisplay;
    kvo::IUserInterface& ui = boxes ? *boxes : noDisplay;
    kvo::connect::CConnection conn(ui, GetKvoComm());
    if (!kvo::connect::StartUp(conn)) {
        std::cerr << "connect: " << ce::ToUtf8(conn.m_strLastError) << "\n";
        return 1;
    }
    int rc = kvo::connect::RunWindowlessCommand(conn, text);
    if (rc != kvo::connect::kCommandOk && !conn.m_strLastError.empty())
        std::cerr << "connect: " << ce::ToUtf8(conn.m_strLastError) << "\n";
    return rc == kvo::connect::kCommandOk ? 0 : 1;
}
