#include "line.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "registry.h"
#include "text.h"

namespace ce {

const char16_t* const kLinesKey = u"Drivers\\kvo\\Lines";

struct LineApp {
    std::vector<LineDeviceInfo> devices;
    std::set<LineHandle*> open;
};

struct LineHandle {
    LineApp* app;
    DWORD deviceId;
};

namespace {

std::mutex g_hookMutex;
std::function<LONG()> g_initHook;

// Handles are checked against the live ones before use: a closed or made-up handle is an
// error code, never a read of freed memory.
std::mutex g_appsMutex;
std::set<LineApp*> g_apps;
std::set<LineHandle*> g_lines;

bool IsApp(LineApp* app) {
    std::lock_guard lock(g_appsMutex);
    return app && g_apps.count(app);
}

bool IsLine(LineHandle* line) {
    std::lock_guard lock(g_appsMutex);
    return line && g_lines.count(line);
}

bool ParseIndex(const std::u16string& name, DWORD& index) {
    if (name.empty() || name.size() > 6) return false;
    DWORD v = 0;
    for (char16_t c : name) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c - u'0');
    }
    index = v;
    return true;
}

void PutDword(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::u16string LineKey(DWORD deviceId) {
    std::string digits = std::to_string(deviceId);
    return std::u16string(kLinesKey) + u"\\" + std::u16string(digits.begin(), digits.end());
}

std::vector<uint8_t> DefaultDevConfig() {
    std::vector<uint8_t> b(kDevConfigSize, 0);
    b[0] = 0x10;  // version
    b[1] = 0x00;
    b[2] = 0x00;  // wait for bong
    PutDword(b, 4, 60);  // call set-up fail timer, seconds
    PutDword(b, kDevCfgModemOptions, 0);
    PutDword(b, kDevCfgBaudRate, 9600);
    b[kDevCfgByteSize] = 8;
    b[kDevCfgByteSize + 1] = 0;  // one stop bit
    b[kDevCfgByteSize + 2] = 0;  // no parity
    return b;
}

namespace {

bool ReadLines(std::vector<LineDeviceInfo>& out) {
    std::vector<std::pair<DWORD, LineDeviceInfo>> found;
    bool ok = RegRead(HKEY_LOCAL_MACHINE, [&](const RegKey& root) {
        const RegKey* lines = root.Find(kLinesKey);
        if (!lines) return;
        for (const auto& entry : lines->keys) {
            const RegKey* key = entry.second.get();
            DWORD index;
            if (!ParseIndex(key->name, index)) continue;
            LineDeviceInfo info;
            auto get = [&](const char16_t* name) -> const RegValue* {
                auto it = key->values.find(FoldCase(name));
                return it == key->values.end() ? nullptr : &it->second.value;
            };
            if (auto* v = get(u"Name"); v && v->AsSz()) info.strName = *v->AsSz();
            if (auto* v = get(u"MediaModes"); v && v->AsDword()) info.dwMediaModes = *v->AsDword();
            if (auto* v = get(u"BearerModes"); v && v->AsDword())
                info.dwBearerModes = *v->AsDword();
            if (auto* v = get(u"Port"); v && v->AsSz()) info.strPort = *v->AsSz();
            if (auto* v = get(u"DevConfig"); v && v->type == REG_BINARY) info.devConfig = v->data;
            if (auto* v = get(kLineSimulatedValue); v && v->AsDword()) info.bSimulated = *v->AsDword() != 0;
            found.emplace_back(index, std::move(info));
        }
    });
    std::sort(found.begin(), found.end(), [](auto& a, auto& b) { return a.first < b.first; });
    out.clear();
    for (auto& [i, info] : found) out.push_back(std::move(info));
    return ok;
}

}  // namespace

std::vector<LineDeviceInfo> ListLineDevices() {
    std::vector<LineDeviceInfo> out;
    ReadLines(out);
    return out;
}

DWORD PutLineDevice(RegKey& root, const LineDeviceInfo& info) {
    RegKey* lines = root.Find(kLinesKey, true);
    DWORD next = 0;
    for (const auto& [folded, key] : lines->keys) {
        DWORD index;
        if (ParseIndex(key->name, index)) next = std::max(next, index + 1);
    }
    std::u16string path = LineKey(next).substr(std::u16string(kLinesKey).size() + 1);
    RegKey* k = lines->Find(path, true);
    auto set = [&](const char16_t* name, RegValue v) {
        k->values[FoldCase(name)] = RegKey::Named{name, std::move(v)};
    };
    set(u"Name", RegValue::Sz(info.strName));
    set(u"MediaModes", RegValue::Dword(info.dwMediaModes));
    set(u"BearerModes", RegValue::Dword(info.dwBearerModes));
    set(u"Port", RegValue::Sz(info.strPort));
    set(u"DevConfig",
        RegValue::Binary(info.devConfig.empty() ? DefaultDevConfig() : info.devConfig));
    if (info.bSimulated) set(kLineSimulatedValue, RegValue::Dword(1));
    return next;
}

std::vector<RegKey*> FindLineDevices(RegKey& root, std::u16string_view name) {
    std::vector<std::pair<DWORD, RegKey*>> found;
    if (RegKey* lines = root.Find(kLinesKey, false)) {
        for (auto& [folded, key] : lines->keys) {
            DWORD index;
            if (!ParseIndex(key->name, index)) continue;
            auto it = key->values.find(FoldCase(u"Name"));
            if (it != key->values.end() && it->second.value.AsSz() == std::u16string(name))
                found.emplace_back(index, key.get());
        }
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RegKey*> out;
    for (auto& [index, key] : found) out.push_back(key);
    return out;
}

bool AddLineDevice(const LineDeviceInfo& info, DWORD* deviceId) {
    DWORD next = 0;
    bool ok = RegTransact(HKEY_LOCAL_MACHINE, [&](RegKey& root) {
        next = PutLineDevice(root, info);
        return true;
    });
    if (ok && deviceId) *deviceId = next;
    return ok;
}

void SetLineInitializeHook(std::function<LONG()> hook) {
    std::lock_guard lock(g_hookMutex);
    g_initHook = std::move(hook);
}

LONG lineInitialize(HLINEAPP* app, DWORD* numDevices) {
    if (!app || !numDevices) return LINEERR_INVALPOINTER;
    {
        std::lock_guard lock(g_hookMutex);
        if (g_initHook) {
            if (LONG r = g_initHook(); r != 0) return r;
        }
    }
    auto created = std::make_unique<LineApp>();
    if (!ReadLines(created->devices)) return LINEERR_INIFILECORRUPT;
    *numDevices = static_cast<DWORD>(created->devices.size());
    *app = created.release();
    std::lock_guard lock(g_appsMutex);
    g_apps.insert(*app);
    return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP app, DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                             DWORD* apiVersion) {
    if (!IsApp(app)) return LINEERR_INVALAPPHANDLE;
    if (!apiVersion) return LINEERR_INVALPOINTER;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    // The emulated driver speaks 1.3 up to 2.0.
    if (highVersion < kTapiVersion13 || lowVersion > kTapiVersion20 || lowVersion > highVersion)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    *apiVersion = std::min(highVersion, kTapiVersion20);
    return 0;
}

LONG lineGetDevCaps(HLINEAPP app, DWORD deviceId, DWORD apiVersion, LINEDEVCAPS& caps) {
    if (!IsApp(app)) return LINEERR_INVALAPPHANDLE;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    if (apiVersion < kTapiVersion13 || apiVersion > kTapiVersion20)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (caps.dwTotalSize < kLineDevCapsFixedSize) return LINEERR_STRUCTURETOOSMALL;
    const LineDeviceInfo& d = app->devices[deviceId];
    DWORD nameBytes = d.strName.empty() ? 0 : static_cast<DWORD>((d.strName.size() + 1) * 2);
    caps.dwNeededSize = kLineDevCapsFixedSize + nameBytes;
    caps.dwMediaModes = d.dwMediaModes;
    caps.dwBearerModes = d.dwBearerModes;
    if (caps.dwTotalSize >= caps.dwNeededSize) {
        caps.dwLineNameSize = nameBytes;
        caps.strLineName = d.strName;
        caps.dwUsedSize = caps.dwNeededSize;
    } else {
        // As the platform does: success, with only the fixed part and the size it needs.
        caps.dwLineNameSize = 0;
        caps.strLineName.clear();
        caps.dwUsedSize = kLineDevCapsFixedSize;
    }
    return 0;
}

LONG lineOpen(HLINEAPP app, DWORD deviceId, HLINE* line, DWORD apiVersion) {
    if (!IsApp(app)) return LINEERR_INVALAPPHANDLE;
    if (!line) return LINEERR_INVALPOINTER;
    if (deviceId >= app->devices.size()) return LINEERR_BADDEVICEID;
    if (apiVersion < kTapiVersion13 || apiVersion > kTapiVersion20)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    auto* h = new LineHandle{app, deviceId};
    app->open.insert(h);
    std::lock_guard lock(g_appsMutex);
    g_lines.insert(h);
    *line = h;
    return 0;
}

LONG lineGetDevConfig(DWORD deviceId, const std::u16string& deviceClass, size_t bufferSize,
                      std::vector<uint8_t>& config, size_t* needed) {
    if (deviceClass != u"comm/datamodem") return LINEERR_INVALDEVICECLASS;
    std::vector<LineDeviceInfo> devices;
    if (!ReadLines(devices)) return LINEERR_INIFILECORRUPT;
    if (deviceId >= devices.size()) return LINEERR_BADDEVICEID;
    std::vector<uint8_t> cfg =
        devices[deviceId].devConfig.empty() ? DefaultDevConfig() : devices[deviceId].devConfig;
    if (needed) *needed = cfg.size();
    if (cfg.size() > bufferSize) return LINEERR_STRUCTURETOOSMALL;
    config = std::move(cfg);
    return 0;
}

LONG lineGetID(HLINE line, const std::u16string& deviceClass, std::u16string& id) {
    if (!IsLine(line)) return LINEERR_INVALLINEHANDLE;
    if (deviceClass != u"comm/datamodem/portname") return LINEERR_INVALDEVICECLASS;
    id = line->app->devices[line->deviceId].strPort;
    return 0;
}

LONG lineClose(HLINE line) {
    if (!IsLine(line)) return LINEERR_INVALLINEHANDLE;
    {
        std::lock_guard lock(g_appsMutex);
        g_lines.erase(line);
    }
    line->app->open.erase(line);
    delete line;
    return 0;
}

LONG lineShutdown(HLINEAPP app) {
    if (!IsApp(app)) return LINEERR_INVALAPPHANDLE;
    {
        std::lock_guard lock(g_appsMutex);
        g_apps.erase(app);
        for (LineHandle* h : app->open) g_lines.erase(h);
    }
    for (LineHandle* h : app->open) delete h;
    delete app;
    return 0;
}

}  // namespace ce
