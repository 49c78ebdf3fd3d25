#include "phone_command.h"

#include <ostream>
#include <sstream>

#include "common/narrow.h"
#include "kvocomm/kvocomm.h"
#include "platform/error.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/modem_devices.h"
#include "telmio/settings/client_settings.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/terminal_ui.h"

namespace kvo::cli {
namespace {

constexpr int kTimeout = 10;

// The operator's name from "+COPS: 0,0,\"Name\"", else the answer as it stands.
std::string OperatorName(const std::u16string& reply) {
    std::string text = kvo::Narrow(reply);
    size_t open = text.find('"');
    size_t close = open == std::string::npos ? open : text.find('"', open + 1);
    if (close != std::string::npos)
        return text.substr(open + 1, close - open - 1);
    return text.empty() ? "(none)" : text;
}

// One phone session: worker, port and handshake, released on every path.
class CPhoneSession {
public:
    explicit CPhoneSession(CKvoComm& engine) : m_engine(engine) { m_engine.StartSAR(); }
    ~CPhoneSession() {
        m_engine.ClosePort();
        m_engine.StopSAR();
    }
    bool Open(const std::string& port, std::string& error) {
        if (!m_engine.OpenPort(ce::FromUtf8(port))) {
            error = PortProblemText(ce::FromUtf8(port), ce::GetLastError());
            return false;
        }
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_engine.SetParams(9600, 0, 8, 0);
            std::u16string reply;
            if (m_engine.SendAndReceive("AT", reply, 0, kTimeout) && reply.empty())
                return true;
        }
        error = "no answer from the phone on " + port;
        return false;
    }
    bool Ask(const char* command, std::u16string& reply, std::string& error) {
        if (m_engine.SendAndReceive(command, reply, 0, kTimeout))
            return true;
        error = std::string("the phone did not answer ") + command;
        return false;
    }

private:
    CKvoComm& m_engine;
};

// The port a session of the client would take: the user port, the chosen modem, else the
// first modem on "COM3:" ("COM3:" itself when no modem is registered at all).
bool ConfiguredPort(std::string& port, std::ostream& err) {
    ce::SetAppName(u"telmio");  // the client's profile holds "userport"
    kvo::CClientSettings settings;
    settings.LoadSettings();
    std::vector<kvo::CModemDevice> devices;
    std::ostringstream ignored;
    CTerminalUi silent(ignored);
    kvo::EnumerateModemDevices(silent, devices, 0);
    kvo::PortChoice choice = kvo::ChoosePort(settings.m_bUserPort, settings.m_strUserPort,
                                             settings.m_ini.m_strModemDevice, devices);
    if (choice.strPort.empty() && settings.m_ini.m_strModemDevice.empty())
        choice.strPort = u"COM3:";
    if (choice.strPort.empty()) {
        err << "kvo: no port: the modem \"" << ce::ToUtf8(settings.m_ini.m_strModemDevice)
            << "\" chosen in the settings is not registered (see `kvo settings set modem` and "
               "`kvo-device add-modem`)\n";
        return false;
    }
    port = ce::ToUtf8(choice.strPort);
    return true;
}

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string port;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            port = args[++i];
            continue;
        }
        err << "kvo phone info: "
            << (args[i] == "--port" ? "--port needs a PORT" : "unexpected \"" + args[i] + "\"")
            << "\nusage: kvo phone info [--port PORT]\n";
        return kExitUsage;
    }
    if (port.empty() && !ConfiguredPort(port, err))
        return kExitFailed;
    CKvoComm engine;
    CPhoneSession session(engine);
    std::string error;
    if (!session.Open(port, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    struct Item {
        const char* label;
        const char* command;
    };
    const Item items[] = {
        {"manufacturer", "AT+CGMI"}, {"model", "AT+CGMM"}, {"serial number", "AT+CGSN"}};
    for (const auto& item : items) {
        std::u16string reply;
        if (!session.Ask(item.command, reply, error)) {
            err << "kvo: " << error << "\n";
            return kExitFailed;
        }
        out << item.label << ": " << kvo::Narrow(reply) << "\n";
    }
    std::u16string cops;
    if (!session.Ask("AT+COPS?", cops, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    out << "operator: " << OperatorName(cops) << "\n";
    return kExitOk;
}

}  // namespace

int RunPhone(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"info",
         {"phone info [--port PORT]",
          "open the phone's port (default: the one the client's sessions use), shake hands "
          "and show maker, model, serial number and operator",
          RunInfo}},
    };
    return RunSubcommand("kvo phone", table, args, out, err);
}

}  // namespace kvo::cli
