#include "ras.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "device.h"
#include "error.h"
#include "line.h"
#include "ras_record.h"
#include "registry.h"
#include "sys.h"
#include "text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace ce {
namespace {

constexpr char16_t kRasBookKey[] = u"Comm\\RasBook";

std::u16string EntryKey(std::u16string_view name) {
    return std::u16string(kRasBookKey) + u"\\" + std::u16string(name);
}

bool ValidEntryName(std::u16string_view name) {
    return !name.empty() && name.size() <= RAS_MaxEntryName && IsValidRegKeyName(name) &&
           name.find(u'/') == std::u16string_view::npos;
}

bool HasControl(std::u16string_view s) {
    return std::any_of(s.begin(), s.end(), [](char16_t c) { return c < 0x20 || c == 0x7F; });
}

bool ParseIp(std::u16string_view text, RASIPADDR& ip) {
    if (text.empty()) {
        ip = {};
        return true;
    }
    uint8_t parts[4];
    size_t i = 0;
    for (int n = 0; n < 4; ++n) {
        unsigned v = 0, digits = 0;
        while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && digits < 3) {
            v = v * 10 + (text[i++] - u'0');
            ++digits;
        }
        if (!digits || v > 255) return false;
        parts[n] = static_cast<uint8_t>(v);
        if (n < 3 && (i >= text.size() || text[i++] != u'.')) return false;
    }
    if (i != text.size()) return false;
    ip = {parts[0], parts[1], parts[2], parts[3]};
    return true;
}

// Passwords stay out of the registry text (people read and export it): one 0600 file per
// entry under <device>/credentials/ras, named by the entry's folded name in hex.
fs::path PasswordFile(std::u16string_view entry) {
    std::string name;
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char c : ToUtf8(FoldCase(entry))) {
        name.push_back(kHex[c >> 4]);
        name.push_back(kHex[c & 15]);
    }
    return DeviceRoot() / "credentials" / "ras" / name;
}

bool WritePrivateFile(const fs::path& path, std::string_view bytes) {
    if (int e = CreatePrivateDirectories(path.parent_path())) {
        SetLastErrorFromErrno(e, "cannot create " + path.parent_path().string());
        return false;
    }
    fs::path tmp = path;
    tmp += "." + std::to_string(::getpid()) + ".tmp";
    int fd = SysOpen(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kPrivateFileMode);
    if (fd < 0) {
        SetLastErrorFromErrno(errno, "cannot write " + tmp.string());
        return false;
    }
    bool ok = SysWriteAll(fd, bytes.data(), bytes.size()) && Sys().fsync(fd) == 0;
    int saved = errno;
    SysClose(fd);
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        if (ok) saved = errno;
        ::unlink(tmp.c_str());
        SetLastErrorFromErrno(saved, "cannot write " + path.string());
        return false;
    }
    return true;
}

std::optional<std::u16string> ReadPassword(std::u16string_view entry) {
    std::ifstream in(PasswordFile(entry), std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > PWLEN * 4) return std::nullopt;
    return FromUtf8Strict(bytes);
}

// The kernel's counters of a pppd interface.
fs::path SysClassNet() {
    const char* over = std::getenv("KVO_SYS_CLASS_NET");  // tests
    return over && *over ? fs::path(over) : fs::path("/sys/class/net");
}

uint64_t ReadCounter(const std::string& iface, const char* name) {
    std::ifstream in(SysClassNet() / iface / "statistics" / name);
    uint64_t v = 0;
    if (!(in >> v)) return 0;
    return v;
}

RasConnectionInfo InfoOf(const RasConnectionRecord& r) {
    RasConnectionInfo info;
    info.strEntry = r.strEntry;
    info.hConn = r.nPid;
    if (r.eState != RasConnectionRecord::CONNECTED) return info;
    info.dwSpeed = r.nSpeed;
    int64_t now = BootTimeMs();
    info.nDurationMs = now > r.nSinceMs ? static_cast<uint64_t>(now - r.nSinceMs) : 0;
    if (!r.strInterface.empty()) {
        info.nBytesReceived = ReadCounter(r.strInterface, "rx_bytes");
        info.nBytesTransmitted = ReadCounter(r.strInterface, "tx_bytes");
    } else {
        info.nBytesReceived = r.nReceived;
        info.nBytesTransmitted = r.nTransmitted;
    }
    return info;
}

bool FindRecord(HRASCONN conn, RasConnectionRecord& out) {
    if (!conn) return false;
    for (RasConnectionRecord& r : ReadRasRecords()) {
        if (r.nPid == conn) {
            out = std::move(r);
            return true;
        }
    }
    return false;
}

bool WaitGone(pid_t pid, uint64_t started, int ms) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (ProcessStartTime(pid) == started) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

std::string FormatIp(const RASIPADDR& ip) {
    return std::to_string(ip.a) + "." + std::to_string(ip.b) + "." + std::to_string(ip.c) + "." +
           std::to_string(ip.d);
}

DWORD RasSetEntryProperties(std::u16string_view, std::u16string_view name, const RASENTRY& e,
                            DWORD entrySize, const std::vector<uint8_t>& devConfig) {
    if (!ValidEntryName(name)) return ERROR_INVALID_NAME;
    if (e.dwSize != kRasEntrySize || entrySize < kRasEntrySize) return ERROR_INVALID_SIZE;
    if (e.szAreaCode.size() > RAS_MaxAreaCode || e.szLocalPhoneNumber.size() > RAS_MaxPhoneNumber ||
        e.szDeviceType.size() > RAS_MaxDeviceType || e.szDeviceName.size() > RAS_MaxDeviceName ||
        HasControl(e.szAreaCode) || HasControl(e.szLocalPhoneNumber) ||
        HasControl(e.szDeviceName) || HasControl(e.szDeviceType) ||
        (e.dwFramingProtocol != RASFP_Ppp && e.dwFramingProtocol != RASFP_Slip) ||
        (!devConfig.empty() && devConfig.size() < kDevCfgDialModifier + 82) ||
        devConfig.size() > 4096) {
        return ERROR_INVALID_PARAMETER;
    }
    bool ok = RegTransact(HKEY_CURRENT_USER, [&](RegKey& root) {
        RegKey* k = root.Find(EntryKey(name), true);
        k->name = std::u16string(name);  // the case given last
        auto set = [k](const char16_t* n, RegValue v) {
            k->values[FoldCase(n)] = RegKey::Named{n, std::move(v)};
        };
        set(u"Options", RegValue::Dword(e.dwfOptions));
        set(u"CountryID", RegValue::Dword(e.dwCountryID));
        set(u"CountryCode", RegValue::Dword(e.dwCountryCode));
        set(u"AreaCode", RegValue::Sz(e.szAreaCode));
        set(u"LocalPhoneNumber", RegValue::Sz(e.szLocalPhoneNumber));
        set(u"NetProtocols", RegValue::Dword(e.dwfNetProtocols));
        set(u"FramingProtocol", RegValue::Dword(e.dwFramingProtocol));
        set(u"DeviceType", RegValue::Sz(e.szDeviceType));
        set(u"DeviceName", RegValue::Sz(e.szDeviceName));
        set(u"IpAddr", RegValue::Sz(FromUtf8(FormatIp(e.ipaddr))));
        set(u"DnsAddr", RegValue::Sz(FromUtf8(FormatIp(e.ipaddrDns))));
        set(u"DnsAltAddr", RegValue::Sz(FromUtf8(FormatIp(e.ipaddrDnsAlt))));
        set(u"WinsAddr", RegValue::Sz(FromUtf8(FormatIp(e.ipaddrWins))));
        set(u"WinsAltAddr", RegValue::Sz(FromUtf8(FormatIp(e.ipaddrWinsAlt))));
        set(u"DevConfig", RegValue::Binary(devConfig.empty() ? DefaultDevConfig() : devConfig));
        return true;
    });
    return ok ? DWORD{0} : DWORD{ERROR_CANNOT_OPEN_PHONEBOOK};
}

DWORD RasGetEntryProperties(std::u16string_view, std::u16string_view name, RASENTRY& e,
                            std::vector<uint8_t>* devConfig) {
    if (!ValidEntryName(name)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    DWORD result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    bool ok = RegRead(HKEY_CURRENT_USER, [&](const RegKey& root) {
        const RegKey* k = root.Find(EntryKey(name));
        if (!k) return;
        RASENTRY got;
        got.dwSize = kRasEntrySize;
        auto value = [k](const char16_t* n) -> const RegValue* {
            auto it = k->values.find(FoldCase(n));
            return it == k->values.end() ? nullptr : &it->second.value;
        };
        auto dword = [&](const char16_t* n, DWORD& out) {
            if (const RegValue* v = value(n); v && v->AsDword()) out = *v->AsDword();
        };
        auto text = [&](const char16_t* n, std::u16string& out, size_t max) {
            if (const RegValue* v = value(n); v && v->AsSz()) out = v->AsSz()->substr(0, max);
        };
        auto ip = [&](const char16_t* n, RASIPADDR& out) {
            std::u16string t;
            text(n, t, 15);
            if (!ParseIp(t, out)) out = {};
        };
        dword(u"Options", got.dwfOptions);
        dword(u"CountryID", got.dwCountryID);
        dword(u"CountryCode", got.dwCountryCode);
        text(u"AreaCode", got.szAreaCode, RAS_MaxAreaCode);
        text(u"LocalPhoneNumber", got.szLocalPhoneNumber, RAS_MaxPhoneNumber);
        dword(u"NetProtocols", got.dwfNetProtocols);
        dword(u"FramingProtocol", got.dwFramingProtocol);
        text(u"DeviceType", got.szDeviceType, RAS_MaxDeviceType);
        text(u"DeviceName", got.szDeviceName, RAS_MaxDeviceName);
        ip(u"IpAddr", got.ipaddr);
        ip(u"DnsAddr", got.ipaddrDns);
        ip(u"DnsAltAddr", got.ipaddrDnsAlt);
        ip(u"WinsAddr", got.ipaddrWins);
        ip(u"WinsAltAddr", got.ipaddrWinsAlt);
        if (devConfig) {
            const RegValue* v = value(u"DevConfig");
            *devConfig = v && v->type == REG_BINARY && v->data.size() >= kDevCfgDialModifier + 82
                             ? v->data
                             : DefaultDevConfig();
        }
        e = std::move(got);
        result = 0;
    });
    return ok ? result : DWORD{ERROR_CANNOT_OPEN_PHONEBOOK};
}

DWORD RasDeleteEntry(std::u16string_view, std::u16string_view name) {
    if (!ValidEntryName(name)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (!RegKeyExists(HKEY_CURRENT_USER, EntryKey(name))) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (!RegDeleteTree(HKEY_CURRENT_USER, EntryKey(name))) return ERROR_CANNOT_OPEN_PHONEBOOK;
    ::unlink(PasswordFile(name).c_str());
    return 0;
}

DWORD RasSetEntryDialParams(std::u16string_view, const RASDIALPARAMS& p, bool removePassword) {
    if (p.dwSize != kRasDialParamsSize) return ERROR_INVALID_SIZE;
    if (!ValidEntryName(p.szEntryName)) return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (p.szUserName.size() > UNLEN || p.szPassword.size() > PWLEN || p.szDomain.size() > DNLEN ||
        HasControl(p.szUserName) || HasControl(p.szPassword) || HasControl(p.szDomain))
        return ERROR_INVALID_PARAMETER;
    if (!RegKeyExists(HKEY_CURRENT_USER, EntryKey(p.szEntryName)))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    if (removePassword) {
        if (::unlink(PasswordFile(p.szEntryName).c_str()) != 0 && errno != ENOENT)
            return ERROR_ACCESS_DENIED;
    } else if (!WritePrivateFile(PasswordFile(p.szEntryName), ToUtf8(p.szPassword))) {
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    bool ok = RegSetValue(HKEY_CURRENT_USER, EntryKey(p.szEntryName), u"User", RegValue::Sz(p.szUserName)) &&
              RegSetValue(HKEY_CURRENT_USER, EntryKey(p.szEntryName), u"Domain", RegValue::Sz(p.szDomain));
    return ok ? DWORD{0} : DWORD{ERROR_CANNOT_OPEN_PHONEBOOK};
}

DWORD RasGetEntryDialParams(std::u16string_view, RASDIALPARAMS& p, bool* passwordSaved) {
    if (p.dwSize != kRasDialParamsSize) return ERROR_INVALID_SIZE;
    if (!ValidEntryName(p.szEntryName) || !RegKeyExists(HKEY_CURRENT_USER, EntryKey(p.szEntryName)))
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    p.szUserName = RegGetString(HKEY_CURRENT_USER, EntryKey(p.szEntryName), u"User");
    p.szDomain = RegGetString(HKEY_CURRENT_USER, EntryKey(p.szEntryName), u"Domain");
    std::optional<std::u16string> pw = ReadPassword(p.szEntryName);
    p.szPassword = pw ? *pw : u"";
    if (passwordSaved) *passwordSaved = pw.has_value();
    return 0;
}

fs::path RasLinkProgram() {
    std::error_code ec;
    if (const char* over = std::getenv("KVO_LINK"); over && *over) return over;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        fs::path beside = self.parent_path() / "kvo-link";
        if (::access(beside.c_str(), X_OK) == 0) return beside;
    }
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            size_t colon = rest.find(':');
            fs::path dir(std::string(rest.substr(0, colon)));
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
            if (dir.empty()) continue;
            if (::access((dir / "kvo-link").c_str(), X_OK) == 0) return dir / "kvo-link";
        }
    }
    return {};
}

DWORD RasDial(const RASDIALPARAMS& params, HRASCONN* conn) {
    if (!conn) return ERROR_INVALID_PARAMETER;
    *conn = 0;
    if (params.dwSize != kRasDialParamsSize) return ERROR_INVALID_SIZE;
    RASENTRY entry;
    std::vector<uint8_t> devConfig;
    if (DWORD r = RasGetEntryProperties(u"", params.szEntryName, entry, &devConfig)) {
        SetLastErrorWith(r, "there is no dial-up entry \"" + ToUtf8(params.szEntryName) + "\"");
        return r;
    }
    if (HasControl(params.szUserName) || HasControl(params.szPassword) ||
        HasControl(params.szPhoneNumber) || params.szPhoneNumber.size() > RAS_MaxPhoneNumber ||
        params.szUserName.size() > UNLEN || params.szPassword.size() > PWLEN)
        return ERROR_INVALID_PARAMETER;
    fs::path program = RasLinkProgram();
    if (program.empty()) {
        SetLastErrorWith(ERROR_FILE_NOT_FOUND,
                         "the link program kvo-link was not found (beside this program, on "
                         "PATH or in $KVO_LINK)");
        return ERROR_FILE_NOT_FOUND;
    }

    // One socket carries the call's overrides to the link and its outcome back: a link that
    // dies early gives an end of file, never a signal here.
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        SetLastErrorFromErrno(errno, "socketpair");
        return ERROR_GEN_FAILURE;
    }
    std::string prog = program.string();
    std::string entryArg = ToUtf8(params.szEntryName);
    std::vector<char*> argv{prog.data(), const_cast<char*>("--channel-fd"),
                            const_cast<char*>("3"), entryArg.data(), nullptr};
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).substr(0, 11) != "KVO_DEVICE=") env.emplace_back(*e);
    env.push_back("KVO_DEVICE=" + DeviceRoot().string());
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);

    // Started twice removed, in a session of its own: the link belongs to no requester, and
    // init reaps it whenever it ends.
    pid_t child = fork();
    if (child < 0) {
        SetLastErrorFromErrno(errno, "fork");
        ::close(sv[0]);
        ::close(sv[1]);
        return ERROR_GEN_FAILURE;
    }
    if (child == 0) {
        setsid();
        pid_t link = fork();
        if (link != 0) _exit(link < 0 ? 1 : 0);
        // Out of the way of 0-3 first, whatever numbers the descriptors got.
        int channel = fcntl(sv[1], F_DUPFD_CLOEXEC, 10);
        int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (channel < 0 || null < 0) _exit(126);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        dup2(channel, 3);  // a new number: close-on-exec is cleared
        for (int fd = 4; fd < 1024; ++fd) ::close(fd);
        signal(SIGPIPE, SIG_DFL);
        execve(prog.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    ::close(sv[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }

    auto fail = [&](DWORD code, const std::string& text) {
        ::close(sv[0]);
        SetLastErrorWith(code, text);
        return code;
    };
    std::string request;
    if (!params.szUserName.empty()) request += "user " + ToUtf8(params.szUserName) + "\n";
    if (!params.szPassword.empty()) request += "password " + ToUtf8(params.szPassword) + "\n";
    if (!params.szPhoneNumber.empty()) request += "number " + ToUtf8(params.szPhoneNumber) + "\n";
    request += "dial\n";
    if (::send(sv[0], request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return fail(ERROR_GEN_FAILURE, "the link program " + prog + " did not start");

    // The link answers "pid N" at once, then "ok" or "error CODE TEXT". The wait allows for
    // its call set-up timer.
    uint32_t setup = devConfig.size() >= 8 ? devConfig[4] | devConfig[5] << 8 : 60;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds((setup ? setup : 60) + 30);
    std::string got;
    pid_t linkPid = 0;
    for (;;) {
        size_t nl;
        while ((nl = got.find('\n')) != std::string::npos) {
            std::string line = got.substr(0, nl);
            got.erase(0, nl + 1);
            if (line.rfind("pid ", 0) == 0) {
                linkPid = std::atoi(line.c_str() + 4);
            } else if (line == "ok" && linkPid > 0) {
                ::close(sv[0]);
                *conn = static_cast<HRASCONN>(linkPid);
                return 0;
            } else if (line.rfind("error ", 0) == 0) {
                char* end = nullptr;
                unsigned long code = std::strtoul(line.c_str() + 6, &end, 10);
                std::string text = end && *end == ' ' ? end + 1 : "dial failed";
                return fail(code ? static_cast<DWORD>(code) : ERROR_GEN_FAILURE, text);
            }
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            if (linkPid > 0) ::kill(linkPid, SIGTERM);
            return fail(ERROR_NO_ANSWER, "the link did not report within " +
                                             std::to_string(setup + 30) + " s");
        }
        pollfd p{sv[0], POLLIN, 0};
        int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (n < 0 && errno != EINTR) return fail(ERROR_GEN_FAILURE, "poll failed");
        if (n <= 0) continue;
        char buf[512];
        ssize_t r = ::read(sv[0], buf, sizeof buf);
        if (r > 0) {
            if (got.size() < 4096) got.append(buf, static_cast<size_t>(r));
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        return fail(ERROR_PORT_DISCONNECTED, "the link program ended without a result");
    }
}

DWORD RasEnumConnections(RASCONN* conns, DWORD* cb, DWORD* count) {
    if (!cb || !count || (*cb && !conns)) return ERROR_INVALID_PARAMETER;
    if (*cb >= sizeof(DWORD) && conns[0].dwSize != sizeof(RASCONN)) return ERROR_INVALID_SIZE;
    std::vector<RasConnectionRecord> records = ReadRasRecords();
    DWORD needed = static_cast<DWORD>(records.size() * sizeof(RASCONN));
    if (*cb < needed || (*cb && *cb < sizeof(RASCONN))) {
        *cb = std::max<DWORD>(needed, sizeof(RASCONN));
        *count = static_cast<DWORD>(records.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        RASCONN& c = conns[i];
        std::memset(&c, 0, sizeof c);
        c.dwSize = sizeof(RASCONN);
        c.hrasconn = records[i].nPid;
        std::u16string_view name = records[i].strEntry;
        std::copy_n(name.begin(), std::min(name.size(), RAS_MaxEntryName), c.szEntryName);
    }
    *count = static_cast<DWORD>(records.size());
    *cb = needed;
    return 0;
}

DWORD RasHangUp(HRASCONN conn) {
    RasConnectionRecord r;
    if (!FindRecord(conn, r)) return ERROR_INVALID_HANDLE;
    pid_t pid = static_cast<pid_t>(r.nPid);
    // The link hangs the phone up and removes its record; one that does not is made to.
    if (::kill(pid, SIGTERM) == 0 && !WaitGone(pid, r.nStartTime, 15000)) {
        if (ProcessStartTime(pid) == r.nStartTime) ::kill(pid, SIGKILL);
        WaitGone(pid, r.nStartTime, 2000);
    }
    RemoveRasRecord(r.nPid);
    ReadRasRecords();  // and its leftovers
    return 0;
}

DWORD RasGetLinkStatistics(HRASCONN conn, DWORD, RAS_STATS* stats) {
    if (!stats) return ERROR_INVALID_PARAMETER;
    if (stats->dwSize != sizeof(RAS_STATS)) return ERROR_INVALID_SIZE;
    RasConnectionRecord r;
    if (!FindRecord(conn, r)) return ERROR_INVALID_HANDLE;
    RasConnectionInfo info = InfoOf(r);
    std::memset(stats, 0, sizeof *stats);
    stats->dwSize = sizeof(RAS_STATS);
    // The platform's counters are 32 bits wide and wrap.
    stats->dwBytesXmited = static_cast<DWORD>(info.nBytesTransmitted);
    stats->dwBytesRcved = static_cast<DWORD>(info.nBytesReceived);
    if (!r.strInterface.empty()) {
        stats->dwFramesXmited = static_cast<DWORD>(ReadCounter(r.strInterface, "tx_packets"));
        stats->dwFramesRcved = static_cast<DWORD>(ReadCounter(r.strInterface, "rx_packets"));
        stats->dwCrcErr = static_cast<DWORD>(ReadCounter(r.strInterface, "rx_crc_errors"));
        stats->dwFramingErr = static_cast<DWORD>(ReadCounter(r.strInterface, "rx_frame_errors"));
        stats->dwHardwareOverrunErr = static_cast<DWORD>(ReadCounter(r.strInterface, "rx_fifo_errors"));
        stats->dwBufferOverrunErr = static_cast<DWORD>(ReadCounter(r.strInterface, "rx_over_errors"));
    }
    stats->dwBps = info.dwSpeed;
    stats->dwConnectDuration = static_cast<DWORD>(info.nDurationMs);
    return 0;
}

DWORD RasGetConnectStatus(HRASCONN conn, RASCONNSTATUS& status) {
    RasConnectionRecord r;
    if (!FindRecord(conn, r)) return ERROR_INVALID_HANDLE;
    status.rasconnstate =
        r.eState == RasConnectionRecord::CONNECTED ? RASCS_Connected : RASCS_OpenPort;
    status.dwError = 0;
    status.szDeviceType = RASDT_Modem;
    status.szDeviceName = r.strDevice;
    return 0;
}

std::vector<RasConnectionInfo> RasListConnections() {
    std::vector<RasConnectionInfo> out;
    for (const RasConnectionRecord& r : ReadRasRecords()) out.push_back(InfoOf(r));
    return out;
}

}  // namespace ce
