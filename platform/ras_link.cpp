#include "ras_link.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <utility>

#include "device.h"
#include "error.h"
#include "line.h"
#include "ras_record.h"
#include "registry.h"
#include "serial.h"
#include "sys.h"
#include "text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace ce {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_stop{false};

void OnStop(int) { g_stop = true; }

std::string Narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) out.push_back(static_cast<char>(c & 0xFF));
    return out;
}

uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
    if (b.size() < at + 4) return 0;
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

int64_t Ms(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// The channel to RasDial: "pid N" first, then "ok" or "error CODE TEXT". The requester may
// have gone meanwhile; the link carries on regardless.
class CChannel {
public:
    explicit CChannel(int fd) : m_fd(fd) {}
    ~CChannel() { Close(); }
    void Send(const std::string& line) {
        if (m_fd < 0) return;
        std::string text = line;
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        text += "\n";
        [[maybe_unused]] ssize_t n = ::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL);
    }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    // The requester's lines up to "dial", within a few seconds.
    bool ReadRequest(std::string& user, std::string& password, std::string& number) {
        std::string got;
        auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            size_t nl;
            while ((nl = got.find('\n')) != std::string::npos) {
                std::string line = got.substr(0, nl);
                got.erase(0, nl + 1);
                if (line == "dial") return true;
                if (line.rfind("user ", 0) == 0) user = line.substr(5);
                else if (line.rfind("password ", 0) == 0) password = line.substr(9);
                else if (line.rfind("number ", 0) == 0) number = line.substr(7);
            }
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buf[1024];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0 || got.size() > 8192) return false;
            got.append(buf, static_cast<size_t>(n));
        }
        return false;
    }

private:
    int m_fd;
};

// Owns the connection's record and the link's leftovers; removes them on every way out.
class CLinkState {
public:
    CLinkState() {
        m_record.nPid = static_cast<uint32_t>(::getpid());
        m_record.nStartTime = ProcessStartTime(::getpid());
    }
    ~CLinkState() {
        RemoveRasRecord(m_record.nPid);
        for (const fs::path& p : m_files) ::unlink(p.c_str());
    }
    RasConnectionRecord& Record() { return m_record; }
    bool Save(std::string& error) { return WriteRasRecord(m_record, error); }
    // A private file of this link in <device>/ras/ (".<pid>.<suffix>").
    bool WriteFile(const std::string& suffix, std::string_view bytes, fs::path& path,
                   std::string& error) {
        path = RasDir() / ("." + std::to_string(m_record.nPid) + "." + suffix);
        m_files.push_back(path);
        int fd = SysOpen(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW,
                         kPrivateFileMode);
        if (fd < 0 || !SysWriteAll(fd, bytes.data(), bytes.size())) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            if (fd >= 0) SysClose(fd);
            return false;
        }
        SysClose(fd);
        return true;
    }
    void DropFiles() {
        for (const fs::path& p : m_files) ::unlink(p.c_str());
        m_files.clear();
    }

private:
    RasConnectionRecord m_record;
    std::vector<fs::path> m_files;
};

struct LinkFailure {
    DWORD code;
    std::string text;
};

// Reads result lines from the phone.
class CModemLine {
public:
    explicit CModemLine(PortHandle port) : m_port(std::move(port)) {}
    bool Send(std::string_view bytes) {
        size_t written = 0;
        return m_port->Write(bytes.data(), bytes.size(), &written) && written == bytes.size();
    }
    // The next final result of a command ("OK", "CONNECT 9600", "NO CARRIER" ...); empty on
    // time-out or stop (unless hanging up); nullopt when the line is gone.
    std::optional<std::string> Result(int timeoutMs, bool bHangingUp = false) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            size_t nl;
            while ((nl = m_strBuf.find_first_of("\r\n")) != std::string::npos) {
                std::string line = m_strBuf.substr(0, nl);
                m_strBuf.erase(0, nl + 1);
                if (IsFinal(line)) return line;
            }
            int64_t left = Ms(deadline - Clock::now());
            if (left <= 0 || (g_stop && !bHangingUp)) return std::string();
            m_port->WaitReadable(static_cast<int>(std::min<int64_t>(left, 100)));
            char buf[512];
            size_t got = 0;
            if (!m_port->ReadAvailable(buf, sizeof buf, &got)) return std::nullopt;
            m_strBuf.append(buf, got);
            // Data without line breaks (a call's traffic) must not push a result out.
            if (m_strBuf.size() > 4096) m_strBuf.erase(0, m_strBuf.size() - 256);
        }
    }
    std::string TakeBuffered() { return std::exchange(m_strBuf, std::string()); }

private:
    static bool IsFinal(const std::string& l) {
        for (const char* f : {"OK", "ERROR", "NO CARRIER", "BUSY", "NO DIALTONE", "NO ANSWER"})
            if (l == f) return true;
        return l.rfind("CONNECT", 0) == 0 || l.rfind("+CME ERROR", 0) == 0 ||
               l.rfind("+CMS ERROR", 0) == 0;
    }
    PortHandle m_port;
    std::string m_strBuf;
};

LinkFailure DialFailure(const std::string& reply, const LinkPlan& plan) {
    if (reply == "NO CARRIER") return {ERROR_NO_CARRIER, "the phone answered NO CARRIER to ATD" + plan.strDial};
    if (reply == "BUSY") return {ERROR_LINE_BUSY, "the line is busy (BUSY)"};
    if (reply == "NO DIALTONE") return {ERROR_NO_DIALTONE, "the phone has no network (NO DIALTONE)"};
    if (reply == "NO ANSWER") return {ERROR_NO_ANSWER, "nobody answered the call (NO ANSWER)"};
    if (reply.empty())
        return {ERROR_NO_ANSWER, "no answer to ATD" + plan.strDial + " within " +
                                     std::to_string(plan.nSetupSeconds) + " s"};
    return {ERROR_FROM_DEVICE, "the phone answered " + reply + " to ATD" + plan.strDial};
}

// The simulated phone: the dialogue through the port, then a data call counted here. The
// link sends a small idle frame each second so that both directions move.
// Failures are told after the state is gone, so a failed dial leaves no record behind.
int RunSimulated(const LinkPlan& plan, CLinkState& state, CChannel& channel,
                 LinkFailure& failure) {
    auto fail = [&](DWORD code, const std::string& text) {
        failure = {code, text};
        return 1;
    };
    PortHandle port = CreateFile(plan.strPort);
    if (!port)
        return fail(ERROR_PORT_NOT_AVAILABLE,
                    "cannot open " + ToUtf8(plan.strPort) + ": " + GetLastErrorText());
    DCB dcb;
    port->GetCommState(dcb);
    dcb.BaudRate = plan.nBaud;
    port->SetCommState(dcb);  // a pty takes any speed; a refusal changes nothing that matters here
    CModemLine line(port);
    std::optional<std::string> r;
    bool ok = false;
    for (int attempt = 0; attempt < 3 && !ok && !g_stop; ++attempt) {
        if (!line.Send("AT\r")) break;
        r = line.Result(2000);
        if (!r) return fail(ERROR_PORT_DISCONNECTED, "the line closed");
        ok = *r == "OK";
    }
    if (g_stop) return fail(ERROR_USER_DISCONNECTION, "hung up while dialling");
    if (!ok) return fail(ERROR_FROM_DEVICE, "the phone on " + ToUtf8(plan.strPort) + " does not answer AT");
    if (!plan.strInit.empty()) {
        line.Send("AT" + plan.strInit + "\r");
        r = line.Result(10000);
        if (!r) return fail(ERROR_PORT_DISCONNECTED, "the line closed");
        if (*r != "OK")
            return fail(ERROR_FROM_DEVICE, "the phone refused the init string AT" + plan.strInit +
                                               ": " + (r->empty() ? "no answer" : *r));
    }
    line.Send("ATD" + plan.strDial + "\r");
    r = line.Result(static_cast<int>(plan.nSetupSeconds * 1000));
    if (!r) return fail(ERROR_PORT_DISCONNECTED, "the line closed while dialling");
    if (g_stop) {
        line.Send("\rATH\r");
        return fail(ERROR_USER_DISCONNECTION, "hung up while dialling");
    }
    if (r->rfind("CONNECT", 0) != 0) {
        LinkFailure f = DialFailure(*r, plan);
        return fail(f.code, f.text);
    }
    uint32_t speed = static_cast<uint32_t>(std::strtoul(r->c_str() + 7, nullptr, 10));
    RasConnectionRecord& rec = state.Record();
    rec.eState = RasConnectionRecord::CONNECTED;
    rec.nSpeed = speed ? speed : plan.nBaud;
    rec.nSinceMs = BootTimeMs();
    std::string error;
    if (!state.Save(error)) return fail(ERROR_GEN_FAILURE, error);
    channel.Send("ok");
    channel.Close();

    static constexpr char kIdle[] = "\x7e\xff\x03\xc0\x21\x09\x01\x00\x08\x00\x00\x00\x00\x00\x00\x7e";
    std::string tail = line.TakeBuffered();  // data right behind CONNECT
    rec.nReceived += tail.size();
    auto lastIdle = Clock::now();
    auto lastSave = Clock::now();
    uint64_t savedRx = 0, savedTx = 0;
    bool bCarrier = true;
    while (!g_stop && bCarrier) {
        port->WaitReadable(50);
        char buf[4096];
        size_t got = 0;
        if (!port->ReadAvailable(buf, sizeof buf, &got)) break;  // the line closed
        if (got) {
            rec.nReceived += got;
            tail.append(buf, got);
            if (tail.find("NO CARRIER") != std::string::npos) bCarrier = false;
            if (tail.size() > 16) tail.erase(0, tail.size() - 16);
        }
        auto now = Clock::now();
        if (now - lastIdle >= std::chrono::seconds(1)) {
            lastIdle = now;
            size_t written = 0;
            if (!port->Write(kIdle, sizeof kIdle - 1, &written)) break;
            rec.nTransmitted += written;
        }
        if (now - lastSave >= std::chrono::milliseconds(200) &&
            (rec.nReceived != savedRx || rec.nTransmitted != savedTx)) {
            lastSave = now;
            savedRx = rec.nReceived;
            savedTx = rec.nTransmitted;
            state.Save(error);
        }
    }
    if (g_stop) {
        // Back to command mode with the guard time around "+++", then hang up.
        auto quietUntil = Clock::now() + std::chrono::milliseconds(1100);
        char buf[4096];
        size_t got;
        while (Clock::now() < quietUntil) {
            port->WaitReadable(50);
            if (!port->ReadAvailable(buf, sizeof buf, &got)) return 0;
        }
        line.Send("+++");
        line.Result(2500, true);
        line.Send("ATH\r");
        line.Result(2000, true);
    }
    return 0;
}

// pppd's log lines, as they come.
class CLineSplitter {
public:
    void Add(const char* p, size_t n) { m_str.append(p, n); }
    bool Next(std::string& line) {
        size_t nl = m_str.find('\n');
        if (nl == std::string::npos) return false;
        line = m_str.substr(0, nl);
        m_str.erase(0, nl + 1);
        return true;
    }

private:
    std::string m_str;
};

int RunPpp(const LinkPlan& plan, CLinkState& state, CChannel& channel, LinkFailure& failure) {
    auto fail = [&](DWORD code, const std::string& text) {
        failure = {code, text};
        return 1;
    };
    std::string pppd, error;
    if (!CheckPppSupport(pppd, error)) return fail(ERROR_PPP_NO_PROTOCOLS_CONFIGURED, error);
    if (plan.entry.dwFramingProtocol == RASFP_Slip)
        return fail(ERROR_PPP_NO_PROTOCOLS_CONFIGURED,
                    "the entry asks for SLIP framing, which pppd does not speak; set it to PPP");
    std::optional<fs::path> device = ResolvePortName(plan.strPort);
    if (!device)
        return fail(ERROR_PORT_NOT_FOUND, "the port " + ToUtf8(plan.strPort) +
                                              " has no Linux device in the port map");
    std::string script;
    if (!BuildChatScript(plan, script, error)) return fail(ERROR_INVALID_PARAMETER, error);
    fs::path scriptPath, optionsPath;
    if (!state.WriteFile("chat", script, scriptPath, error) ||
        !state.WriteFile("options", BuildPppdOptionsFile(plan), optionsPath, error))
        return fail(ERROR_GEN_FAILURE, error);
    const char* chat = std::getenv("KVO_CHAT");
    std::vector<std::string> args = BuildPppdArgs(plan, device->string(),
                                                  chat && *chat ? chat : "/usr/sbin/chat",
                                                  scriptPath.string(), optionsPath.string());
    args.insert(args.begin(), pppd);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return fail(ERROR_GEN_FAILURE, "pipe failed");
    // pppd ends with its link process: a killed link leaves no connection behind.
    const pid_t link = ::getpid();
    pid_t child = fork();
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != link) _exit(127);  // the link is gone already
        int null = ::open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        ::signal(SIGPIPE, SIG_DFL);
        execve(pppd.c_str(), argv.data(), environ);
        _exit(127);
    }
    int rc = child < 0 ? errno : 0;
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        return fail(ERROR_PPP_NO_PROTOCOLS_CONFIGURED,
                    "cannot start " + pppd + ": " + std::strerror(rc));
    }
    CLineSplitter lines;
    std::string last;
    bool bConnected = false;
    bool bOpen = true;
    int status = 0;
    RasConnectionRecord& rec = state.Record();
    for (;;) {
        if (g_stop) {
            ::kill(child, SIGTERM);
            auto until = Clock::now() + std::chrono::seconds(10);
            while (waitpid(child, &status, WNOHANG) == 0) {
                if (Clock::now() >= until) {
                    ::kill(child, SIGKILL);
                    waitpid(child, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            break;
        }
        if (waitpid(child, &status, WNOHANG) == child) break;
        pollfd p{out[0], POLLIN, 0};
        if (bOpen && ::poll(&p, 1, 200) > 0) {
            char buf[1024];
            ssize_t n = ::read(out[0], buf, sizeof buf);
            if (n > 0) lines.Add(buf, static_cast<size_t>(n));
            else bOpen = false;
        } else if (!bOpen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        std::string l;
        while (lines.Next(l)) {
            if (!l.empty()) last = l;
            if (l.rfind("Using interface ", 0) == 0) rec.strInterface = l.substr(16, 15);
            if (!bConnected && l.find("local  IP address") != std::string::npos) {
                bConnected = true;
                rec.eState = RasConnectionRecord::CONNECTED;
                rec.nSpeed = plan.nBaud;
                rec.nSinceMs = BootTimeMs();
                if (!state.Save(error)) {
                    g_stop = true;
                    break;
                }
                state.DropFiles();  // the chat script holds the PIN
                channel.Send("ok");
                channel.Close();
            }
        }
    }
    ::close(out[0]);
    if (!bConnected) {
        if (g_stop) return fail(ERROR_USER_DISCONNECTION, "hung up while dialling");
        if (last.find("Connect script failed") != std::string::npos)
            return fail(ERROR_NO_CARRIER, "the phone did not connect: the chat dialogue failed");
        return fail(ERROR_PPP_NO_PROTOCOLS_CONFIGURED,
                    "pppd ended before the link came up" + (last.empty() ? "" : ": " + last));
    }
    return 0;
}

bool ChatString(const std::string& s, std::string& out, std::string& error) {
    for (char c : s) {
        if (c == '\'' || c == '\\' || c == '^' || static_cast<unsigned char>(c) < 0x20) {
            error = "the text \"" + s + "\" cannot be sent by chat (quote, backslash, ^ or control)";
            return false;
        }
    }
    out = "'" + s + "'";
    return true;
}

std::string OptionQuote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

}  // namespace

std::u16string DialModifier(const std::vector<uint8_t>& cfg) {
    std::u16string out;
    for (size_t i = 0; i < 41 && kDevCfgDialModifier + 2 * i + 1 < cfg.size(); ++i) {
        char16_t c = static_cast<char16_t>(cfg[kDevCfgDialModifier + 2 * i] |
                                           cfg[kDevCfgDialModifier + 2 * i + 1] << 8);
        if (!c) break;
        out.push_back(c);
    }
    return out;
}

void SetDialModifier(std::vector<uint8_t>& cfg, std::u16string_view text) {
    if (cfg.size() < kDevCfgDialModifier + 82) cfg.resize(kDevConfigSize, 0);
    for (size_t i = 0; i < 41; ++i) {
        char16_t c = i < 40 && i < text.size() ? text[i] : 0;
        cfg[kDevCfgDialModifier + 2 * i] = static_cast<uint8_t>(c);
        cfg[kDevCfgDialModifier + 2 * i + 1] = static_cast<uint8_t>(c >> 8);
    }
}

std::string BuildDialString(const RASENTRY& e, std::u16string_view overrideNumber) {
    std::string raw;
    if (!overrideNumber.empty()) {
        raw = Narrow(overrideNumber);
    } else if (e.dwfOptions & RASEO_UseCountryAndAreaCodes) {
        std::u16string pattern = e.dwCountryCode ? u"+EFG" : u"FG";
        DWORD loc = RegGetDword(HKEY_CURRENT_USER, u"ControlPanel\\Dial", u"CurrentLoc", 0xFFFFFFFF);
        if (loc != 0xFFFFFFFF) {
            std::string id = std::to_string(loc);
            auto v = RegQueryValue(HKEY_CURRENT_USER, u"ControlPanel\\Dial\\Locations",
                                   std::u16string(id.begin(), id.end()));
            auto strings = v ? v->AsMultiSz() : std::nullopt;
            // name, local, long-distance, international pattern, country code
            if (strings && strings->size() >= 4 && !(*strings)[3].empty()) pattern = (*strings)[3];
        }
        for (char16_t c : pattern) {
            if (c == u'E') raw += e.dwCountryCode ? std::to_string(e.dwCountryCode) : "";
            else if (c == u'F') raw += Narrow(e.szAreaCode);
            else if (c == u'G') raw += Narrow(e.szLocalPhoneNumber);
            else raw.push_back(static_cast<char>(c & 0xFF));
        }
    } else {
        raw = Narrow(e.szLocalPhoneNumber);
    }
    std::string out;
    for (char c : raw)
        if ((c >= '0' && c <= '9') || std::strchr("*#+,ABCDPTWptw!@", c)) out.push_back(c);
    return out;
}

bool BuildChatScript(const LinkPlan& plan, std::string& script, std::string& error) {
    std::string init, dial;
    if (!ChatString("ATD" + plan.strDial, dial, error)) return false;
    script =
        "ABORT 'NO CARRIER'\nABORT 'BUSY'\nABORT 'NO DIALTONE'\nABORT 'NO ANSWER'\n"
        "ABORT 'ERROR'\nTIMEOUT 10\n'' 'AT'\n";
    if (!plan.strInit.empty()) {
        if (!ChatString("AT" + plan.strInit, init, error)) return false;
        script += "OK " + init + "\n";
    }
    script += "TIMEOUT " + std::to_string(plan.nSetupSeconds) + "\n";
    script += "OK " + dial + "\n";
    script += "CONNECT '\\c'\n";
    return true;
}

std::vector<std::string> BuildPppdArgs(const LinkPlan& plan, const std::string& device,
                                       const std::string& chatProgram,
                                       const std::string& chatScript,
                                       const std::string& optionsFile) {
    auto quote = [](const std::string& s) {
        std::string out = "'";
        for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    };
    const RASENTRY& e = plan.entry;
    std::vector<std::string> a = {device, std::to_string(plan.nBaud), "nodetach", "modem",
                                  "crtscts", "noauth", "connect",
                                  quote(chatProgram) + " -f " + quote(chatScript),
                                  "file", optionsFile};
    if (e.dwfOptions & RASEO_SpecificIpAddr && !e.ipaddr.IsZero()) {
        a.push_back(FormatIp(e.ipaddr) + ":");
    } else {
        a.push_back("noipdefault");
    }
    if (e.dwfOptions & RASEO_RemoteDefaultGateway) a.push_back("defaultroute");
    // The entry's own name servers replace the ones the network offers.
    if (!(e.dwfOptions & RASEO_SpecificNameServers) || e.ipaddrDns.IsZero()) a.push_back("usepeerdns");
    if (!(e.dwfOptions & RASEO_IpHeaderCompression)) a.push_back("novj");
    if (!(e.dwfOptions & RASEO_SwCompression)) {
        a.push_back("nobsdcomp");
        a.push_back("nodeflate");
    }
    if (e.dwfOptions & RASEO_DisableLcpExtensions) a.push_back("default-asyncmap");
    a.insert(a.end(), {"lcp-echo-interval", "30", "lcp-echo-failure", "4"});
    return a;
}

std::string BuildPppdOptionsFile(const LinkPlan& plan) {
    std::string out;
    if (!plan.strUser.empty()) out += "user " + OptionQuote(plan.strUser) + "\n";
    if (!plan.strPassword.empty()) out += "password " + OptionQuote(plan.strPassword) + "\n";
    return out;
}

bool CheckPppSupport(std::string& pppd, std::string& error) {
    const char* dev = std::getenv("KVO_PPP_DEVICE");
    const char* prog = std::getenv("KVO_PPPD");
    std::string device = dev && *dev ? dev : "/dev/ppp";
    pppd = prog && *prog ? prog : "/usr/sbin/pppd";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        error = "this machine has no PPP support: " + device +
                " is missing (load the kernel module with `modprobe ppp_generic`, or in a "
                "container pass the device in)";
        return false;
    }
    if (::access(pppd.c_str(), X_OK) != 0) {
        error = "pppd was not found at " + pppd + " (install the Debian package ppp)";
        return false;
    }
    return true;
}

int RunLinkProgram(int argc, char** argv) {
    int channelFd = -1;
    std::string entryName;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--channel-fd" && i + 1 < argc) {
            channelFd = std::atoi(argv[++i]);
        } else if (entryName.empty() && a.rfind("-", 0) != 0) {
            entryName = a;
        } else {
            entryName.clear();
            break;
        }
    }
    if (channelFd < 0 || entryName.empty()) {
        std::fprintf(stderr,
                     "usage: kvo-link --channel-fd N ENTRY\n"
                     "  the link process of one dial-up connection; RasDial starts it\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &sa, nullptr);

    CChannel channel(channelFd);
    std::string user, password, number;
    if (!channel.ReadRequest(user, password, number)) return 1;
    channel.Send("pid " + std::to_string(::getpid()));
    auto fail = [&](DWORD code, const std::string& text) {
        channel.Send("error " + std::to_string(code) + " " + text);
        return 1;
    };

    LinkPlan plan;
    plan.strEntry = FromUtf8(entryName);
    if (RasGetEntryProperties(u"", plan.strEntry, plan.entry, &plan.devConfig) != 0)
        return fail(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "there is no dial-up entry \"" + entryName + "\"");
    RASDIALPARAMS stored;
    stored.dwSize = kRasDialParamsSize;
    stored.szEntryName = plan.strEntry;
    RasGetEntryDialParams(u"", stored, nullptr);
    plan.strUser = user.empty() ? ToUtf8(stored.szUserName) : user;
    plan.strPassword = password.empty() ? ToUtf8(stored.szPassword) : password;
    plan.strInit = Narrow(DialModifier(plan.devConfig));
    plan.strDial = BuildDialString(plan.entry, FromUtf8(number));
    if (plan.strDial.empty()) return fail(ERROR_INVALID_PARAMETER, "the entry has no number to dial");
    plan.nBaud = Dword(plan.devConfig, kDevCfgBaudRate);
    if (!plan.nBaud) plan.nBaud = 9600;
    plan.nSetupSeconds = Dword(plan.devConfig, 4);
    if (!plan.nSetupSeconds || plan.nSetupSeconds > 600) plan.nSetupSeconds = 60;
    plan.strDevice = plan.entry.szDeviceName;
    bool bFound = false;
    for (const LineDeviceInfo& d : ListLineDevices()) {
        if (d.strName != plan.strDevice) continue;
        bFound = true;
        plan.strPort = d.strPort;
        plan.bSimulated = d.bSimulated;
        break;
    }
    if (!bFound)
        return fail(ERROR_DEVICE_DOES_NOT_EXIST,
                    "there is no line device \"" + ToUtf8(plan.strDevice) + "\"");
    if (plan.strPort.empty())
        return fail(ERROR_PORT_NOT_FOUND, "the line device \"" + ToUtf8(plan.strDevice) + "\" has no port");

    LinkFailure failure{0, {}};
    int rc = 1;
    {
        CLinkState state;
        state.Record().strEntry = plan.strEntry;
        state.Record().strDevice = plan.strDevice;
        std::string error;
        if (!state.Save(error)) {
            failure = {ERROR_GEN_FAILURE, error};
        } else {
            rc = plan.bSimulated ? RunSimulated(plan, state, channel, failure)
                                 : RunPpp(plan, state, channel, failure);
        }
    }
    if (failure.code) return fail(failure.code, failure.text);
    return rc;
}

}  // namespace ce
