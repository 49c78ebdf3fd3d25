#include "connect_flow_command.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <ostream>
#include <thread>

#include "common/install_dir.h"
#include "connect/dialup/connect_strings.h"
#include "connect/dialup/intranet_settings.h"
#include "connect/flow/command.h"
#include "connect/flow/connection.h"
#include "connect/provisioning/intranet_rules.h"
#include "connect/provisioning/mail_account.h"
#include "kvocomm/kvocomm.h"
#include "platform/connmgr.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/line.h"
#include "platform/profile.h"
#include "platform/ras.h"
#include "platform/ras_link.h"
#include "platform/soft_reset.h"
#include "platform/text.h"

namespace kvo::cli {
namespace {

using kvo::connect::CConnection;

std::atomic<bool> g_bStop{false};
extern "C" void OnInterrupt(int) {
    g_bStop.store(true);
}

std::string U8(const std::u16string& s) {
    return ce::ToUtf8(s);
}

// Status texts may be HTML tables: a terminal gets their words.
std::string PlainText(const std::u16string& html) {
    std::string out;
    bool inTag = false;
    for (char c : U8(html)) {
        if (c == '<') {
            inTag = true;
            if (!out.empty() && out.back() != ' ')
                out.push_back(' ');
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            out.push_back(c);
        }
    }
    size_t b = out.find_first_not_of(' '), e = out.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
}

// Questions asked on the terminal, or answered by --yes/--no; without either and without a
// terminal to ask on, the safe answer (no).
class CConnectTerminalUi : public IUserInterface {
public:
    CConnectTerminalUi(std::ostream& err, int fixed) : m_err(err), m_nFixed(fixed) {}
    void MessageBox(const std::u16string& text, const std::u16string& = {}) override {
        m_err << PlainText(text) << "\n";
    }
    bool Ask(const std::u16string& question) override {
        if (m_nFixed >= 0 || !isatty(0)) {
            bool a = m_nFixed > 0;
            m_err << PlainText(question) << " -> " << (a ? "yes" : "no") << "\n";
            return a;
        }
        m_err << PlainText(question) << " [y/N] " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line))
            return false;
        return line == "y" || line == "Y" || line == "yes";
    }
    // The one OK/Cancel question is the telephony retry, where Cancel waits on: unattended,
    // OK (give up) is the answer that ends.
    bool OkCancel(const std::u16string& text, const std::u16string& = {}) override {
        if (m_nFixed >= 0 || !isatty(0)) {
            m_err << PlainText(text) << " -> OK\n";
            return true;
        }
        return Ask(text);
    }
    void SetStatus(const std::u16string& text) override {
        std::string t = PlainText(text);
        if (!t.empty() && t != m_strLast)
            m_err << t << "\n";
        m_strLast = t;
    }
    void SetProgress(int, int) override {}
    int Fixed() const { return m_nFixed; }

private:
    std::ostream& m_err;
    int m_nFixed;  // -1 ask, 0 no, 1 yes
    std::string m_strLast;
};

bool Prepare(CConnection& conn, std::ostream& err) {
    ce::SetAppName(u"connect");
    if (kvo::connect::StartUp(conn))
        return true;
    err << "kvo: " << U8(conn.m_strLastError) << "\n";
    return false;
}

int Finish(int rc, CConnection& conn, std::ostream& err) {
    if (rc == kvo::connect::kCommandOk)
        return kExitOk;
    err << "kvo: " << (conn.m_strLastError.empty() ? "the command failed" : U8(conn.m_strLastError))
        << "\n";
    return kExitFailed;
}

int RunDetect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo connect detect\n";
        return kExitUsage;
    }
    CConnectTerminalUi ui(err, 0);
    CConnection conn(ui, GetKvoComm());
    if (!Prepare(conn, err))
        return kExitFailed;
    int rc = Finish(kvo::connect::RunWindowlessCommand(conn, u"e"), conn, err);
    if (rc != kExitOk)
        return rc;
    out << "phone\t" << U8(conn.m_phone.m_strName) << "\nisp\t" << U8(conn.m_isp.m_strName)
        << "\nmethod\t" << U8(conn.m_strMethod) << "\nuser\t" << U8(conn.m_strUser) << "\n";
    return kExitOk;
}

uint32_t ReadHandleFile(const std::u16string& path, bool& present) {
    std::string bytes;
    present = ce::ReadFileBytes(path, bytes) && bytes.size() >= 4;
    if (!present)
        return 0;
    return static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8 |
           static_cast<uint8_t>(bytes[2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[3])) << 24;
}

int RunUp(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int fixed = -1;
    bool detach = false;
    std::string network;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--yes")
            fixed = 1;
        else if (args[i] == "--no")
            fixed = 0;
        else if (args[i] == "--detach")
            detach = true;
        else if (args[i] == "--network" && i + 1 < args.size() &&
                 (args[i + 1] == "internet" || args[i + 1] == "intranet"))
            network = args[++i];
        else {
            err << "usage: kvo connect up [--yes|--no] [--network internet|intranet] [--detach]\n";
            return kExitUsage;
        }
    }
    int report[2] = {-1, -1};
    if (detach) {
        if (pipe2(report, O_CLOEXEC) != 0) {
            err << "kvo: cannot start the connection in the background\n";
            return kExitFailed;
        }
        out.flush();
        err.flush();
        pid_t pid = fork();
        if (pid < 0) {
            err << "kvo: cannot start the connection in the background\n";
            return kExitFailed;
        }
        if (pid > 0) {
            // The caller waits for the flow's last request, then leaves the connection to it.
            close(report[1]);
            uint32_t handle = 0;
            ssize_t got = read(report[0], &handle, sizeof handle);
            close(report[0]);
            if (got != static_cast<ssize_t>(sizeof handle)) {
                int status = 0;
                waitpid(pid, &status, 0);
                return kExitFailed;
            }
            out << "connected\t" << handle << "\n";
            return kExitOk;
        }
        close(report[0]);
        setsid();
    }
    CConnectTerminalUi ui(err, fixed);
    CConnection conn(ui, GetKvoComm());
    if (!Prepare(conn, err))
        return kExitFailed;
    conn.m_chooseNetwork = [&]() {
        if (network == "intranet")
            return kvo::connect::ENetworkAnswer::Intranet;
        if (network == "internet")
            return kvo::connect::ENetworkAnswer::Internet;
        if (fixed < 0 && isatty(0)) {
            err << "Connect with? [internet/intranet/cancel] " << std::flush;
            std::string line;
            if (std::getline(std::cin, line)) {
                if (line == "internet")
                    return kvo::connect::ENetworkAnswer::Internet;
                if (line == "intranet")
                    return kvo::connect::ENetworkAnswer::Intranet;
            }
        }
        return kvo::connect::ENetworkAnswer::Cancel;
    };
    conn.m_intranetLogin = [&](std::u16string& user, std::u16string& password) {
        if (fixed < 0 && isatty(0)) {
            std::string line;
            err << "Intranet user name [" << U8(user) << "]: " << std::flush;
            if (!std::getline(std::cin, line))
                return false;
            if (!line.empty())
                user = ce::FromUtf8(line);
            err << "Password (empty keeps the stored one): " << std::flush;
            if (!std::getline(std::cin, line))
                return false;
            if (!line.empty())
                password = ce::FromUtf8(line);
            return true;
        }
        return fixed == 1;
    };
    conn.m_onConnected = [&](uint32_t handle) {
        if (!detach) {
            out << "connected\t" << handle << "\n" << std::flush;
            return;
        }
        ssize_t w = write(report[1], &handle, sizeof handle);
        (void)w;
        close(report[1]);
        report[1] = -1;
        // Nobody reads the terminal for this process any more.
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        close(null);
    };
    conn.m_pStop = &g_bStop;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // An explicit --network is this run's choice, whatever is saved.
    std::u16string text = u"c";
    int rc;
    if (!network.empty()) {
        // Initialise happens inside the command; the choice is applied through the question.
        conn.m_bForceNetworkQuestion = true;
    }
    rc = Finish(kvo::connect::RunWindowlessCommand(conn, text), conn, err);
    if (detach)
        _exit(rc);
    return rc;
}

int RunDown(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo connect down\n";
        return kExitUsage;
    }
    std::u16string dir;
    std::string error;
    if (!GetInstallDirChecked(dir, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    bool present = false;
    uint32_t handle = ReadHandleFile(dir + u"kvo.con2", present);
    uint32_t status = 0;
    if (!handle || ce::ConnMgrConnectionStatus(handle, &status) != ce::S_OK ||
        status == ce::CONNMGR_STATUS_DISCONNECTED) {
        err << "kvo: no connection to end (kvo.con2 names none that is up)\n";
        return kExitFailed;
    }
    std::string bytes(reinterpret_cast<const char*>(&handle), 4);
    std::u16string request = dir + u"kvo.conn";
    if (!ce::WriteFileAtomic(request, bytes)) {
        err << "kvo: cannot write kvo.conn: " << ce::GetLastErrorText() << "\n";
        return kExitFailed;
    }
    using namespace std::chrono;
    // The connection's owner watches for the request once a second; a connection without a
    // watching owner is released here.
    auto deadline = steady_clock::now() + seconds(5);
    while (ce::FileExists(request) && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(50));
    if (ce::FileExists(request)) {
        ce::DeleteFile(request);
        ce::ConnMgrReleaseConnection(handle, 0);
    }
    deadline = steady_clock::now() + seconds(15);
    while (ce::ConnMgrConnectionStatus(handle, &status) == ce::S_OK &&
           status != ce::CONNMGR_STATUS_DISCONNECTED && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(50));
    if (status != ce::CONNMGR_STATUS_DISCONNECTED) {
        err << "kvo: the connection " << handle << " has not ended\n";
        return kExitFailed;
    }
    out << "disconnected\t" << handle << "\n";
    return kExitOk;
}

std::string Ip(const ce::RASIPADDR& a) {
    return ce::FormatIp(a);
}

int RunEntry(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty()) {
        err << "usage: kvo connect entry\n";
        return kExitUsage;
    }
    std::u16string name = kvo::connect::LoadString(kvo::connect::IDS_ENTRY_NAME);
    ce::RASENTRY e;
    std::vector<uint8_t> cfg;
    if (ce::RasGetEntryProperties(u"", name, e, &cfg) != 0) {
        err << "kvo: there is no dial-up entry \"kvonet\" yet (kvo connect detect, then up)\n";
        return kExitFailed;
    }
    ce::RASDIALPARAMS p;
    p.dwSize = ce::kRasDialParamsSize;
    p.szEntryName = name;
    bool saved = false;
    ce::RasGetEntryDialParams(u"", p, &saved);
    std::string options;
    const std::pair<uint32_t, const char*> names[] = {
        {ce::RASEO_UseCountryAndAreaCodes, "country-and-area-codes"},
        {ce::RASEO_SpecificIpAddr, "specific-ip"},
        {ce::RASEO_SpecificNameServers, "specific-name-servers"},
        {ce::RASEO_IpHeaderCompression, "ip-header-compression"},
        {ce::RASEO_RemoteDefaultGateway, "remote-default-gateway"},
        {ce::RASEO_SwCompression, "software-compression"},
    };
    for (const auto& [bit, n] : names)
        if (e.dwfOptions & bit)
            options += (options.empty() ? "" : ",") + std::string(n);
    out << "device\t" << U8(e.szDeviceName) << "\nnumber\t" << U8(e.szLocalPhoneNumber)
        << "\ncountry-code\t" << e.dwCountryCode << "\narea-code\t" << U8(e.szAreaCode)
        << "\nframing\t" << (e.dwFramingProtocol == ce::RASFP_Slip ? "SLIP" : "PPP")
        << "\noptions\t" << options << "\nname-servers\t";
    if (e.dwfOptions & ce::RASEO_SpecificNameServers)
        out << Ip(e.ipaddrDns) << "," << Ip(e.ipaddrDnsAlt) << "," << Ip(e.ipaddrWins) << ","
            << Ip(e.ipaddrWinsAlt);
    out << "\ndial-modifier\t" << U8(ce::DialModifier(cfg)) << "\nuser\t" << U8(p.szUserName)
        << "\n";
    return kExitOk;
}

int RunCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) {
        err << "usage: kvo connect call NUMBER\n";
        return kExitUsage;
    }
    CConnectTerminalUi ui(err, 0);
    CConnection conn(ui, GetKvoComm());
    if (!Prepare(conn, err))
        return kExitFailed;
    int rc =
        Finish(kvo::connect::RunWindowlessCommand(conn, u"z " + ce::FromUtf8(args[0])), conn, err);
    if (rc == kExitOk)
        out << "dialled\t" << args[0] << "\n";
    return rc;
}

int RunIntranet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool show = args.size() == 1 && args[0] == "show";
    bool set = args.size() == 3 && args[0] == "set";
    if (!show && !set) {
        err << "usage: kvo connect intranet show | set KEY VALUE\n";
        return kExitUsage;
    }
    std::u16string dir;
    std::string error;
    if (!GetInstallDirChecked(dir, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    std::u16string path = dir + std::u16string(kvo::connect::kIntranetFileName);
    kvo::connect::CIntranetSettings s;
    if (!kvo::connect::LoadIntranetDat(path, s, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    static const char* const keys[] = {"internet",       "proxy",       "proxy_http",  "proxy_wap",
                                       "proxy_socks",    "socks4",      "socks5",      "proxy_user",
                                       "proxy_password", "user",        "password",    "ip",
                                       "slip",           "compress_sw", "compress_hd", "dns",
                                       "altdns",         "wins",        "altwins",     "apn"};
    if (show) {
        for (const char* k : keys) {
            std::u16string* v = s.Field(ce::FromUtf8(k));
            bool secret = std::string(k).find("password") != std::string::npos;
            out << k << "\t" << (secret && !v->empty() ? "********" : U8(*v)) << "\n";
        }
        return kExitOk;
    }
    std::u16string* field = s.Field(ce::FromUtf8(args[1]));
    if (!field) {
        err << "kvo: unknown intranet setting \"" << args[1] << "\"; one of:";
        for (const char* k : keys) err << " " << k;
        err << "\n";
        return kExitUsage;
    }
    *field = ce::FromUtf8(args[2]);
    if (kvo::connect::FinishIntranetWizard(s))
        err << U8(kvo::connect::LoadString(kvo::connect::IDS_INTRANET_HINT)) << "\n";
    if (!kvo::connect::SaveIntranetDat(path, s, error)) {
        err << "kvo: " << error << "\n";
        return kExitFailed;
    }
    out << args[1] << "\t" << U8(*field) << "\n";
    return kExitOk;
}

int RunMailAccount(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    kvo::connect::CMailAccountForm f = kvo::connect::PresetMailForm();
    const char* usage =
        "usage: kvo connect mail-account --user USER --password PASSWORD [--name NAME] "
        "[--email ADDRESS] [--smtp SERVER] [--pop3 SERVER]\n";
    for (size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            err << usage;
            return kExitUsage;
        }
        std::u16string v = ce::FromUtf8(args[i + 1]);
        if (args[i] == "--user")
            f.m_strUser = v;
        else if (args[i] == "--password")
            f.m_strPassword = v;
        else if (args[i] == "--name")
            f.m_strYourName = v;
        else if (args[i] == "--email")
            f.m_strEmail = v;
        else if (args[i] == "--smtp")
            f.m_strOutgoing = v;
        else if (args[i] == "--pop3")
            f.m_strIncoming = v;
        else {
            err << usage;
            return kExitUsage;
        }
    }
    if (f.m_strUser.empty()) {
        err << usage;
        return kExitUsage;
    }
    switch (kvo::connect::CreateOperatorMailAccount(f)) {
        case kvo::connect::EMailResult::Ok:
            break;
        case kvo::connect::EMailResult::DocumentFailed:
            err << "kvo: the mail account was refused: " << ce::GetLastErrorText() << "\n";
            return kExitFailed;
        case kvo::connect::EMailResult::RegistryFailed:
            err << "kvo: " << U8(kvo::connect::LoadString(kvo::connect::IDS_REGISTRY_FAILED)) << " "
                << ce::GetLastErrorText() << "\n";
            return kExitFailed;
    }
    out << U8(kvo::connect::LoadString(kvo::connect::IDS_MAIL_CONFIGURED)) << "\n";
    return kExitOk;
}

int RunUninstall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1 || args[0] != "--yes") {
        err << "usage: kvo connect uninstall --yes   (removes the suite's settings and files, "
               "then resets the handheld)\n";
        return kExitUsage;
    }
    CConnectTerminalUi ui(out, 1);
    CConnection conn(ui, GetKvoComm());
    if (!Prepare(conn, err))
        return kExitFailed;
    bool ok = conn.Uninstall();
    if (conn.m_bResetPending)
        ce::KernelIoControl(ce::IOCTL_HAL_REBOOT);
    if (!ok) {
        err << "kvo: " << U8(conn.m_strLastError) << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

void AddConnectFlowCommands(std::map<std::string, Command>& table) {
    table["detect"] = {"connect detect", "detect phone, operator and method and store them",
                       RunDetect};
    table["up"] = {"connect up [--yes|--no] [--network internet|intranet] [--detach]",
                   "connect through the phone; stays until the connection ends (Ctrl-C ends it)",
                   RunUp};
    table["down"] = {"connect down", "end the connection kvo.con2 names", RunDown};
    table["entry"] = {"connect entry", "the dial-up entry \"kvonet\" as key/value lines", RunEntry};
    table["call"] = {"connect call NUMBER", "a voice call through the phone", RunCall};
    table["intranet"] = {"connect intranet show | set KEY VALUE", "the intranet settings",
                         RunIntranet};
    table["mail-account"] = {"connect mail-account --user USER --password PASSWORD ...",
                             "the preset operator's mail account and start page", RunMailAccount};
    table["uninstall"] = {"connect uninstall --yes", "remove the suite's settings and files",
                          RunUninstall};
}

}  // namespace kvo::cli
