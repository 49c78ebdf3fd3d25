#include "monitor_command.h"

#include <ostream>

#include "connect/traffic/monitor_control.h"
#include "connect/traffic/traffic_settings.h"
#include "tools/kvo/commands.h"

namespace kvo::cli {
namespace {

using namespace kvo::traffic;
using kvo::linkwatch::CMonitorFiles;

int Switch(bool on, const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo monitor " << (on ? "on" : "off") << "\n";
        return kExitUsage;
    }
    CMonitorFiles files = CMonitorFiles::Installed();
    MonitorSettings s = LoadPageSettings(files);
    s.monitorOn = on ? 1 : 0;
    std::string error;
    if (!CMonitorControl(files).Save(s, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    out << (on ? "monitoring on\n" : "monitoring off: the monitor stops within a second\n");
    return kExitOk;
}

int RunOn(const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
    return Switch(true, a, o, e);
}
int RunOff(const std::vector<std::string>& a, std::ostream& o, std::ostream& e) {
    return Switch(false, a, o, e);
}

int RunStatus(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo monitor status\n";
        return kExitUsage;
    }
    CMonitorFiles files = CMonitorFiles::Installed();
    CMonitorControl control(files);
    MonitorSettings s = LoadPageSettings(files);
    out << "running " << (control.IsRunning() ? "yes" : "no") << "\nmonitoring "
        << (s.monitorOn ? "on" : "off") << "\nstartup-shortcut "
        << (control.HasStartupShortcut() ? "yes" : "no") << "\n";
    for (const std::string& key : SettingKeys()) out << key << ' ' << SettingText(s, key) << '\n';
    return kExitOk;
}

int RunSet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << "usage: kvo monitor set KEY VALUE\n";
        return kExitUsage;
    }
    CMonitorFiles files = CMonitorFiles::Installed();
    MonitorSettings s = LoadPageSettings(files);
    std::string error;
    if (!ApplySetting(s, args[0], args[1], error)) {
        err << "kvo: " << error << "\n";
        return kExitUsage;
    }
    if (args[0] == "icon-x") {
        if (!CMonitorControl(files).SaveIconPosition(s, s.iconX, error)) {
            err << "kvo: " << error << "\n";
            return kExitFailed;
        }
        out << args[0] << ' ' << SettingText(s, args[0]) << '\n';
        return kExitOk;
    }
    if (!kvo::linkwatch::SaveMonitorSettings(files.SettingsPath(), s)) {
        err << "kvo: cannot write monitor.ini\n";
        return kExitFailed;
    }
    // A running monitor picks the change up at its next tick.
    if (CMonitorControl(files).IsRunning())
        files.SetMarker(kvo::linkwatch::kReload);
    out << args[0] << ' ' << SettingText(s, args[0]) << '\n';
    return kExitOk;
}

}  // namespace

int RunMonitor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    static const std::map<std::string, Command> table = {
        {"on",
         {"monitor on", "switch traffic monitoring on: starts linkwatch, also at each start-up",
          RunOn}},
        {"off",
         {"monitor off", "switch it off: stops linkwatch and takes it out of start-up", RunOff}},
        {"status",
         {"monitor status", "whether it runs, and the tariff settings (key value lines)",
          RunStatus}},
        {"set",
         {"monitor set KEY VALUE",
          "change one setting: monthly-payment, inclusive-mb, additional-price, price-unit-kb "
          "(1 10 20 30 50 100 256 1024), block-kb (0 1 5 10 20 25 30 40 50 75 100 256), "
          "hourly-rounding (0 1), month-start-day (1..31), icon-x (0..219)",
          RunSet}},
    };
    return RunSubcommand("kvo monitor", table, args, out, err);
}

}  // namespace kvo::cli
