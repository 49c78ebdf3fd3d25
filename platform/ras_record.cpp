#include "ras_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "device.h"
#include "registry.h"
#include "sys.h"
#include "text.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

constexpr std::string_view kMagic = "kvo-ras-connection 1";

template <class T>
bool Number(std::string_view s, T& out) {
    if (s.empty() || s.size() > 20 || s.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), out);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool PidOf(std::string_view name, uint32_t& pid) {
    return Number(name, pid) && pid > 0;
}

// The pid a file of the folder belongs to: "<pid>.conn" or ".<pid>.<anything>".
bool OwnerOf(const std::string& name, uint32_t& pid, bool& bRecord) {
    bRecord = name.size() > 5 && name.compare(name.size() - 5, 5, ".conn") == 0 && name[0] != '.';
    if (bRecord) return PidOf(std::string_view(name).substr(0, name.size() - 5), pid);
    if (name.size() < 3 || name[0] != '.') return false;
    size_t dot = name.find('.', 1);
    return dot != std::string::npos && PidOf(std::string_view(name).substr(1, dot - 1), pid);
}

}  // namespace

std::string FormatRasRecord(const RasConnectionRecord& r) {
    std::string out(kMagic);
    out += "\nentry=" + ToUtf8(r.strEntry);
    out += "\npid=" + std::to_string(r.nPid);
    out += "\nstart=" + std::to_string(r.nStartTime);
    out += std::string("\nstate=") + (r.eState == RasConnectionRecord::CONNECTED ? "connected" : "dialing");
    out += "\nspeed=" + std::to_string(r.nSpeed);
    out += "\nsince=" + std::to_string(r.nSinceMs);
    out += "\nreceived=" + std::to_string(r.nReceived);
    out += "\ntransmitted=" + std::to_string(r.nTransmitted);
    out += "\ninterface=" + r.strInterface;
    out += "\ndevice=" + ToUtf8(r.strDevice);
    out += "\n";
    return out;
}

bool ParseRasRecord(std::string_view text, RasConnectionRecord& out, std::string& error) {
    if (text.size() > kRasRecordMaxSize) {
        error = "record too long";
        return false;
    }
    RasConnectionRecord r;
    std::set<std::string> seen;
    size_t pos = 0;
    int line = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            error = "record does not end with a line break";
            return false;
        }
        std::string_view l = text.substr(pos, end - pos);
        pos = end + 1;
        if (line++ == 0) {
            if (l != kMagic) {
                error = "not a connection record";
                return false;
            }
            continue;
        }
        size_t eq = l.find('=');
        if (eq == std::string_view::npos) {
            error = "line " + std::to_string(line) + ": expected key=value";
            return false;
        }
        std::string key(l.substr(0, eq));
        std::string_view value = l.substr(eq + 1);
        if (!seen.insert(key).second) {
            error = "line " + std::to_string(line) + ": " + key + " repeated";
            return false;
        }
        bool ok = true;
        if (key == "entry" || key == "device") {
            std::optional<std::u16string> v = FromUtf8Strict(value);
            ok = v && IsValidRegKeyName(*v) && v->find(u'/') == std::u16string::npos;
            if (ok && key == "entry") ok = v->size() <= 20;
            if (ok) (key == "entry" ? r.strEntry : r.strDevice) = *v;
            if (!ok && key == "device" && value.empty()) ok = true;
        } else if (key == "pid") {
            ok = Number(value, r.nPid) && r.nPid > 0;
        } else if (key == "start") {
            ok = Number(value, r.nStartTime);
        } else if (key == "state") {
            ok = value == "connected" || value == "dialing";
            r.eState = value == "connected" ? RasConnectionRecord::CONNECTED : RasConnectionRecord::DIALING;
        } else if (key == "speed") {
            ok = Number(value, r.nSpeed);
        } else if (key == "since") {
            ok = Number(value, r.nSinceMs);
        } else if (key == "received") {
            ok = Number(value, r.nReceived);
        } else if (key == "transmitted") {
            ok = Number(value, r.nTransmitted);
        } else if (key == "interface") {
            // A kernel interface name: it becomes part of a /sys path.
            ok = value.size() < 16 && value != "." && value != ".." &&
                 std::all_of(value.begin(), value.end(), [](char c) {
                     return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
                 });
            if (ok) r.strInterface = std::string(value);
        } else {
            error = "line " + std::to_string(line) + ": unknown key " + key;
            return false;
        }
        if (!ok) {
            error = "line " + std::to_string(line) + ": bad " + key;
            return false;
        }
    }
    for (const char* need : {"entry", "pid", "start", "state"}) {
        if (!seen.count(need)) {
            error = std::string("missing ") + need;
            return false;
        }
    }
    out = std::move(r);
    return true;
}

bool WriteRasRecord(const RasConnectionRecord& record, std::string& error) {
    fs::path dir = RasDir();
    if (dir.empty()) {
        error = "no device folder";
        return false;
    }
    if (int e = CreatePrivateDirectories(dir)) {
        error = "cannot create " + dir.string() + ": " + std::strerror(e);
        return false;
    }
    std::string name = std::to_string(record.nPid);
    fs::path tmp = dir / ("." + name + ".tmp");
    fs::path final = dir / (name + ".conn");
    std::string bytes = FormatRasRecord(record);
    int fd = SysOpen(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kPrivateFileMode);
    if (fd < 0) {
        error = "cannot write " + tmp.string() + ": " + std::strerror(errno);
        return false;
    }
    // No fsync: a record never outlives its process, and after a crash a reader removes it.
    bool ok = SysWriteAll(fd, bytes.data(), bytes.size());
    int saved = errno;
    SysClose(fd);
    if (!ok || ::rename(tmp.c_str(), final.c_str()) != 0) {
        if (ok) saved = errno;
        ::unlink(tmp.c_str());
        error = "cannot write " + final.string() + ": " + std::strerror(saved);
        return false;
    }
    return true;
}

void RemoveRasRecord(uint32_t pid) {
    fs::path dir = RasDir();
    if (dir.empty()) return;
    ::unlink((dir / (std::to_string(pid) + ".conn")).c_str());
}

std::vector<RasConnectionRecord> ReadRasRecords() {
    std::vector<RasConnectionRecord> out;
    fs::path dir = RasDir();
    std::error_code ec;
    if (dir.empty()) return out;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        uint32_t pid = 0;
        bool bRecord = false;
        if (!OwnerOf(name, pid, bRecord)) continue;  // not ours: left alone
        uint64_t started = ProcessStartTime(static_cast<pid_t>(pid));
        if (!bRecord) {
            if (!started) ::unlink(it->path().c_str());
            continue;
        }
        std::string text;
        int fd = SysOpen(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            char buf[kRasRecordMaxSize + 1];
            size_t got = 0;
            ssize_t n;
            while (got < sizeof buf && (n = SysRead(fd, buf + got, sizeof buf - got)) > 0)
                got += static_cast<size_t>(n);
            text.assign(buf, got);
            SysClose(fd);
        } else if (errno == ENOENT) {
            continue;  // hung up meanwhile
        }
        RasConnectionRecord r;
        std::string error;
        bool bParsed = ParseRasRecord(text, r, error) && r.nPid == pid;
        if (!started || (bParsed && r.nStartTime != started)) {
            ::unlink(it->path().c_str());
            continue;
        }
        if (bParsed) out.push_back(std::move(r));
    }
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.nPid < b.nPid; });
    return out;
}

uint64_t ProcessStartTime(pid_t pid) {
    if (pid <= 0) return 0;
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return 0;
    size_t paren = stat.rfind(')');
    if (paren == std::string::npos) return 0;
    std::string_view rest = std::string_view(stat).substr(paren + 1);
    // Fields after the name: state is the first, the start time the twentieth.
    std::vector<std::string_view> fields;
    size_t p = 0;
    while (p < rest.size() && fields.size() < 20) {
        while (p < rest.size() && rest[p] == ' ') ++p;
        size_t e = rest.find(' ', p);
        if (e == std::string_view::npos) e = rest.size();
        if (e > p) fields.push_back(rest.substr(p, e - p));
        p = e;
    }
    if (fields.size() < 20 || fields[0] == "Z" || fields[0] == "X") return 0;
    uint64_t start = 0;
    if (!Number(fields[19], start)) return 0;
    return start + 1;  // never 0 for a live process
}

int64_t BootTimeMs() {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace ce
