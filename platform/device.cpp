#include "device.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

#include "error.h"
#include "text.h"
#include "trace.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

std::mutex g_rootMutex;
fs::path g_override;

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

fs::path HomeDir() {
    if (const char* home = Env("HOME")) return home;
    // Services and cron jobs often run without HOME; the account still has its folder.
    std::vector<char> buf(16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir && std::string_view(found->pw_dir) != "/")
        return found->pw_dir;
    return {};
}

fs::path DefaultRoot() {
    std::error_code ec;
    if (const char* dev = Env("KVO_DEVICE")) return fs::absolute(dev, ec);
    if (const char* xdg = Env("XDG_DATA_HOME")) return fs::path(xdg) / "kvonet" / "device";
    if (fs::path home = HomeDir(); !home.empty())
        return home / ".local" / "share" / "kvonet" / "device";
    // Private to the user by definition; never a guessable folder under /tmp.
    if (const char* run = Env("XDG_RUNTIME_DIR")) return fs::path(run) / "kvonet" / "device";
    return {};
}

fs::path Under(const fs::path& root, const char* name) {
    return root.empty() ? fs::path() : root / name;
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

// Every symbolic link on the way replaced by its target, as the kernel would walk it; the
// missing tail is kept as given. False with `err` on a loop or an unreadable folder.
bool ResolveLinks(const fs::path& in, bool followLast, fs::path& out, int& err) {
    std::error_code ec;
    fs::path abs = in.is_absolute() ? in : fs::absolute(in, ec);
    std::vector<std::string> todo;  // components still to walk, the next one last
    for (const auto& part : abs.relative_path()) todo.push_back(part.string());
    std::reverse(todo.begin(), todo.end());
    fs::path cur = "/";
    bool missing = false;
    int links = 0;
    while (!todo.empty()) {
        std::string name = std::move(todo.back());
        todo.pop_back();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            cur = cur.parent_path();
            continue;
        }
        fs::path next = cur / name;
        bool last = std::all_of(todo.begin(), todo.end(),
                                [](const std::string& s) { return s.empty() || s == "."; });
        if (!missing && (followLast || !last)) {
            struct stat st;
            if (::lstat(next.c_str(), &st) != 0) {
                if (errno != ENOENT) {
                    err = errno;
                    return false;
                }
                missing = true;
            } else if (S_ISLNK(st.st_mode)) {
                if (++links > 40) {
                    err = ELOOP;
                    return false;
                }
                fs::path target = fs::read_symlink(next, ec);
                if (ec) {
                    err = ec.value();
                    return false;
                }
                std::vector<std::string> parts;
                for (const auto& part : target.relative_path()) parts.push_back(part.string());
                todo.insert(todo.end(), parts.rbegin(), parts.rend());
                if (target.is_absolute()) cur = "/";
                continue;
            }
        }
        cur = std::move(next);
    }
    out = std::move(cur);
    return true;
}

bool IsWithin(const fs::path& p, const fs::path& root) {
    auto r = root.begin(), q = p.begin();
    for (; r != root.end(); ++r, ++q) {
        if (r->empty()) continue;  // a trailing separator
        if (q == p.end() || *q != *r) return false;
    }
    return true;
}

bool IsControl(char16_t c) { return c < 0x20 || c == 0x7F; }

bool HasControlCharacter(std::u16string_view s) {
    return std::any_of(s.begin(), s.end(), IsControl);
}

// The path for a message, its control characters made visible.
std::string Shown(std::u16string_view path) {
    std::u16string out;
    for (char16_t c : path) {
        if (IsControl(c)) {
            static const char16_t kHex[] = u"0123456789ABCDEF";
            out += u"\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += c;
        }
    }
    return ToUtf8(out);
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

std::string NoDeviceRootReason() {
    return "no device folder: neither KVO_DEVICE, XDG_DATA_HOME, HOME nor XDG_RUNTIME_DIR is "
           "set and the account has no home folder";
}

fs::path FileSystemRoot() { return Under(DeviceRoot(), "fs"); }
fs::path RegistryDir() { return Under(DeviceRoot(), "registry"); }
fs::path RasDir() { return Under(DeviceRoot(), "ras"); }

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

bool MapPathInside(std::u16string_view handheldPath, fs::path& host, bool followLast) {
    fs::path root = FileSystemRoot();
    if (root.empty()) {
        SetLastErrorWith(ERROR_PATH_NOT_FOUND, NoDeviceRootReason());
        return false;
    }
    for (const auto& part : SplitHandheld(handheldPath)) {
        if (HasControlCharacter(part)) {
            SetLastErrorWith(ERROR_INVALID_NAME,
                             "invalid file name (control character): " + Shown(handheldPath));
            return false;
        }
    }
    fs::path mapped = MapPath(handheldPath);
    fs::path realRoot, real;
    int err = 0;
    if (!ResolveLinks(root, true, realRoot, err) || !ResolveLinks(mapped, followLast, real, err)) {
        SetLastErrorFromErrno(err, "cannot follow " + mapped.string());
        return false;
    }
    if (!IsWithin(real, realRoot)) {
        std::string why = ToUtf8(handheldPath) + " leads outside the device (to " +
                          real.string() + ") through a symbolic link: refused";
        Trace(std::string_view(why));
        SetLastErrorWith(ERROR_ACCESS_DENIED, std::move(why));
        return false;
    }
    host = std::move(real);
    return true;
}

std::u16string UnmapPath(const fs::path& hostPath) {
    fs::path root = FileSystemRoot();
    if (root.empty()) return {};
    fs::path rel = fs::absolute(hostPath).lexically_relative(fs::absolute(root));
    if (rel.empty() || *rel.begin() == "..") return {};
    std::u16string out;
    for (const auto& part : rel) {
        if (part == ".") continue;
        out += u'\\';
        out += FromUtf8(part.string());
    }
    return out.empty() ? u"\\" : out;
}

int CreatePrivateDirectories(const fs::path& hostDir) {
    if (hostDir.empty()) return ENOENT;
    std::vector<fs::path> missing;
    fs::path p = hostDir;
    for (;;) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return ENOTDIR;
            break;
        }
        if (errno != ENOENT) return errno;
        missing.push_back(p);
        fs::path parent = p.parent_path();
        if (parent == p || parent.empty()) break;
        p = std::move(parent);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), kPrivateDirMode) != 0) {
            if (errno == EEXIST) continue;  // made meanwhile by another program
            return errno;
        }
        // The umask may have taken bits away; the owner needs all three.
        if (::chmod(it->c_str(), kPrivateDirMode) != 0) return errno;
    }
    return 0;
}

}  // namespace ce
