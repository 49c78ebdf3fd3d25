#include "line_devices.h"

#include <map>

#include "connect/dialup/connect_strings.h"
#include "platform/datetime.h"
#include "platform/registry.h"

namespace kvo::connect {
namespace {

constexpr size_t kLineNameUnits = 255;
constexpr uint32_t kFirstCapsBuffer = 292;

// FriendlyName -> Port of the "ExtModems" entries of type 1.
bool ReadExtModems(std::map<std::u16string, std::u16string>& ports) {
    auto keys = ce::RegEnumKeys(ce::HKEY_LOCAL_MACHINE, u"ExtModems");
    if (!keys)
        return false;
    for (const auto& key : *keys) {
        std::u16string path = u"ExtModems\\" + key;
        auto type = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"DeviceType");
        if (!type || type->AsDword().value_or(0) != 1)
            continue;
        auto name = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"FriendlyName");
        auto port = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"Port");
        if (!name || !port || !name->AsSz() || !port->AsSz())
            return false;
        ports[*name->AsSz()] = *port->AsSz();
    }
    return true;
}

}  // namespace

ELineResult EnumerateLineDevices(IUserInterface& ui, const CConnectionData& data,
                                 std::vector<CLineDevice>& devices, ce::HLINEAPP& app,
                                 uint32_t retryMs) {
    devices.clear();
    app = nullptr;
    std::map<std::u16string, std::u16string> ports;
    if (!ReadExtModems(ports))
        return ELineResult::RegistryFailed;

    ce::DWORD count = 0;
    uint32_t since = ce::GetTickCount();
    ce::LONG r;
    while ((r = ce::lineInitialize(&app, &count)) == ce::LINEERR_REINIT) {
        if (ce::GetTickCount() - since >= retryMs) {
            if (ui.OkCancel(LoadString(IDS_TAPI_REINIT), u"Warning"))
                return ELineResult::GaveUp;
            since = ce::GetTickCount();
        }
        ce::Sleep(100);
    }
    if (r != 0)
        return ELineResult::InitFailed;
    if (count == 0) {
        ce::lineShutdown(app);
        app = nullptr;
        return ELineResult::NoDevices;
    }
    for (ce::DWORD i = 0; i < count; ++i) {
        ce::DWORD version = 0;
        if (ce::lineNegotiateAPIVersion(app, i, ce::kTapiVersion13, ce::kTapiVersion20, &version))
            continue;
        ce::LINEDEVCAPS caps;
        caps.dwTotalSize = kFirstCapsBuffer;
        if (ce::lineGetDevCaps(app, i, version, caps) != 0)
            continue;
        if (caps.dwNeededSize > caps.dwTotalSize) {
            caps.dwTotalSize = caps.dwNeededSize;
            if (ce::lineGetDevCaps(app, i, version, caps) != 0)
                continue;
        }
        bool usable = (caps.dwMediaModes & ce::LINEMEDIAMODE_DATAMODEM) &&
                      (caps.dwBearerModes & ce::LINEBEARERMODE_DATA) &&
                      (caps.dwBearerModes & ce::LINEBEARERMODE_VOICE);
        if (!usable)
            continue;
        CLineDevice d;
        d.m_strName = caps.strLineName.substr(0, kLineNameUnits);
        if (d.m_strName.empty()) {
            std::string n = "Line " + std::to_string(i);
            d.m_strName.assign(n.begin(), n.end());
        }
        d.m_nDeviceId = i;
        d.m_nApiVersion = version;
        if (auto it = ports.find(d.m_strName); it != ports.end())
            d.m_strPort = it->second;
        d.m_pProfile = data.FindProfileByLine(d.m_strName);
        if (d.m_strPort.empty() && d.m_pProfile)
            d.m_strPort = d.m_pProfile->m_strPort;
        devices.push_back(std::move(d));
    }
    return ELineResult::Ok;
}

const CLineDevice* SelectLineDevice(const std::vector<CLineDevice>& devices,
                                    const std::u16string& savedName) {
    for (const CLineDevice& d : devices)
        if (savedName.empty() ? d.m_strPort == u"COM3:" : d.m_strName == savedName)
            return &d;
    return nullptr;
}

}  // namespace kvo::connect
