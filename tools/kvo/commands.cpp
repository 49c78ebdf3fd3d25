#include "commands.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "platform/device.h"
#include "tools/kvo/contacts_command.h"
#include "tools/kvo/groups_command.h"
#include "tools/kvo/pb_command.h"
#include "tools/kvo/connect_command.h"
#include "tools/kvo/phone_command.h"
#include "tools/kvo/sms_command.h"
#include "tools/kvo/monitor_command.h"
#include "tools/kvo/traffic_command.h"

namespace kvo::cli {
namespace {

void ListTable(const std::string& prefix, const std::map<std::string, Command>& table,
               std::ostream& o) {
    o << "usage: " << prefix << " COMMAND ...\n\ncommands:\n";
    for (const auto& [name, c] : table) o << "  " << c.usage << "\n      " << c.help << "\n";
}

}  // namespace

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands = {
        {"connect", {"connect detect|up|down|status|entry|... ", "dial-up connections (connect --help)", RunConnect, true}},
        {"phone", {"phone info [--port PORT]", "talk to the phone (phone --help)", RunPhone, true}},
        {"sms", {"sms sync|list|send|outbox ...", "the messages: sync with the phone, list, send, the queue (sms --help)", RunSms, true}},
        {"contacts", {"contacts list|import|export ...", "the handheld's contacts (contacts --help)", RunContacts, true}},
        {"groups", {"groups list|create|delete|add|remove|show ...", "the message groups (groups --help)", RunGroups, true}},
        {"pb", {"pb sync|list|add|edit|delete|import|export ...", "the phone's phonebook (pb --help)", RunPb, true}},
        {"settings", {"settings show|set ...", "the messaging client's options (settings --help)", RunSettings, true}},
        {"traffic", {"traffic day|month|year|chart ...", "what the traffic monitor logged, costs, charts (traffic --help)", RunTraffic, true}},
        {"monitor", {"monitor on|off|status|set ...", "the traffic monitor and its tariff (monitor --help)", RunMonitor, true}},
    };
    return commands;
}

bool WantsHelp(const std::vector<std::string>& args, const Command& c, std::ostream& out) {
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            out << "usage: kvo " << c.usage << "\n  " << c.help << "\n";
            return true;
        }
    }
    return false;
}

int RunSubcommand(const std::string& prefix, const std::map<std::string, Command>& table,
                  const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        ListTable(prefix, table, out);
        return kExitOk;
    }
    auto it = args.empty() ? table.end() : table.find(args[0]);
    if (it == table.end()) {
        if (!args.empty())
            err << prefix << ": unknown command \"" << args[0] << "\"\n";
        ListTable(prefix, table, err);
        return kExitUsage;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (!it->second.bGroup && WantsHelp(rest, it->second, out))
        return kExitOk;
    return it->second.run(rest, out, err);
}

int Main(const std::vector<std::string>& all, std::ostream& out, std::ostream& err) {
    size_t i = 0;
    while (i < all.size() && all[i].rfind("-", 0) == 0) {
        if (all[i] == "--help" || all[i] == "-h") {
            out << "The kvonet pro command line. Global option: --device DIR (default\n"
                   "$KVO_DEVICE, else ~/.local/share/kvonet/device).\n";
            ListTable("kvo [--device DIR]", Commands(), out);
            return kExitOk;
        }
        if (all[i] == "--device" && i + 1 == all.size()) {
            err << "kvo: --device needs a folder\n";
            return kExitUsage;
        }
        if (all[i] == "--device" && i + 1 < all.size()) {
            ce::SetDeviceRoot(all[i + 1]);
            i += 2;
            continue;
        }
        err << "kvo: unknown option \"" << all[i] << "\"\n";
        ListTable("kvo [--device DIR]", Commands(), err);
        return kExitUsage;
    }
    std::vector<std::string> rest(all.begin() + static_cast<long>(i), all.end());
    bool help = rest.empty() || std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
                std::find(rest.begin(), rest.end(), "-h") != rest.end();
    std::error_code ec;
    if (!help && Commands().count(rest[0]) && !std::filesystem::is_directory(ce::DeviceRoot(), ec)) {
        // Defaults in a folder that is not there would only hide the typing error.
        err << "kvo: the device folder " << ce::DeviceRoot().string()
            << " does not exist; make it with `kvo-device --device " << ce::DeviceRoot().string()
            << " create`, or name another with --device\n";
        return kExitFailed;
    }
    return RunSubcommand("kvo [--device DIR]", Commands(), rest, out, err);
}

}  // namespace kvo::cli
