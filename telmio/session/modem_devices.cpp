#include "modem_devices.h"

#include <map>

#include "platform/datetime.h"
#include "platform/line.h"
#include "platform/registry.h"

namespace kvo {
namespace {

constexpr size_t kMaxRegBytes = 1000;
constexpr size_t kLineNameUnits = 255;  // a 512-byte buffer with its terminating zero

const char16_t kAccessFailed[] = u"Access to registers failed.";

// FriendlyName -> Port of every "ExtModems" entry of type 1, in key order; false on a read
// failure. `found` tells whether any type-1 entry was there.
bool ReadExtModems(std::vector<std::pair<std::u16string, std::u16string>>& ports, bool& found) {
    found = false;
    auto keys = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, u"ExtModems");
    if (!keys) return false;
    for (const auto& key : *keys) {
        std::u16string path = u"ExtModems\\" + key;
        auto type = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"DeviceType");
        if (!type || type->AsDword().value_or(0) != 1) continue;
        auto name = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"FriendlyName");
        auto port = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"Port");
        if (!name || !port || !name->AsSz() || !port->AsSz() || name->data.size() > kMaxRegBytes ||
            port->data.size() > kMaxRegBytes)
            return false;
        found = true;
        ports.emplace_back(*name->AsSz(), *port->AsSz());
    }
    return true;
}

}  // namespace

bool EnumerateModemDevices(kvo::IUserInterface& ui, std::vector<CModemDevice>& devices,
                           uint32_t retryMs) {
    devices.clear();
    std::vector<std::pair<std::u16string, std::u16string>> ports;
    bool found = false;
    if (!ReadExtModems(ports, found)) {
        ui.MessageBox(kAccessFailed);
        return false;
    }

    ce::HLINEAPP app = nullptr;
    ce::DWORD count = 0;
    uint32_t since = ce::GetTickCount();
    ce::LONG r;
    while ((r = ce::lineInitialize(&app, &count)) == ce::LINEERR_REINIT) {
        if (ce::GetTickCount() - since >= retryMs) {
            if (ui.OkCancel(u"Initialisation failed\n tapi.dll. Close all\nprogram files, and try again.",
                            u"Warning"))
                return false;
            since = ce::GetTickCount();
        }
        ce::Sleep(100);
    }
    if (r != 0) {
        ui.MessageBox(u"Error during initialisation.");
        return false;
    }
    if (count == 0) {
        ce::lineShutdown(app);
        ui.MessageBox(u"There are no modem devices available.");
        return false;
    }
    for (ce::DWORD i = 0; i < count; ++i) {
        ce::DWORD version = 0;
        if (ce::lineNegotiateAPIVersion(app, i, ce::kTapiVersion13, ce::kTapiVersion20, &version) != 0)
            continue;
        ce::LINEDEVCAPS caps;
        caps.dwTotalSize = ce::kLineDevCapsFixedSize;
        if (ce::lineGetDevCaps(app, i, version, caps) != 0) continue;
        if (caps.dwNeededSize > caps.dwTotalSize) {
            caps.dwTotalSize = caps.dwNeededSize;
            if (ce::lineGetDevCaps(app, i, version, caps) != 0) continue;
        }
        std::u16string name = caps.strLineName.substr(0, kLineNameUnits);
        if (name.empty()) {
            std::string n = "Line " + std::to_string(i);
            name.assign(n.begin(), n.end());
        }
        bool usable = (caps.dwMediaModes & ce::LINEMEDIAMODE_DATAMODEM) &&
                      (caps.dwBearerModes & ce::LINEBEARERMODE_DATA) &&
                      (caps.dwBearerModes & ce::LINEBEARERMODE_VOICE);
        if (!usable) continue;
        for (const auto& [friendly, port] : ports) {
            if (friendly == name && !port.empty()) {
                devices.push_back({name, port, i});
                break;
            }
        }
    }
    ce::lineShutdown(app);
    return found;
}

PortChoice ChoosePort(bool userPort, const std::u16string& userPortName,
                      const std::u16string& storedDevice, const std::vector<CModemDevice>& devices) {
    if (userPort) return {u"user defined", userPortName};
    for (const auto& d : devices) {
        if (storedDevice.empty() ? d.m_strPort == u"COM3:" : d.m_strName == storedDevice)
            return {d.m_strName, d.m_strPort};
    }
    return {};
}

}  // namespace kvo
