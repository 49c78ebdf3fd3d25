#include "platform/rapi.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/registry.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

// A marker file rather than a registry value: attaching is the desk's business, not the
// handheld's, and must not touch the handheld's hive.
fs::path Marker() {
    fs::path root = DeviceRoot();
    return root.empty() ? fs::path() : root / "attached";
}

std::atomic<bool> g_bInitialised{false};

}  // namespace

int32_t CeRapiInitEx(RAPIINIT& init) {
    init.bSignalled = false;
    init.hrRapiInit = 0;
    if (init.cbSize != sizeof(RAPIINIT) || DeviceRoot().empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    g_bInitialised = true;
    return 0;
}

void CeRapiPoll(RAPIINIT& init) {
    if (init.bSignalled || !g_bInitialised || !RapiIsAttached())
        return;
    std::error_code ec;
    init.bSignalled = true;
    init.hrRapiInit = fs::is_directory(FileSystemRoot(), ec) ? 0 : E_FAIL;
}

bool CeGetVersionEx(CEOSVERSIONINFO& info) {
    if (!g_bInitialised || !RapiIsAttached()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    std::optional<RegValue> major = RegQueryValue(HKEY_LOCAL_MACHINE, kOsVersionKey, u"Major");
    std::optional<RegValue> minor = RegQueryValue(HKEY_LOCAL_MACHINE, kOsVersionKey, u"Minor");
    if (!major || !minor || !major->AsDword() || !minor->AsDword()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    info.dwMajorVersion = *major->AsDword();
    info.dwMinorVersion = *minor->AsDword();
    info.dwBuildNumber = RegGetDword(HKEY_LOCAL_MACHINE, kOsVersionKey, u"Build");
    return true;
}

int32_t CeRapiUninit() {
    g_bInitialised = false;
    return 0;
}

bool RapiAttach(bool attached) {
    fs::path marker = Marker();
    std::error_code ec;
    if (marker.empty() || !fs::is_directory(marker.parent_path(), ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (!attached) {
        fs::remove(marker, ec);
        if (ec) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        return true;
    }
    std::ofstream out(marker);
    if (!out) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // The device is one person's, its marker too.
    fs::permissions(marker, fs::perms::owner_read | fs::perms::owner_write, ec);
    return true;
}

bool RapiIsAttached() {
    fs::path marker = Marker();
    std::error_code ec;
    return !marker.empty() && fs::exists(marker, ec);
}

}  // namespace ce
