#include <map>
#include <ostream>

#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/settings/client_settings.h"
#include "telmio/settings/options_rules.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/sms_command.h"
#include "tools/kvo/terminal_ui.h"

namespace kvo::cli {
namespace {

const char* OnOff(bool b) { return b ? "on" : "off"; }

bool ParseOnOff(const std::string& v, bool& out) {
    if (v == "on" || v == "1" || v == "yes") return out = true, true;
    if (v == "off" || v == "0" || v == "no") return out = false, true;
    return false;
}

std::string PhonebookName(uint32_t storages) {
    bool sim = storages & kPbStorageSim, phone = storages & kPbStoragePhone;
    return sim && phone ? "SIM+Phone" : phone ? "Phone" : "SIM";
}

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo settings show\n";
        return kExitUsage;
    }
    CClientSettings s;
    if (!s.LoadSettings()) err << "kvo: kvo.ini is damaged; showing what could be read\n";
    COptionsValues v = OptionsFromSettings(s);
    out << "user-port\t" << (v.m_bUserPort ? ce::ToUtf8(v.m_strUserPort) : "") << "\n"
        << "modem\t" << ce::ToUtf8(s.m_ini.m_strModemDevice) << "\n"
        << "auto-sync\t" << OnOff(v.m_bAutoSync) << "\n"
        << "interval\t" << v.m_nInterval << "\n"
        << "own-smsc\t" << OnOff(v.m_bOwnCentre) << "\n"
        << "smsc\t" << ce::ToUtf8(v.m_strCentreNumber) << "\n"
        << "delete-after-sync\t" << OnOff(v.m_bDeleteAfterSync) << "\n"
        << "phonebook\t" << PhonebookName(v.m_nPbStorages) << "\n";
    return kExitOk;
}

int RunSet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const char* usage =
        "usage: kvo settings set KEY VALUE\n"
        "  keys: user-port PORT|\"\", modem NAME, auto-sync on|off, interval MINUTES,\n"
        "        own-smsc on|off, smsc NUMBER, delete-after-sync on|off,\n"
        "        phonebook SIM|Phone|SIM+Phone\n";
    if (args.size() != 2) {
        err << usage;
        return kExitUsage;
    }
    const std::string& key = args[0];
    const std::string& value = args[1];
    CTerminalUi ui(err);
    CClientSettings s;
    s.LoadSettings();
    COptionsValues v = OptionsFromSettings(s);
    bool flag = false;
    if (key == "user-port") {
        v.m_bUserPort = !value.empty();
        v.m_strUserPort = ce::FromUtf8(value);
    } else if (key == "modem") {
        s.m_ini.m_strModemDevice = ce::FromUtf8(value);
    } else if (key == "auto-sync" || key == "own-smsc" || key == "delete-after-sync") {
        if (!ParseOnOff(value, flag)) {
            err << "kvo: " << key << " takes on or off\n";
            return kExitUsage;
        }
        (key == "auto-sync" ? v.m_bAutoSync : key == "own-smsc" ? v.m_bOwnCentre
                                                                 : v.m_bDeleteAfterSync) = flag;
    } else if (key == "interval") {
        char* end = nullptr;
        long minutes = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || minutes > 100000) {
            err << "kvo: interval takes a number of minutes\n";
            return kExitUsage;
        }
        if (minutes < kMinSyncInterval) {
            err << "kvo: the interval must be at least " << kMinSyncInterval << " minutes\n";
            return kExitFailed;
        }
        v.m_nInterval = static_cast<int>(minutes);
    } else if (key == "smsc") {
        if (!IsValidNumberText(ce::FromUtf8(value))) {
            err << "kvo: \"" << value << "\" is no valid SMS centre number (digits and a leading +)\n";
            return kExitFailed;
        }
        v.m_strCentreNumber = ce::FromUtf8(value);
    } else if (key == "phonebook") {
        int item = value == "SIM" ? 0 : value == "Phone" ? 1 : value == "SIM+Phone" ? 2 : -1;
        if (item < 0) {
            err << "kvo: phonebook takes SIM, Phone or SIM+Phone\n";
            return kExitUsage;
        }
        v.m_nPbStorages = PbStoragesForItem(item);
    } else {
        err << "kvo: unknown setting " << key << "\n" << usage;
        return kExitUsage;
    }
    if (!CanSaveOptions(v)) {
        err << "kvo: refused: set an SMS centre number before turning own-smsc on\n";
        return kExitFailed;
    }
    COptionsOutcome done = SaveOptions(s, v, false, ui);
    if (!done.m_bSaved) return kExitFailed;
    out << key << "\t" << value << "\n";
    return kExitOk;
}

}  // namespace

int RunSettings(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ce::SetAppName(u"telmio");
    static const std::map<std::string, Command> table = {
        {"show", {"settings show", "the client's options", RunShow}},
        {"set", {"settings set KEY VALUE", "change one option (settings set --help)", RunSet}},
    };
    return RunSubcommand("kvo settings", table, args, out, err);
}

}  // namespace kvo::cli
