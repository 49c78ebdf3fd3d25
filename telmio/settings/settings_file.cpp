#include "telmio/settings/settings_file.h"

#include <algorithm>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/registry.h"

namespace kvo {
namespace {

// Settings files are a few kilobytes; anything far larger is not one.
constexpr size_t kMaxSettingsFile = 4 << 20;

SettingsLoad ReadWhole(const std::u16string& path, std::string& bytes, std::string& error) {
    bytes.clear();
    // A program rewriting the file in place holds it exclusively meanwhile: wait it out.
    ce::File f = ce::File::OpenWait(path, ce::GENERIC_READ, ce::FILE_SHARE_READ, ce::OPEN_EXISTING,
                                    kSettingsLockWaitMs);
    if (!f) {
        uint32_t code = ce::GetLastError();
        if (code == ce::ERROR_FILE_NOT_FOUND || code == ce::ERROR_PATH_NOT_FOUND)
            return SettingsLoad::missing;
        error = "cannot read " + ShownPath(path) + ": " + FileErrorText(code);
        return SettingsLoad::failed;
    }
    char buf[8192];
    for (;;) {
        size_t got = 0;
        if (!f.Read(buf, sizeof buf, &got)) {
            error = "cannot read " + ShownPath(path) + ": " + FileErrorText(ce::GetLastError());
            return SettingsLoad::failed;
        }
        if (got == 0)
            break;
        bytes.append(buf, std::min(got, kMaxSettingsFile - bytes.size()));
        if (bytes.size() >= kMaxSettingsFile)
            break;
    }
    return SettingsLoad::ok;
}

}  // namespace

std::string FileErrorText(uint32_t code) {
    switch (code) {
        case ce::ERROR_FILE_NOT_FOUND:
            return "no such file";
        case ce::ERROR_PATH_NOT_FOUND:
            return "its folder does not exist";
        case ce::ERROR_ACCESS_DENIED:
            return "permission denied";
        case ce::ERROR_SHARING_VIOLATION:
            return "another program holds it";
        case ce::ERROR_DISK_FULL:
            return "no space left on the device";
        case ce::ERROR_NOT_ENOUGH_MEMORY:
            return "out of memory";
        case ce::ERROR_BAD_FORMAT:
            return "the registry file is damaged";
        default:
            return "error " + std::to_string(code);
    }
}

std::string RegistryErrorText() {
    if (ce::GetLastError() == ce::ERROR_BAD_FORMAT && !ce::RegLastLoadError().empty())
        return ce::RegLastLoadError();
    return FileErrorText(ce::GetLastError());
}

std::string ShownPath(const std::u16string& path) {
    return ce::MapPath(path).string();
}

bool CSettingsLock::Acquire(const std::u16string& path, std::string& error, uint32_t waitMs) {
    std::u16string lockPath = path + u".lck";
    m_file = ce::File::OpenWait(lockPath, ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS,
                                waitMs);
    if (m_file)
        return true;
    uint32_t code = ce::GetLastError();
    if (code == ce::ERROR_SHARING_VIOLATION) {
        error = "another program is saving " + ShownPath(path) + " (it holds " +
                ShownPath(lockPath) + "); nothing was changed, try again";
    } else {
        error = "cannot lock " + ShownPath(path) + " (" + ShownPath(lockPath) +
                "): " + FileErrorText(code);
    }
    return false;
}

SettingsLoad LoadKvoIni(const std::u16string& path, CKvoIni& ini, std::string& error) {
    error.clear();
    std::string bytes;
    SettingsLoad how = ReadWhole(path, bytes, error);
    if (how == SettingsLoad::failed)
        return how;
    if (how == SettingsLoad::missing) {
        ini.ApplyDefaults();
        return how;
    }
    switch (ParseKvoIni(bytes, ini)) {
        case IniLoad::ok:
            return SettingsLoad::ok;
        case IniLoad::defaulted:
            return SettingsLoad::otherVersion;
        case IniLoad::failed:
            break;
    }
    error = ShownPath(path) + " is damaged; the settings after the damage have their defaults";
    return SettingsLoad::damaged;
}

SettingsLoad LoadPbIni(const std::u16string& path, CPbIni& ini, std::string& error) {
    error.clear();
    ini = CPbIni{};
    std::string bytes;
    SettingsLoad how = ReadWhole(path, bytes, error);
    if (how != SettingsLoad::ok)
        return how;
    if (ParsePbIni(bytes, ini))
        return SettingsLoad::ok;
    error = ShownPath(path) + " is damaged; the phonebook settings have their defaults";
    return SettingsLoad::damaged;
}

bool UpdateKvoIni(const std::u16string& path, const std::function<bool(CKvoIni&)>& change,
                  std::string& error, SettingsLoad* how) {
    CSettingsLock lock;
    if (!lock.Acquire(path, error))
        return false;
    CKvoIni ini;
    SettingsLoad loaded = LoadKvoIni(path, ini, error);
    if (how)
        *how = loaded;
    if (loaded == SettingsLoad::failed)
        return false;
    error.clear();
    if (!change(ini))
        return false;
    if (!ce::WriteFileAtomic(path, FormatKvoIni(ini))) {
        error = "cannot write " + ShownPath(path) + ": " + FileErrorText(ce::GetLastError());
        return false;
    }
    return true;
}

bool UpdatePbIni(const std::u16string& path, const std::function<bool(CPbIni&)>& change,
                 std::string& error) {
    CSettingsLock lock;
    if (!lock.Acquire(path, error))
        return false;
    CPbIni ini;
    if (LoadPbIni(path, ini, error) == SettingsLoad::failed)
        return false;
    error.clear();
    if (!change(ini))
        return false;
    if (!ce::WriteFileAtomic(path, FormatPbIni(ini))) {
        error = "cannot write " + ShownPath(path) + ": " + FileErrorText(ce::GetLastError());
        return false;
    }
    return true;
}

}  // namespace kvo
