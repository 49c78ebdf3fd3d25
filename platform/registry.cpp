#include "registry.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "device.h"
#include "error.h"
#include "sys.h"
#include "text.h"

namespace fs = std::filesystem;

namespace ce {

// ---- values ----

RegValue RegValue::Sz(std::u16string_view text) {
    RegValue v;
    v.type = REG_SZ;
    for (char16_t c : text) {
        v.data.push_back(static_cast<uint8_t>(c & 0xFF));
        v.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

RegValue RegValue::Dword(uint32_t value) {
    RegValue v;
    v.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return v;
}

RegValue RegValue::MultiSz(const std::vector<std::u16string>& strings) {
    RegValue v;
    v.type = REG_MULTI_SZ;
    for (const auto& s : strings) {
        auto one = Sz(s);
        v.data.insert(v.data.end(), one.data.begin(), one.data.end());
    }
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

RegValue RegValue::Binary(std::vector<uint8_t> bytes) {
    RegValue v;
    v.type = REG_BINARY;
    v.data = std::move(bytes);
    return v;
}

namespace {

std::u16string Utf16FromBytes(const std::vector<uint8_t>& d, size_t from, size_t to) {
    std::u16string s;
    for (size_t i = from; i + 1 < to && i + 1 < d.size(); i += 2)
        s.push_back(static_cast<char16_t>(d[i] | (d[i + 1] << 8)));
    return s;
}

}  // namespace

std::optional<std::u16string> RegValue::AsSz() const {
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    if (data.size() % 2) return std::nullopt;
    std::u16string s = Utf16FromBytes(data, 0, data.size());
    // A terminator is expected but tolerated when missing; text ends at the first zero.
    if (auto z = s.find(u'\0'); z != std::u16string::npos) s.resize(z);
    return s;
}

std::optional<uint32_t> RegValue::AsDword() const {
    if (type != REG_DWORD || data.size() != 4) return std::nullopt;
    return static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
           (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

std::optional<std::vector<std::u16string>> RegValue::AsMultiSz() const {
    if (type != REG_MULTI_SZ || data.size() % 2) return std::nullopt;
    std::u16string all = Utf16FromBytes(data, 0, data.size());
    std::vector<std::u16string> out;
    std::u16string cur;
    for (char16_t c : all) {
        if (c != 0) {
            cur.push_back(c);
        } else if (cur.empty()) {
            break;  // the empty string that ends the list
        } else {
            out.push_back(std::move(cur));
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(std::move(cur));
    return out;
}

// ---- tree ----

namespace {

template <typename Fn>
void ForEachPart(std::u16string_view path, Fn fn) {
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find(u'\\', i);
        if (j == std::u16string_view::npos) j = path.size();
        if (j > i) {
            if (!fn(path.substr(i, j - i))) return;
        }
        i = j + 1;
    }
}

}  // namespace

RegKey* RegKey::Find(std::u16string_view path, bool create) {
    RegKey* key = this;
    ForEachPart(path, [&](std::u16string_view part) {
        std::u16string folded = FoldCase(part);
        auto it = key->keys.find(folded);
        if (it == key->keys.end()) {
            if (!create) {
                key = nullptr;
                return false;
            }
            auto sub = std::make_unique<RegKey>();
            sub->name = std::u16string(part);
            it = key->keys.emplace(folded, std::move(sub)).first;
        }
        key = it->second.get();
        return true;
    });
    return key;
}

const RegKey* RegKey::Find(std::u16string_view path) const {
    return const_cast<RegKey*>(this)->Find(path, false);
}

bool operator==(const RegKey& a, const RegKey& b) {
    if (a.name != b.name || a.values.size() != b.values.size() || a.keys.size() != b.keys.size())
        return false;
    for (const auto& [folded, named] : a.values) {
        auto it = b.values.find(folded);
        if (it == b.values.end() || it->second.name != named.name ||
            !(it->second.value == named.value))
            return false;
    }
    for (const auto& [folded, sub] : a.keys) {
        auto it = b.keys.find(folded);
        if (it == b.keys.end() || !(*it->second == *sub)) return false;
    }
    return true;
}

bool IsValidRegValueName(std::u16string_view name) {
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F) return false;
    return ToUtf8Strict(name).has_value();
}

bool IsValidRegKeyName(std::u16string_view name) {
    return !name.empty() && name.find(u'\\') == name.npos && IsValidRegValueName(name);
}

namespace {

// A name for a message, its control characters made visible.
std::string Shown(std::u16string_view name) {
    std::string out = "\"";
    for (char c : ToUtf8(name)) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(c));
            out += esc;
        } else {
            out.push_back(c);
        }
    }
    return out + "\"";
}

bool CheckKey(const RegKey& key, const std::u16string& path, std::string& error) {
    for (const auto& [folded, named] : key.values) {
        if (!IsValidRegValueName(named.name) || folded != FoldCase(named.name)) {
            error = "value name " + Shown(named.name) + " in " + ToUtf8(path) +
                    " holds a control character or broken text";
            return false;
        }
    }
    for (const auto& [folded, sub] : key.keys) {
        if (!IsValidRegKeyName(sub->name) || folded != FoldCase(sub->name)) {
            error = "key name " + Shown(sub->name) + " in " + ToUtf8(path) +
                    " is empty or holds a backslash, a control character or broken text";
            return false;
        }
        if (!CheckKey(*sub, path + u"\\" + sub->name, error)) return false;
    }
    return true;
}

}  // namespace

bool CheckRegTree(const RegKey& root, Hive hive, std::string& error) {
    return CheckKey(root, HiveName(hive), error);
}

const char16_t* HiveName(Hive hive) {
    return hive == HKEY_LOCAL_MACHINE ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

// ---- text format ----

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

struct Lines {
    std::string_view text;
    size_t pos = 0;
    int number = 0;
    bool Next(std::string_view& line) {
        if (pos >= text.size()) return false;
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos = end + 1;
        ++number;
        return true;
    }
};

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}
std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted string with \\ and \" escapes; `s` starts at the opening quote. Advances past the
// closing quote.
bool ParseQuoted(std::string_view& s, std::string& out) {
    if (s.empty() || s.front() != '"') return false;
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
            out.push_back(s[++i]);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

class Parser {
public:
    Parser(std::string_view text, Hive hive, std::string_view file, RegKey& root)
        : m_lines{text}, m_hive(hive), m_file(file), m_root(root) {}

    bool Run(std::string& error) {
        std::string_view line;
        if (m_lines.text.substr(0, 3) == "\xEF\xBB\xBF") m_lines.pos = 3;
        if (!m_lines.Next(line) || Trim(line) != kHeader)
            return Fail(error, "missing \"Windows Registry Editor Version 5.00\" header");
        while (m_lines.Next(line)) {
            std::string_view t = TrimLeft(line);
            if (t.empty() || t.front() == ';') continue;
            bool ok = t.front() == '[' ? KeyLine(Trim(t)) : ValueLine(t);
            if (!ok) return Fail(error, m_reason);
        }
        return true;
    }

private:
    bool Fail(std::string& error, std::string_view reason) {
        error = std::string(m_file) + ":" + std::to_string(m_lines.number) + ": " +
                std::string(reason);
        return false;
    }
    bool Reason(std::string r) {
        m_reason = std::move(r);
        return false;
    }

    bool KeyLine(std::string_view t) {
        if (t.size() < 2 || t.back() != ']') return Reason("key line does not end with ']'");
        auto inner = FromUtf8Strict(t.substr(1, t.size() - 2));
        if (!inner) return Reason("key name is not valid UTF-8");
        std::u16string_view path = *inner;
        std::u16string_view rootName = path.substr(0, path.find(u'\\'));
        if (!EqualsNoCase(rootName, HiveName(m_hive)))
            return Reason("key outside " + ToUtf8(HiveName(m_hive)));
        std::u16string_view rest = path.substr(rootName.size());
        if (!rest.empty()) rest.remove_prefix(1);
        if (!rest.empty() && (rest.back() == u'\\' || rest.find(u"\\\\") != rest.npos ||
                              rest.front() == u'\\'))
            return Reason("empty key name in path");
        bool named = true;
        ForEachPart(rest, [&](std::u16string_view part) {
            named = IsValidRegKeyName(part);
            return named;
        });
        if (!named) return Reason("control character in a key name");
        m_key = m_root.Find(rest, true);
        return true;
    }

    bool ValueLine(std::string_view t) {
        if (!m_key) return Reason("value before the first key");
        std::string name;
        if (t.front() == '@') {
            t.remove_prefix(1);
        } else if (!ParseQuoted(t, name)) {
            return Reason("bad value name");
        }
        t = TrimLeft(t);
        if (t.empty() || t.front() != '=') return Reason("expected '=' after the value name");
        t = TrimLeft(t.substr(1));
        auto wname = FromUtf8Strict(name);
        if (!wname) return Reason("value name is not valid UTF-8");
        if (!IsValidRegValueName(*wname)) return Reason("control character in a value name");
        RegValue value;
        if (!ValueData(t, value)) return false;
        auto& slot = m_key->values[FoldCase(*wname)];
        slot.name = *wname;
        slot.value = std::move(value);
        return true;
    }

    bool ValueData(std::string_view t, RegValue& value) {
        if (!t.empty() && t.front() == '"') {
            std::string text;
            if (!ParseQuoted(t, text)) return Reason("bad string value");
            if (!Trim(t).empty()) return Reason("text after the string value");
            auto w = FromUtf8Strict(text);
            if (!w) return Reason("string value is not valid UTF-8");
            value = RegValue::Sz(*w);
            return true;
        }
        if (t.substr(0, 6) == "dword:") {
            std::string_view digits = Trim(t.substr(6));
            if (digits.empty() || digits.size() > 8) return Reason("bad dword value");
            uint32_t v = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) return Reason("bad dword value");
                v = (v << 4) | static_cast<uint32_t>(d);
            }
            value = RegValue::Dword(v);
            return true;
        }
        uint32_t type;
        if (t.substr(0, 4) == "hex:") {
            type = REG_BINARY;
            t.remove_prefix(4);
        } else if (t.substr(0, 4) == "hex(") {
            size_t close = t.find("):");
            if (close == std::string_view::npos || close == 4 || close > 12)
                return Reason("bad hex(type) value");
            type = 0;
            for (char c : t.substr(4, close - 4)) {
                int d = HexDigit(c);
                if (d < 0) return Reason("bad hex(type) value");
                type = (type << 4) | static_cast<uint32_t>(d);
            }
            t.remove_prefix(close + 2);
        } else {
            return Reason("unknown value syntax");
        }
        value.type = type;
        return HexBytes(t, value.data);
    }

    // Comma-separated bytes; a trailing backslash continues on the next line.
    bool HexBytes(std::string_view t, std::vector<uint8_t>& out) {
        for (;;) {
            t = Trim(t);
            bool more = !t.empty() && t.back() == '\\';
            if (more) t = Trim(t.substr(0, t.size() - 1));
            while (!t.empty()) {
                if (t.size() < 2 || HexDigit(t[0]) < 0 || HexDigit(t[1]) < 0)
                    return Reason("bad hex byte");
                out.push_back(static_cast<uint8_t>(HexDigit(t[0]) * 16 + HexDigit(t[1])));
                t = TrimLeft(t.substr(2));
                if (t.empty()) break;
                if (t.front() != ',') return Reason("expected ',' between hex bytes");
                t = TrimLeft(t.substr(1));
                if (t.empty() && !more) return Reason("hex list ends with ','");
            }
            if (!more) return true;
            std::string_view next;
            if (!m_lines.Next(next)) return Reason("hex list continues past the end");
            t = next;
        }
    }

    Lines m_lines;
    Hive m_hive;
    std::string_view m_file;
    RegKey& m_root;
    RegKey* m_key = nullptr;
    std::string m_reason;
};

void AppendQuoted(std::string& out, std::string_view s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// REG_SZ whose text survives the quoted form: terminated, no zero inside, no control codes.
std::optional<std::string> PrintableSz(const RegValue& v) {
    if (v.type != REG_SZ || v.data.size() < 2 || v.data.size() % 2) return std::nullopt;
    std::u16string s = Utf16FromBytes(v.data, 0, v.data.size());
    if (s.back() != 0) return std::nullopt;
    s.pop_back();
    for (char16_t c : s)
        if (c < 0x20 || c == 0x7F) return std::nullopt;
    return ToUtf8Strict(s);
}

void AppendValue(std::string& out, const RegKey::Named& named) {
    size_t start = out.size();
    if (named.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, ToUtf8(named.name));
    }
    out += '=';
    const RegValue& v = named.value;
    if (auto text = PrintableSz(v)) {
        AppendQuoted(out, *text);
    } else if (auto dw = v.AsDword()) {
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08x", *dw);
        out += buf;
    } else {
        char buf[16];
        if (v.type == REG_BINARY) {
            out += "hex:";
        } else {
            snprintf(buf, sizeof buf, "hex(%x):", v.type);
            out += buf;
        }
        size_t lineStart = start;
        for (size_t i = 0; i < v.data.size(); ++i) {
            snprintf(buf, sizeof buf, "%02x", v.data[i]);
            out += buf;
            if (i + 1 < v.data.size()) {
                out += ',';
                if (out.size() - lineStart > 76) {
                    out += "\\\r\n  ";
                    lineStart = out.size() - 2;
                }
            }
        }
    }
    out += "\r\n";
}

void AppendKey(std::string& out, const RegKey& key, const std::u16string& path) {
    out += "[" + ToUtf8(path) + "]\r\n";
    for (const auto& [folded, named] : key.values) AppendValue(out, named);
    out += "\r\n";
    for (const auto& [folded, sub] : key.keys) AppendKey(out, *sub, path + u"\\" + sub->name);
}

}  // namespace

bool ParseRegText(std::string_view text, Hive hive, std::string_view fileName, RegKey& root,
                  std::string& error) {
    return Parser(text, hive, fileName, root).Run(error);
}

std::string FormatRegText(const RegKey& root, Hive hive) {
    std::string out(kHeader);
    out += "\r\n\r\n";
    std::u16string rootName = HiveName(hive);
    if (!root.values.empty()) {
        out += "[" + ToUtf8(rootName) + "]\r\n";
        for (const auto& [folded, named] : root.values) AppendValue(out, named);
        out += "\r\n";
    }
    for (const auto& [folded, sub] : root.keys) AppendKey(out, *sub, rootName + u"\\" + sub->name);
    return out;
}

// ---- persistence ----

namespace {

struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    mode_t mode = 0;
    timespec mtime{}, ctime{};
    bool operator==(const FileId& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
               ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileId IdOf(const struct stat& st) {
    FileId id;
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mode = st.st_mode & 07777;
    id.mtime = st.st_mtim;
    id.ctime = st.st_ctim;
    return id;
}

// False with errno when the file cannot be looked at; a missing file is no error.
bool StatFile(const fs::path& p, FileId& id) {
    id = FileId();
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) {
        id = IdOf(st);
        return true;
    }
    return errno == ENOENT || errno == ENOTDIR;
}

struct HiveState {
    std::mutex mutex;
    fs::path loadedFrom;  // the device the cache belongs to
    bool valid = false;
    FileId id;
    RegKey root;
    std::string text;  // the file as last read or written
};

HiveState g_hives[2];
std::mutex g_errorMutex;
std::string g_lastLoadError;
std::atomic<unsigned> g_tempCounter{0};

const char* FileName(Hive hive) { return hive == HKEY_LOCAL_MACHINE ? "system.reg" : "user.reg"; }

void SetLoadError(std::string e) {
    std::lock_guard lock(g_errorMutex);
    g_lastLoadError = std::move(e);
}

bool Fail(int err, const std::string& what) {
    SetLastErrorFromErrno(err, what);
    return false;
}

// Writers hold the registry folder's advisory lock for one load-change-save. The folder is
// locked rather than a lock file beside the hives: a file can be deleted while held (a
// cleaner, a user removing "stale" locks), and the next writer would lock a new one while
// the first still writes. The folder cannot go while it holds the hives; should it be
// replaced all the same, the lock is taken again on the one now at the path. Readers take no
// lock: a hive is only ever replaced whole by rename, so a reader sees one version or the
// next, and needs no write access anywhere (a read-only device, another user).
class WriterLock {
public:
    bool Take(const fs::path& dir) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_fd = SysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY);
            if (m_fd < 0) {
                if (errno != ENOENT) return Fail(errno, "cannot open " + dir.string());
                if (int err = CreatePrivateDirectories(dir))
                    return Fail(err, "cannot create " + dir.string());
                continue;
            }
            if (SysFlock(m_fd, LOCK_EX) != 0) return Release(errno, "cannot lock " + dir.string());
            struct stat held, now;
            if (::fstat(m_fd, &held) != 0) return Release(errno, "cannot lock " + dir.string());
            if (::stat(dir.c_str(), &now) == 0 && now.st_dev == held.st_dev &&
                now.st_ino == held.st_ino)
                return true;
            SysClose(m_fd);  // replaced meanwhile: lock the one there now
            m_fd = -1;
        }
        return Fail(EAGAIN, "cannot lock " + dir.string() + " (replaced again and again)");
    }
    ~WriterLock() {
        if (m_fd >= 0) SysClose(m_fd);
    }

private:
    bool Release(int err, const std::string& what) {
        SysClose(m_fd);
        m_fd = -1;
        return Fail(err, what);
    }
    int m_fd = -1;
};

// Brings the cache up to date with the file; false when the file cannot be read or does not
// parse.
bool Refresh(HiveState& st, const fs::path& dir, Hive hive) {
    if (dir.empty()) {
        SetLastErrorWith(ERROR_PATH_NOT_FOUND, NoDeviceRootReason());
        return false;
    }
    fs::path file = dir / FileName(hive);
    FileId id;
    if (!StatFile(file, id)) return Fail(errno, "cannot read " + file.string());
    if (st.valid && st.loadedFrom == dir && st.id == id) return true;
    RegKey fresh;
    std::string text;
    if (id.exists) {
        int fd = SysOpen(file.c_str(), O_RDONLY);
        struct stat opened;
        if (fd < 0 && errno == ENOENT) {
            id = FileId();  // deleted meanwhile: an empty hive
        } else if (fd < 0) {
            return Fail(errno, "cannot read " + file.string());
        } else if (::fstat(fd, &opened) != 0) {
            int err = errno;
            SysClose(fd);
            return Fail(err, "cannot read " + file.string());
        } else {
            id = IdOf(opened);  // what is read, should it have been replaced since the stat
            char buf[65536];
            for (;;) {
                ssize_t r = SysRead(fd, buf, sizeof buf);
                if (r < 0) {
                    int err = errno;
                    SysClose(fd);
                    return Fail(err, "cannot read " + file.string());
                }
                if (r == 0) break;
                text.append(buf, static_cast<size_t>(r));
            }
            SysClose(fd);
            std::string error;
            if (!ParseRegText(text, hive, FileName(hive), fresh, error)) {
                st.valid = false;
                SetLoadError(error);
                SetLastErrorWith(ERROR_BAD_FORMAT, file.parent_path().string() + "/" + error);
                return false;
            }
        }
    }
    st.root = std::move(fresh);
    // A hand-formatted file differs from ours; the first change then rewrites it in our form.
    st.text = std::move(text);
    st.id = id;
    st.loadedFrom = dir;
    st.valid = true;
    return true;
}

// Temporaries of writers that were killed mid-save ("user.reg.<pid>.<n>.tmp").
void RemoveDeadWritersTemps(const fs::path& dir, Hive hive) {
    std::string prefix = std::string(FileName(hive)) + ".";
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0 || name.size() < prefix.size() + 5 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            continue;
        char* stop = nullptr;
        long pid = std::strtol(name.c_str() + prefix.size(), &stop, 10);
        if (pid <= 0 || *stop != '.' || pid == ::getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            Sys().unlink(it->path().c_str());
    }
}

bool Save(HiveState& st, const fs::path& dir, Hive hive) {
    std::string error;
    if (!CheckRegTree(st.root, hive, error)) {
        SetLastErrorWith(ERROR_INVALID_NAME, "registry: " + error);
        return false;
    }
    fs::path file = dir / FileName(hive);
    std::string text = FormatRegText(st.root, hive);
    if (st.id.exists && text == st.text) return true;  // nothing changed: leave the file be
    // Never more open than 0600, nor than the hive it replaces (a user's chmod stays).
    mode_t mode = kPrivateFileMode;
    if (st.id.exists) mode &= st.id.mode;
    fs::path tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        tmp = dir / (std::string(FileName(hive)) + "." + std::to_string(::getpid()) + "." +
                     std::to_string(g_tempCounter++) + ".tmp");
        fd = SysOpen(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(errno, "cannot write " + tmp.string());
    ::fchmod(fd, mode);
    bool ok = SysWriteAll(fd, text.data(), text.size()) && Sys().fsync(fd) == 0;
    int err = errno;
    SysClose(fd);
    if (ok && Sys().rename(tmp.c_str(), file.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        Sys().unlink(tmp.c_str());
        return Fail(err, "cannot write " + file.string());
    }
    int dfd = SysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        Sys().fsync(dfd);
        SysClose(dfd);
    }
    StatFile(file, st.id);
    st.text = std::move(text);
    RemoveDeadWritersTemps(dir, hive);
    return true;
}

}  // namespace

bool RegTransact(Hive hive, const std::function<bool(RegKey&)>& change) {
    HiveState& st = g_hives[hive];
    std::lock_guard guard(st.mutex);
    fs::path dir = RegistryDir();
    if (dir.empty()) {
        SetLastErrorWith(ERROR_PATH_NOT_FOUND, NoDeviceRootReason());
        return false;
    }
    WriterLock lock;
    if (!lock.Take(dir)) return false;
    if (!Refresh(st, dir, hive)) return false;
    SetLastError(ERROR_SUCCESS);
    if (!change(st.root)) {
        st.valid = false;  // drop whatever the change did before it gave up
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!Save(st, dir, hive)) {
        st.valid = false;
        return false;
    }
    return true;
}

bool RegRead(Hive hive, const std::function<void(const RegKey&)>& reader) {
    HiveState& st = g_hives[hive];
    std::lock_guard guard(st.mutex);
    if (!Refresh(st, RegistryDir(), hive)) return false;
    reader(st.root);
    return true;
}

std::string RegLastLoadError() {
    std::lock_guard lock(g_errorMutex);
    return g_lastLoadError;
}

namespace {

bool Missing() {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
}

// Splits "a\b\c" into "a\b" and "c".
std::pair<std::u16string_view, std::u16string_view> SplitLast(std::u16string_view path) {
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    size_t cut = path.rfind(u'\\');
    if (cut == std::u16string_view::npos) return {u"", path};
    return {path.substr(0, cut), path.substr(cut + 1)};
}

}  // namespace

bool RegCreateKey(Hive hive, std::u16string_view path) {
    return RegTransact(hive, [&](RegKey& root) {
        root.Find(path, true);
        return true;
    });
}

bool RegKeyExists(Hive hive, std::u16string_view path) {
    bool found = false;
    RegRead(hive, [&](const RegKey& root) { found = root.Find(path) != nullptr; });
    return found;
}

static bool DeleteKeyImpl(Hive hive, std::u16string_view path, bool tree) {
    auto split = SplitLast(path);
    std::u16string_view parentPath = split.first, leaf = split.second;
    if (leaf.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return RegTransact(hive, [&](RegKey& root) {
        RegKey* parent = root.Find(parentPath, false);
        if (!parent) return Missing();
        auto it = parent->keys.find(FoldCase(leaf));
        if (it == parent->keys.end()) return Missing();
        if (!tree && !it->second->keys.empty()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        parent->keys.erase(it);
        return true;
    });
}

bool RegDeleteKey(Hive hive, std::u16string_view path) { return DeleteKeyImpl(hive, path, false); }
bool RegDeleteTree(Hive hive, std::u16string_view path) { return DeleteKeyImpl(hive, path, true); }

std::optional<std::vector<std::u16string>> RegEnumKeys(Hive hive, std::u16string_view path) {
    std::optional<std::vector<std::u16string>> out;
    bool ok = RegRead(hive, [&](const RegKey& root) {
        if (const RegKey* key = root.Find(path)) {
            out.emplace();
            for (const auto& [folded, sub] : key->keys) out->push_back(sub->name);
        }
    });
    if (ok && !out) SetLastError(ERROR_FILE_NOT_FOUND);
    return out;
}

std::optional<std::vector<std::u16string>> RegEnumValues(Hive hive, std::u16string_view path) {
    std::optional<std::vector<std::u16string>> out;
    bool ok = RegRead(hive, [&](const RegKey& root) {
        if (const RegKey* key = root.Find(path)) {
            out.emplace();
            for (const auto& [folded, named] : key->values) out->push_back(named.name);
        }
    });
    if (ok && !out) SetLastError(ERROR_FILE_NOT_FOUND);
    return out;
}

std::optional<RegValue> RegQueryValue(Hive hive, std::u16string_view path,
                                      std::u16string_view name) {
    std::optional<RegValue> out;
    bool ok = RegRead(hive, [&](const RegKey& root) {
        if (const RegKey* key = root.Find(path)) {
            auto it = key->values.find(FoldCase(name));
            if (it != key->values.end()) out = it->second.value;
        }
    });
    if (ok && !out) SetLastError(ERROR_FILE_NOT_FOUND);
    return out;
}

bool RegSetValue(Hive hive, std::u16string_view path, std::u16string_view name,
                 const RegValue& value) {
    return RegTransact(hive, [&](RegKey& root) {
        RegKey* key = root.Find(path, true);
        auto& slot = key->values[FoldCase(name)];
        if (slot.name.empty()) slot.name = std::u16string(name);
        slot.value = value;
        return true;
    });
}

bool RegDeleteValue(Hive hive, std::u16string_view path, std::u16string_view name) {
    return RegTransact(hive, [&](RegKey& root) {
        RegKey* key = root.Find(path, false);
        if (!key || key->values.erase(FoldCase(name)) == 0) return Missing();
        return true;
    });
}

std::u16string RegGetString(Hive hive, std::u16string_view path, std::u16string_view name,
                            std::u16string_view def) {
    auto v = RegQueryValue(hive, path, name);
    if (v)
        if (auto s = v->AsSz()) return *s;
    return std::u16string(def);
}

uint32_t RegGetDword(Hive hive, std::u16string_view path, std::u16string_view name,
                     uint32_t def) {
    auto v = RegQueryValue(hive, path, name);
    if (v)
        if (auto d = v->AsDword()) return *d;
    return def;
}

}  // namespace ce
