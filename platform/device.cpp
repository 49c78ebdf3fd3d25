#include "device.h"

#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

#include "text.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

std::mutex g_rootMutex;
fs::path g_override;

fs::path DefaultRoot() {
    if (const char* dev = std::getenv("KVO_DEVICE"); dev && *dev) return fs::path(dev);
    fs::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        base = "/tmp";
    }
    return base / "kvonet" / "device";
}

std::vector<std::u16string> SplitHandheld(std::u16string_view p) {
    std::vector<std::u16string> parts;
    std::u16string cur;
    auto flush = [&] {
        if (cur.empty() || cur == u".") {
        } else if (cur == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (char16_t c : p) {
        if (c == u'\\' || c == u'/') {
            flush();
        } else if (c != 0) {
            cur.push_back(c);
        }
    }
    flush();
    return parts;
}

}  // namespace

fs::path DeviceRoot() {
    std::lock_guard lock(g_rootMutex);
    return g_override.empty() ? DefaultRoot() : g_override;
}

void SetDeviceRoot(const fs::path& root) {
    std::lock_guard lock(g_rootMutex);
    g_override = root.empty() ? fs::path() : fs::absolute(root);
}

fs::path FileSystemRoot() { return DeviceRoot() / "fs"; }
fs::path RegistryDir() { return DeviceRoot() / "registry"; }
fs::path RasDir() { return DeviceRoot() / "ras"; }

fs::path MapPath(std::u16string_view handheldPath) {
    fs::path host = FileSystemRoot();
    bool exists = true;
    for (const auto& part : SplitHandheld(handheldPath)) {
        std::string name = ToUtf8(part);
        if (exists) {
            std::error_code ec;
            if (fs::exists(host / name, ec)) {
                host /= name;
                continue;
            }
            bool found = false;
            for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
                if (EqualsNoCase(FromUtf8(it->path().filename().string()), part)) {
                    host = it->path();
                    found = true;
                    break;
                }
            }
            if (found) continue;
            exists = false;
        }
        host /= name;
    }
    return host;
}

std::u16string UnmapPath(const fs::path& hostPath) {
    fs::path rel = fs::absolute(hostPath).lexically_relative(fs::absolute(FileSystemRoot()));
    if (rel.empty() || *rel.begin() == "..") return {};
    std::u16string out;
    for (const auto& part : rel) {
        if (part == ".") continue;
        out += u'\\';
        out += FromUtf8(part.string());
    }
    return out.empty() ? u"\\" : out;
}

}  // namespace ce
