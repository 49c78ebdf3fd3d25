#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>

#include "platform/line.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "telmio/settings/client_settings.h"
#include "telmio/settings/options_rules.h"
#include "telmio/settings/settings_file.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/sms_command.h"

namespace kvo::cli {
namespace {

const char kSetUsage[] =
    "usage: kvo settings set KEY VALUE (kvo settings set --help lists the keys)\n";

const char kSetHelp[] =
    "usage: kvo settings set KEY VALUE\n"
    "Changes one option. Whatever else is in the files, including what other programs keep\n"
    "there, stays as it is. Keys and words are case-insensitive.\n"
    "\n"
    "  user-port PORT             talk to the phone on PORT instead of a modem device: a\n"
    "                             handheld port such as COM3: or a Linux device such as\n"
    "                             /dev/ttyUSB0; \"\" chooses from the modem devices again\n"
    "  modem NAME                 the modem device to use (one registered with kvo-device\n"
    "                             add-modem); \"\" uses the one on COM3:\n"
    "  auto-sync on|off           automatic synchronisation\n"
    "  interval MINUTES           minutes between automatic synchronisations, at least 2\n"
    "  own-smsc on|off            send through the SMS centre number below instead of the\n"
    "                             operator's\n"
    "  smsc NUMBER                the SMS centre number: digits, a leading +, ; between two\n"
    "  delete-after-sync on|off   delete the messages on the phone once they are stored\n"
    "  phonebook SIM|Phone|SIM+Phone\n"
    "                             the phonebooks to synchronise\n"
    "\n"
    "on|off also take yes|no and 1|0. Exit status: 0 saved, 1 refused by the rules above or\n"
    "not saved (the reason is printed), 2 an unknown key or a word the key does not take.\n";

const char* OnOff(bool b) {
    return b ? "on" : "off";
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseOnOff(const std::string& word, bool& out) {
    std::string v = Lower(word);
    if (v == "on" || v == "1" || v == "yes" || v == "true")
        return out = true, true;
    if (v == "off" || v == "0" || v == "no" || v == "false")
        return out = false, true;
    return false;
}

std::string PhonebookName(uint32_t storages) {
    bool sim = storages & kPbStorageSim, phone = storages & kPbStoragePhone;
    return sim && phone ? "SIM+Phone" : phone ? "Phone" : "SIM";
}

// A handheld port name: letters, digits, a colon ("COM3:", "BTM1:").
bool IsHandheldPortName(const std::string& v) {
    if (v.size() < 2 || v.back() != ':' || !std::isalpha(static_cast<unsigned char>(v[0])))
        return false;
    return std::all_of(v.begin(), v.end() - 1,
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

int Usage(std::ostream& err, const std::string& message) {
    err << "kvo: " << message << "\n" << kSetUsage;
    return kExitUsage;
}

int Failed(std::ostream& err, const std::string& message) {
    err << "kvo: " << message << "\n";
    return kExitFailed;
}

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "kvo: settings show takes no arguments, not \"" << args[0]
            << "\"\nusage: kvo settings show\n";
        return kExitUsage;
    }
    CClientSettings s;
    if (!s.LoadSettings()) {
        if (s.State() == SettingsState::unreadable)
            return Failed(err, s.Error());
        err << "kvo: warning: " << s.Error() << "\n";
    }
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

// The registered spelling of a port or modem name the user typed in any case.
struct Registered {
    std::vector<std::u16string> ports;   // port map entries
    std::vector<std::u16string> modems;  // modem entries and line devices
};

bool ReadRegistered(Registered& r, std::string& error) {
    bool ok = ce::RegRead(ce::HKEY_LOCAL_MACHINE, [&](const ce::RegKey& root) {
        if (const ce::RegKey* map = root.Find(ce::kPortMapKey))
            for (const auto& [folded, named] : map->values) r.ports.push_back(named.name);
        auto add = [&](const ce::RegKey* key, const char16_t* value) {
            auto it = key->values.find(ce::FoldCase(value));
            if (it == key->values.end())
                return;
            auto name = it->second.value.AsSz();
            if (!name || name->empty())
                return;
            // A modem entry and its line device carry the same name: list it once.
            for (const auto& known : r.modems)
                if (ce::EqualsNoCase(known, *name))
                    return;
            r.modems.push_back(*name);
        };
        if (const ce::RegKey* ext = root.Find(u"ExtModems"))
            for (const auto& [folded, key] : ext->keys) add(key.get(), u"FriendlyName");
        if (const ce::RegKey* lines = root.Find(ce::kLinesKey))
            for (const auto& [folded, key] : lines->keys) add(key.get(), u"Name");
    });
    if (!ok)
        error = "cannot read the registry: " + RegistryErrorText();
    return ok;
}

const std::u16string* FindNoCase(const std::vector<std::u16string>& names,
                                 std::u16string_view name) {
    for (const auto& n : names)
        if (ce::EqualsNoCase(n, name))
            return &n;
    return nullptr;
}

int SetUserPort(const std::string& value, std::ostream& out, std::ostream& err) {
    std::u16string port = ce::FromUtf8(value);
    if (!value.empty() && value[0] != '/') {
        Registered reg;
        std::string error;
        if (!ReadRegistered(reg, error))
            return Failed(err, error);
        if (const std::u16string* known = FindNoCase(reg.ports, port)) {
            port = *known;
        } else if (IsHandheldPortName(value)) {
            for (char16_t& c : port)
                if (c >= u'a' && c <= u'z')
                    c = static_cast<char16_t>(c - u'a' + u'A');
        } else {
            return Usage(err,
                         "user-port takes a port such as COM3: or a Linux device such as "
                         "/dev/ttyUSB0, not \"" +
                             value + "\"");
        }
    }
    // One registry value, written in one step: nothing to read back first.
    if (!ce::WriteProfileString(u"data", u"userport", port))
        return Failed(err, "cannot save user-port: " + RegistryErrorText());
    out << "user-port\t" << ce::ToUtf8(port) << "\n";
    return kExitOk;
}

int SetPhonebook(const std::string& value, std::ostream& out, std::ostream& err) {
    std::string v = Lower(value);
    int item = v == "sim" ? 0 : v == "phone" ? 1 : v == "sim+phone" ? 2 : -1;
    if (item < 0)
        return Usage(err, "phonebook takes SIM, Phone or SIM+Phone, not \"" + value + "\"");
    uint32_t storages = PbStoragesForItem(item);
    std::string error;
    CClientSettings paths;
    if (!UpdatePbIni(
            paths.PbIniPath(),
            [&](CPbIni& pb) {
                pb.m_nStorages = storages;
                return true;
            },
            error))
        return Failed(err, error);
    out << "phonebook\t" << PhonebookName(storages) << "\n";
    return kExitOk;
}

int SetKvoIni(const std::string& key, const std::string& value, std::ostream& out,
              std::ostream& err) {
    std::function<void(CKvoIni&)> apply;
    std::u16string shown = ce::FromUtf8(value);
    bool flag = false;
    if (key == "modem") {
        if (!value.empty()) {
            Registered reg;
            std::string error;
            if (!ReadRegistered(reg, error))
                return Failed(err, error);
            const std::u16string* known = FindNoCase(reg.modems, shown);
            if (!known) {
                std::string names;
                for (const auto& m : reg.modems)
                    names += (names.empty() ? "" : ", ") + ce::ToUtf8(m);
                return Failed(err,
                              "no modem device \"" + value + "\" is registered" +
                                  (names.empty() ? "" : " (there are: " + names + ")") +
                                  "; add one with kvo-device add-modem NAME PORT [LINUXDEVICE]");
            }
            shown = *known;
        }
        apply = [name = shown](CKvoIni& ini) { ini.m_strModemDevice = name; };
    } else if (key == "auto-sync" || key == "own-smsc" || key == "delete-after-sync") {
        if (!ParseOnOff(value, flag))
            return Usage(err, key + " takes on or off, not \"" + value + "\"");
        shown = flag ? u"on" : u"off";
        bool CKvoIni::*field = key == "auto-sync"  ? &CKvoIni::m_bAutoSync
                               : key == "own-smsc" ? &CKvoIni::m_bOwnCentre
                                                   : &CKvoIni::m_bDeleteAfterSync;
        apply = [field, flag](CKvoIni& ini) { ini.*field = flag; };
    } else if (key == "interval") {
        char* end = nullptr;
        long minutes = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || minutes < 0 || minutes > 100000)
            return Usage(err, "interval takes a number of minutes, not \"" + value + "\"");
        if (minutes < kMinSyncInterval)
            return Failed(err, "the interval must be at least " + std::to_string(kMinSyncInterval) +
                                   " minutes");
        shown = ce::FromUtf8(std::to_string(minutes));
        apply = [minutes](CKvoIni& ini) { ini.m_nInterval = static_cast<int32_t>(minutes); };
    } else if (key == "smsc") {
        if (!IsValidNumberText(shown))
            return Failed(
                err, "\"" + value + "\" is no valid SMS centre number (digits and a leading +)");
        apply = [number = shown](CKvoIni& ini) { ini.m_strCentreNumber = number; };
    } else {
        return Usage(err, "unknown setting \"" + key + "\"");
    }

    std::string error;
    SettingsLoad how = SettingsLoad::ok;
    CClientSettings paths;
    bool saved = UpdateKvoIni(
        paths.KvoIniPath(),
        [&](CKvoIni& ini) {
            apply(ini);
            // The Options rules, on the settings as they are now on disk.
            COptionsValues v;
            v.m_bAutoSync = ini.m_bAutoSync;
            v.m_nInterval = ini.m_nInterval;
            v.m_bOwnCentre = ini.m_bOwnCentre;
            v.m_strCentreNumber = ini.m_strCentreNumber;
            if (CanSaveOptions(v))
                return true;
            error = ini.m_bOwnCentre && !IsValidNumberText(ini.m_strCentreNumber)
                        ? "refused: set an SMS centre number before turning own-smsc on"
                        : "refused: automatic synchronisation needs an interval of at least " +
                              std::to_string(kMinSyncInterval) + " minutes (set interval first)";
            return false;
        },
        error, &how);
    if (!saved)
        return Failed(err, error);
    if (how == SettingsLoad::damaged)
        err << "kvo: warning: " << ShownPath(paths.KvoIniPath())
            << " was damaged; the settings after the damage were saved with their defaults\n";
    out << key << "\t" << ce::ToUtf8(shown) << "\n";
    return kExitOk;
}

int RunSet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            out << kSetHelp;
            return kExitOk;
        }
    }
    if (args.size() != 2) {
        err << (args.empty()       ? "kvo: settings set needs a KEY and a VALUE\n"
                : args.size() == 1 ? "kvo: settings set " + args[0] + " needs a VALUE\n"
                                   : "kvo: settings set takes one KEY and one VALUE, "
                                     "not also \"" +
                                         args[2] + "\"\n")
            << kSetUsage;
        return kExitUsage;
    }
    std::string key = Lower(args[0]);
    if (key == "user-port")
        return SetUserPort(args[1], out, err);
    if (key == "phonebook")
        return SetPhonebook(args[1], out, err);
    return SetKvoIni(key, args[1], out, err);
}

}  // namespace

int RunSettings(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    ce::SetAppName(u"telmio");
    static const std::map<std::string, Command> table = {
        {"show", {"settings show", "the client's options", RunShow}},
        // Answers --help itself with the keys and their values.
        {"set",
         {"settings set KEY VALUE", "change one option (settings set --help)", RunSet, true}},
    };
    return RunSubcommand("kvo settings", table, args, out, err);
}

}  // namespace kvo::cli
