#include "connect_command.h"

#include <ostream>

#include "platform/error.h"
#include "platform/ras.h"
#include "platform/text.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/connect_flow_command.h"

namespace kvo::cli {
namespace {

// One connection a line: entry, handle, speed, seconds, bytes received, bytes transmitted.
int RunStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo connect status\n";
        return kExitUsage;
    }
    for (const ce::RasConnectionInfo& c : ce::RasListConnections()) {
        out << ce::ToUtf8(c.strEntry) << '\t' << c.hConn << '\t' << c.dwSpeed << '\t'
            << c.nDurationMs / 1000 << '\t' << c.nBytesReceived << '\t' << c.nBytesTransmitted
            << '\n';
    }
    return kExitOk;
}

int RunDial(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: kvo connect dial ENTRY\n";
        return kExitUsage;
    }
    ce::RASDIALPARAMS params;
    params.dwSize = ce::kRasDialParamsSize;
    params.szEntryName = ce::FromUtf8(args[0]);
    ce::HRASCONN conn = 0;
    if (ce::DWORD r = ce::RasDial(params, &conn)) {
        err << "kvo: cannot dial " << args[0] << " (error " << r << "): " << ce::GetLastErrorText()
            << "\n";
        return kExitFailed;
    }
    out << "connected: " << args[0] << " handle " << conn << "\n";
    return kExitOk;
}

int RunHangUp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: kvo connect hangup ENTRY\n";
        return kExitUsage;
    }
    std::u16string name = ce::FromUtf8(args[0]);
    int hung = 0;
    for (const ce::RasConnectionInfo& c : ce::RasListConnections()) {
        if (c.strEntry != name) continue;
        if (ce::DWORD r = ce::RasHangUp(c.hConn); r && r != ce::ERROR_INVALID_HANDLE) {
            err << "kvo: cannot hang up " << args[0] << " (error " << r << ")\n";
            return kExitFailed;
        }
        ++hung;
    }
    if (!hung) {
        err << "kvo: no active connection of " << args[0] << "\n";
        return kExitFailed;
    }
    out << "hung up: " << args[0] << "\n";
    return kExitOk;
}

}  // namespace

int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = [] {
        std::map<std::string, Command> t = {
        {"status",
         {"connect status",
          "active connections, one a line: entry, handle, speed, seconds, bytes received, "
          "bytes transmitted (tab-separated)",
          RunStatus}},
        {"dial", {"connect dial ENTRY", "dial a dial-up entry; returns once connected", RunDial}},
        {"hangup", {"connect hangup ENTRY", "hang up the entry's connections", RunHangUp}},
        };
        AddConnectFlowCommands(t);
        return t;
    }();
    return RunSubcommand("kvo connect", table, args, out, err);
}

}  // namespace kvo::cli
