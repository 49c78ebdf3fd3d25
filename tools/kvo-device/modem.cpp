#include "modem.h"

#include <ostream>
#include <vector>

#include "commands.h"
#include "platform/line.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"

namespace kvo::device {
namespace {

// Subkey names may not hold backslashes; everything else is kept.
std::u16string KeyName(const std::u16string& name) {
    std::u16string k = name;
    for (char16_t& c : k)
        if (c == u'\\') c = u'_';
    return k;
}

void Set(ce::RegKey* k, std::u16string_view name, ce::RegValue v) {
    k->values[ce::FoldCase(name)] = ce::RegKey::Named{std::u16string(name), std::move(v)};
}

}  // namespace

void AddModemTo(ce::RegKey& root, const std::u16string& name, const std::u16string& port,
                const std::u16string& linuxDevice, bool bSimulated) {
    ce::RegKey* ext = root.Find(kExtModemsKey, true);
    ce::RegKey* entry = nullptr;
    for (auto& [folded, key] : ext->keys) {
        auto it = key->values.find(ce::FoldCase(u"FriendlyName"));
        if (it != key->values.end() && it->second.value.AsSz() == name) entry = key.get();
    }
    if (!entry) entry = ext->Find(KeyName(name), true);
    Set(entry, u"DeviceType", ce::RegValue::Dword(1));
    Set(entry, u"FriendlyName", ce::RegValue::Sz(name));
    Set(entry, u"Port", ce::RegValue::Sz(port));
    if (!linuxDevice.empty())
        Set(root.Find(ce::kPortMapKey, true), port, ce::RegValue::Sz(linuxDevice));
    std::vector<ce::RegKey*> lines = ce::FindLineDevices(root, name);
    for (ce::RegKey* line : lines) {
        Set(line, u"Port", ce::RegValue::Sz(port));
        if (bSimulated) Set(line, ce::kLineSimulatedValue, ce::RegValue::Dword(1));
    }
    if (lines.empty()) {
        ce::LineDeviceInfo info;
        info.strName = name;
        info.strPort = port;
        info.bSimulated = bSimulated;
        ce::PutLineDevice(root, info);
    }
}

bool AddModem(const std::u16string& name, const std::u16string& port,
              const std::u16string& linuxDevice, std::string& error, bool bSimulated) {
    if (name.empty() || port.empty()) {
        error = "modem name and port must not be empty";
        return false;
    }
    // One transaction: two tools adding the same modem at once make one entry and one line.
    bool ok = ce::RegTransact(ce::HKEY_LOCAL_MACHINE, [&](ce::RegKey& root) {
        AddModemTo(root, name, port, linuxDevice, bSimulated);
        return true;
    });
    if (!ok) {
        error = "cannot write the registry: " + LastErrorText();
        return false;
    }
    return true;
}

int RunAddModem(const std::vector<std::string>& allArgs, std::ostream& out, std::ostream& err) {
    if (allArgs.size() == 1 && (allArgs[0] == "--help" || allArgs[0] == "-h")) {
        out << "usage: kvo-device add-modem [--sim] NAME PORT [LINUXDEVICE]\n"
               "  registers a modem: an ExtModems entry (DeviceType 1, FriendlyName NAME, Port\n"
               "  PORT), a usable line device NAME, and PORT -> LINUXDEVICE in the port map\n"
               "  (a relative LINUXDEVICE is relative to the device root); --sim marks it as\n"
               "  the simulated phone kvophone (dial-up then counts a simulated data call\n"
               "  instead of running pppd). An existing NAME gets the new port and keeps its mark.\n";
        return 0;
    }
    std::vector<std::string> args = allArgs;
    bool bSimulated = !args.empty() && args[0] == "--sim";
    if (bSimulated) args.erase(args.begin());
    if (args.size() < 2 || args.size() > 3) {
        err << "usage: kvo-device add-modem [--sim] NAME PORT [LINUXDEVICE]\n";
        return 2;
    }
    std::string error;
    if (!AddModem(ce::FromUtf8(args[0]), ce::FromUtf8(args[1]),
                  args.size() == 3 ? ce::FromUtf8(args[2]) : u"", error, bSimulated)) {
        err << "kvo-device: " << error << "\n";
        return 1;
    }
    out << "modem \"" << args[0] << "\" on " << args[1];
    if (args.size() == 3) out << " -> " << args[2];
    if (bSimulated) out << " (simulated)";
    out << "\n";
    return 0;
}

}  // namespace kvo::device
