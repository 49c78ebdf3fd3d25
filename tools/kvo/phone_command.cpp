#include "phone_command.h"

#include <ostream>

#include "common/narrow.h"
#include "kvocomm/kvocomm.h"
#include "platform/text.h"
#include "tools/kvo/commands.h"

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
            error = "cannot open port " + port;
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

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string port = "COM3:";
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            port = args[++i];
            continue;
        }
        err << "usage: kvo phone info [--port PORT]\n";
        return kExitUsage;
    }
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
          "open the phone's port (default COM3:), shake hands and show maker, model, serial "
          "number and operator",
          RunInfo}},
    };
    return RunSubcommand("kvo phone", table, args, out, err);
}

}  // namespace kvo::cli
