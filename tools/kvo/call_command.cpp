#include "tools/kvo/call_command.h"

#include <ostream>

#include "dialer/dial_number.h"
#include "dialer/dialer_doc.h"
#include "platform/text.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/terminal_ui.h"

namespace kvo::cli {

int RunCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage = "usage: kvo call [--port PORT] NUMBER\n";
    std::string number, port;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            port = args[++i];
        } else if (number.empty() && !args[i].empty() && args[i].rfind("--", 0) != 0) {
            number = args[i];
        } else {
            err << usage;
            return kExitUsage;
        }
    }
    if (number.empty()) {
        err << usage;
        return kExitUsage;
    }
    std::u16string cleaned = dialer::CleanDialNumber(ce::FromUtf8(number));
    if (cleaned.empty()) {
        err << "kvo: \"" << number << "\" holds no digits to dial\n";
        return kExitUsage;
    }
    CTerminalUi ui(err);
    dialer::CDialerDoc doc(ui);
    if (port.empty()) {
        doc.LoadDevice();
    } else {
        doc.SetDevice({ce::FromUtf8(port), ce::FromUtf8(port)});
    }
    if (doc.Device().m_strPort.empty()) {
        err << "kvo: no device is chosen for calls: choose one in the dialer's Options, or "
               "give --port COM3:\n";
        return kExitFailed;
    }
    doc.Number() = ce::FromUtf8(number);
    if (!doc.Dial())
        return kExitFailed;
    out << "calling " << ce::ToUtf8(cleaned) << " through " << ce::ToUtf8(doc.Device().m_strName)
        << " (" << ce::ToUtf8(doc.Device().m_strPort) << ")\n";
    return kExitOk;
}

}  // namespace kvo::cli
