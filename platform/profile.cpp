#include "profile.h"

#include <mutex>

#include "error.h"
#include "registry.h"

namespace ce {
namespace {
std::mutex g_mutex;
std::u16string g_app = u"kvonet";

std::u16string KeyPath(std::u16string_view section) {
    return u"Software\\Orvane\\" + AppName() + u"\\" + std::u16string(section);
}
}  // namespace

void SetAppName(std::u16string_view name) {
    std::lock_guard lock(g_mutex);
    g_app = name;
}

std::u16string AppName() {
    std::lock_guard lock(g_mutex);
    return g_app;
}

std::u16string GetProfileString(std::u16string_view section, std::u16string_view entry,
                                std::u16string_view def) {
    return RegGetString(HKEY_CURRENT_USER, KeyPath(section), entry, def);
}

bool WriteProfileString(std::u16string_view section, std::u16string_view entry,
                        std::u16string_view value) {
    return RegSetValue(HKEY_CURRENT_USER, KeyPath(section), entry, RegValue::Sz(value));
}

uint32_t GetProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t def) {
    return RegGetDword(HKEY_CURRENT_USER, KeyPath(section), entry, def);
}

bool WriteProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t value) {
    return RegSetValue(HKEY_CURRENT_USER, KeyPath(section), entry, RegValue::Dword(value));
}

bool QueryProfileString(std::u16string_view section, std::u16string_view entry,
                        std::u16string& value, std::u16string_view def) {
    auto v = RegQueryValue(HKEY_CURRENT_USER, KeyPath(section), entry);
    if (!v && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    auto text = v ? v->AsSz() : std::nullopt;
    value = text ? *text : std::u16string(def);
    return true;
}

bool QueryProfileInt(std::u16string_view section, std::u16string_view entry, uint32_t& value,
                     uint32_t def) {
    auto v = RegQueryValue(HKEY_CURRENT_USER, KeyPath(section), entry);
    if (!v && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    auto number = v ? v->AsDword() : std::nullopt;
    value = number ? *number : def;
    return true;
}

}  // namespace ce
