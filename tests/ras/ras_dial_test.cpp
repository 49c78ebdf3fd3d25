// Dial-up against kvophone on a pty: real link processes, real records, real hang-ups.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/connmgr.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/line.h"
#include "platform/ras.h"
#include "platform/ras_link.h"
#include "platform/ras_record.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr char16_t kEntry[] = u"kvonet";

template <class F>
bool WaitUntil(F done, std::chrono::milliseconds limit = 15000ms) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<ce::RASCONN> Enumerate() {
    std::vector<ce::RASCONN> buf(8);
    buf[0].dwSize = sizeof(ce::RASCONN);
    ce::DWORD cb = static_cast<ce::DWORD>(buf.size() * sizeof(ce::RASCONN)), count = 0;
    EXPECT_EQ(ce::RasEnumConnections(buf.data(), &cb, &count), 0u);
    buf.resize(count);
    return buf;
}

// Files left in <device>/ras.
std::vector<std::string> RasFiles() {
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::directory_iterator it(ce::RasDir(), ec), end; !ec && it != end; it.increment(ec))
        out.push_back(it->path().filename().string());
    return out;
}

class RasDialTest : public kvo::test::DeviceTest {
protected:
    void TearDown() override {
        for (const auto& c : ce::RasListConnections()) ce::RasHangUp(c.hConn);
        for (auto& p : m_phones) p->Stop();
    }

    // A phone on its own port, behind a line device `device`, with an entry `entry` for it.
    kvo::phone::CPhoneSim& AddPhone(std::string_view data, const std::u16string& entry = kEntry,
                                    const std::u16string& device = u"Generic IrDA-modem",
                                    bool bSimulated = true, uint32_t setupSeconds = 60) {
        kvo::phone::Scenario s;
        std::string error;
        EXPECT_TRUE(kvo::phone::ParseScenario("[data]\n" + std::string(data), s, error)) << error;
        auto phone = std::make_unique<kvo::phone::CPhoneSim>(s);
        std::u16string port = u"COM" + ce::FromUtf8(std::to_string(3 + m_phones.size())) + u":";
        fs::path link = ce::DeviceRoot() / ("COM" + std::to_string(3 + m_phones.size()));
        EXPECT_TRUE(phone->Start(link.string(), 0, error)) << error;
        EXPECT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kPortMapKey, port,
                                    ce::RegValue::Sz(ce::FromUtf8(link.string()))));
        ce::LineDeviceInfo line;
        line.strName = device;
        line.strPort = port;
        line.bSimulated = bSimulated;
        EXPECT_TRUE(ce::AddLineDevice(line));
        ce::RASENTRY e;
        e.dwSize = ce::kRasEntrySize;
        e.dwfOptions = ce::RASEO_RemoteDefaultGateway;
        e.szLocalPhoneNumber = u"*99***1#";
        e.szDeviceName = device;
        std::vector<uint8_t> cfg = ce::DefaultDevConfig();
        ce::SetDialModifier(cfg, u"+CGDCONT=1,\"IP\",\"internet\"");
        cfg[4] = static_cast<uint8_t>(setupSeconds);
        EXPECT_EQ(ce::RasSetEntryProperties(u"", entry, e, ce::kRasEntrySize, cfg), 0u);
        m_phones.push_back(std::move(phone));
        return *m_phones.back();
    }

    ce::DWORD Dial(ce::HRASCONN& conn, const std::u16string& entry = kEntry) {
        ce::RASDIALPARAMS p;
        p.dwSize = ce::kRasDialParamsSize;
        p.szEntryName = entry;
        return ce::RasDial(p, &conn);
    }

    static ce::RAS_STATS Stats(ce::HRASCONN conn, ce::DWORD* result = nullptr) {
        ce::RAS_STATS s{};
        s.dwSize = sizeof s;
        ce::DWORD r = ce::RasGetLinkStatistics(conn, 1, &s);
        if (result) *result = r;
        return s;
    }

    std::vector<std::unique_ptr<kvo::phone::CPhoneSim>> m_phones;
};

TEST_F(RasDialTest, DialCountsTheCallAndHangsUp) {
    auto& phone = AddPhone("speed = 19200\nrate = 4000\n");
    ce::HRASCONN conn = 0;
    ASSERT_EQ(Dial(conn), 0u) << ce::GetLastErrorText();
    ASSERT_NE(conn, 0u);
    EXPECT_TRUE(phone.WaitForJournal("> AT+CGDCONT=1,\"IP\",\"internet\"", 1000));
    EXPECT_TRUE(phone.WaitForJournal("DIAL *99***1#", 1000));
    EXPECT_TRUE(phone.WaitForJournal("CONNECT 19200", 1000));
    std::vector<ce::RASCONN> conns = Enumerate();
    ASSERT_EQ(conns.size(), 1u);
    EXPECT_EQ(conns[0].hrasconn, conn);
    EXPECT_EQ(std::u16string(conns[0].szEntryName), kEntry);

    // The phone's traffic and the link's idle frames both show.
    EXPECT_TRUE(WaitUntil([&] {
        ce::RAS_STATS s = Stats(conn);
        return s.dwBytesRcved >= 6000 && s.dwBytesXmited >= 16;
    }));
    ce::DWORD r = 1;
    ce::RAS_STATS s = Stats(conn, &r);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(s.dwSize, 60u);
    EXPECT_EQ(s.dwBps, 19200u);
    EXPECT_GE(s.dwConnectDuration, 1000u);
    ce::RAS_STATS later{};
    EXPECT_TRUE(WaitUntil([&] { return (later = Stats(conn)).dwBytesRcved > s.dwBytesRcved; }));
    EXPECT_GE(later.dwConnectDuration, s.dwConnectDuration);

    EXPECT_EQ(ce::RasHangUp(conn), 0u);
    EXPECT_TRUE(phone.WaitForJournal("ESCAPE data", 1000));
    EXPECT_TRUE(phone.WaitForJournal("HANGUP data received=", 3000));
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_TRUE(RasFiles().empty());
    Stats(conn, &r);
    EXPECT_EQ(r, ce::ERROR_INVALID_HANDLE);
    EXPECT_EQ(ce::RasHangUp(conn), ce::ERROR_INVALID_HANDLE);
}

TEST_F(RasDialTest, TheRecordGoesWhenThePhoneDropsTheCarrierOrTheLine) {
    AddPhone("duration = 1\n");
    auto& second = AddPhone("", u"second", u"Cable modem");
    ce::HRASCONN first = 0, other = 0;
    ASSERT_EQ(Dial(first), 0u) << ce::GetLastErrorText();
    ASSERT_EQ(Dial(other, u"second"), 0u) << ce::GetLastErrorText();
    EXPECT_EQ(Enumerate().size(), 2u);
    // NO CARRIER after a second.
    EXPECT_TRUE(WaitUntil([&] { return Enumerate().size() == 1; }));
    EXPECT_EQ(Enumerate()[0].hrasconn, other);
    // The line closes under the second.
    second.HangUp();
    EXPECT_TRUE(WaitUntil([&] { return Enumerate().empty(); }));
    EXPECT_TRUE(WaitUntil([&] { return RasFiles().empty(); }));
}

TEST_F(RasDialTest, AKilledLinkLeavesNothingBehind) {
    AddPhone("rate = 100\n");
    ce::HRASCONN conn = 0;
    ASSERT_EQ(Dial(conn), 0u) << ce::GetLastErrorText();
    ASSERT_FALSE(RasFiles().empty());
    ASSERT_EQ(::kill(static_cast<pid_t>(conn), SIGKILL), 0);
    EXPECT_TRUE(WaitUntil([&] { return Enumerate().empty(); }));
    EXPECT_TRUE(RasFiles().empty());
    ce::DWORD r = 0;
    Stats(conn, &r);
    EXPECT_EQ(r, ce::ERROR_INVALID_HANDLE);
}

TEST_F(RasDialTest, OtherProcessesSeeAndEndTheConnection) {
    auto& phone = AddPhone("speed = 57600\nrate = 500\n");
    ce::HRASCONN conn = 0;
    ASSERT_EQ(Dial(conn), 0u) << ce::GetLastErrorText();
    ASSERT_TRUE(WaitUntil([&] { return Stats(conn).dwBytesRcved > 0; }));
    auto status = kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), {"connect", "status"});
    EXPECT_EQ(status.status, 0) << status.err;
    // kvonet <handle> 57600 <seconds> <received> <transmitted>
    std::string prefix = "kvonet\t" + std::to_string(conn) + "\t57600\t";
    EXPECT_EQ(status.out.rfind(prefix, 0), 0u) << status.out;
    EXPECT_EQ(std::count(status.out.begin(), status.out.end(), '\n'), 1);
    EXPECT_EQ(std::count(status.out.begin(), status.out.end(), '\t'), 5);

    auto hangup = kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), {"connect", "hangup", "kvonet"});
    EXPECT_EQ(hangup.status, 0) << hangup.err;
    EXPECT_TRUE(phone.WaitForJournal("HANGUP data", 3000));
    EXPECT_TRUE(Enumerate().empty());
    status = kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), {"connect", "status"});
    EXPECT_EQ(status.status, 0);
    EXPECT_EQ(status.out, "");
    hangup = kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), {"connect", "hangup", "kvonet"});
    EXPECT_EQ(hangup.status, 1);
    EXPECT_NE(hangup.err.find("no active connection"), std::string::npos);
}

TEST_F(RasDialTest, AConnectionOutlivesTheProcessThatDialled) {
    auto& phone = AddPhone("rate = 100\n");
    auto dial = kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), {"connect", "dial", "kvonet"});
    ASSERT_EQ(dial.status, 0) << dial.err;
    std::vector<ce::RASCONN> conns = Enumerate();
    ASSERT_EQ(conns.size(), 1u);
    EXPECT_EQ(dial.out, "connected: kvonet handle " + std::to_string(conns[0].hrasconn) + "\n");
    EXPECT_EQ(ce::RasHangUp(conns[0].hrasconn), 0u);
    EXPECT_TRUE(phone.WaitForJournal("HANGUP data", 3000));
}

TEST_F(RasDialTest, EnumerationTellsTheSizeItNeeds) {
    AddPhone("");
    AddPhone("", u"second", u"Cable modem");
    ce::HRASCONN a = 0, b = 0;
    ASSERT_EQ(Dial(a), 0u) << ce::GetLastErrorText();
    ASSERT_EQ(Dial(b, u"second"), 0u) << ce::GetLastErrorText();
    std::vector<ce::RASCONN> buf(1);
    buf[0].dwSize = 52;
    ce::DWORD cb = 52, count = 0;
    EXPECT_EQ(ce::RasEnumConnections(buf.data(), &cb, &count), ce::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(cb, 104u);
    buf.resize(cb / sizeof(ce::RASCONN));
    buf[0].dwSize = 52;
    EXPECT_EQ(ce::RasEnumConnections(buf.data(), &cb, &count), 0u);
    ASSERT_EQ(count, 2u);
    std::u16string names[] = {buf[0].szEntryName, buf[1].szEntryName};
    std::sort(std::begin(names), std::end(names));
    EXPECT_EQ(names[0], u"kvonet");
    EXPECT_EQ(names[1], u"second");
    buf[0].dwSize = 48;
    EXPECT_EQ(ce::RasEnumConnections(buf.data(), &cb, &count), ce::ERROR_INVALID_SIZE);
}

// A Connection Manager request for a destination dials that connection's entry through the
// phone; the connection is the one every program sees, and releasing it hangs up.
TEST_F(RasDialTest, AConnectionRequestDialsThroughThePhoneAndReleaseHangsUp) {
    auto& phone = AddPhone("speed = 57600\n");
    AddPhone("fail = *99***1#,BUSY\n", u"busy", u"Cable modem");
    const ce::GUID internet = ce::kInternetDestination;
    const ce::GUID wap = ce::kWapDestination;
    auto addConnection = [](const std::u16string& entry, const ce::GUID& dest) {
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE,
                                    std::u16string(ce::kConnMgrDialUpConnectionsKey) + u"\\" + entry,
                                    u"DestId", ce::RegValue::Sz(ce::GuidToString(dest))));
    };
    addConnection(kEntry, internet);
    addConnection(u"busy", wap);
    ce::CONNMGR_CONNECTIONINFO info;
    info.dwParams = ce::CONNMGR_PARAM_GUIDDESTNET;
    info.guidDestNet = internet;
    uint32_t h = 0, status = 0;
    ASSERT_EQ(ce::ConnMgrEstablishConnectionSync(info, &h, 30000, &status), ce::S_OK)
        << ce::GetLastErrorText();
    EXPECT_EQ(status, ce::CONNMGR_STATUS_CONNECTED);
    EXPECT_TRUE(phone.WaitForJournal("CONNECT 57600", 1000));
    std::vector<ce::RASCONN> conns = Enumerate();
    ASSERT_EQ(conns.size(), 1u);
    EXPECT_EQ(conns[0].hrasconn, h);
    ASSERT_EQ(ce::ConnMgrConnectionStatus(h, &status), ce::S_OK);
    EXPECT_EQ(status, ce::CONNMGR_STATUS_CONNECTED);
    EXPECT_EQ(ce::ConnMgrReleaseConnection(h, 0), ce::S_OK);
    EXPECT_TRUE(WaitUntil([&] { return Enumerate().empty() && RasFiles().empty(); }));

    // A destination whose entry the phone refuses fails and leaves nothing up.
    info.guidDestNet = wap;
    EXPECT_NE(ce::ConnMgrEstablishConnectionSync(info, &h, 30000, &status), ce::S_OK);
    EXPECT_EQ(status, ce::CONNMGR_STATUS_CONNECTIONFAILED);
    EXPECT_NE(ce::GetLastErrorText().find("BUSY"), std::string::npos) << ce::GetLastErrorText();
    EXPECT_TRUE(Enumerate().empty());
}

TEST_F(RasDialTest, FailedDialsSayWhyAndLeaveNoRecord) {
    AddPhone("fail = *99***1#,BUSY\n");
    AddPhone("fail = *99***1#,SILENT\n", u"silent", u"Cable modem", true, 1);
    AddPhone("fail = *99***1#,NO CARRIER\n", u"carrier", u"BT modem");
    ce::HRASCONN conn = 7;
    EXPECT_EQ(Dial(conn), ce::ERROR_LINE_BUSY);
    EXPECT_EQ(conn, 0u);
    EXPECT_NE(ce::GetLastErrorText().find("BUSY"), std::string::npos);
    EXPECT_EQ(Dial(conn, u"silent"), ce::ERROR_NO_ANSWER);
    EXPECT_NE(ce::GetLastErrorText().find("within 1 s"), std::string::npos) << ce::GetLastErrorText();
    EXPECT_EQ(Dial(conn, u"carrier"), ce::ERROR_NO_CARRIER);
    EXPECT_EQ(Dial(conn, u"missing"), ce::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    ce::RASENTRY e;
    e.dwSize = ce::kRasEntrySize;
    e.szLocalPhoneNumber = u"*99#";
    e.szDeviceName = u"No such modem";
    ASSERT_EQ(ce::RasSetEntryProperties(u"", u"nodevice", e, ce::kRasEntrySize, {}), 0u);
    EXPECT_EQ(Dial(conn, u"nodevice"), ce::ERROR_DEVICE_DOES_NOT_EXIST);
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_TRUE(WaitUntil([] { return RasFiles().empty(); }));
}

TEST_F(RasDialTest, ARealPhoneWithoutPppSupportFailsTheDial) {
    auto& phone = AddPhone("", kEntry, u"USB phone", /*bSimulated=*/false);
    setenv("KVO_PPP_DEVICE", (ce::DeviceRoot() / "no-ppp").c_str(), 1);
    ce::HRASCONN conn = 0;
    EXPECT_EQ(Dial(conn), ce::ERROR_PPP_NO_PROTOCOLS_CONFIGURED);
    EXPECT_NE(ce::GetLastErrorText().find("no PPP support"), std::string::npos) << ce::GetLastErrorText();
    setenv("KVO_PPP_DEVICE", "/dev/null", 1);  // a character device, so pppd is looked for next
    setenv("KVO_PPPD", (ce::DeviceRoot() / "no-pppd").c_str(), 1);
    EXPECT_EQ(Dial(conn), ce::ERROR_PPP_NO_PROTOCOLS_CONFIGURED);
    EXPECT_NE(ce::GetLastErrorText().find("install the Debian package ppp"), std::string::npos);
    unsetenv("KVO_PPP_DEVICE");
    unsetenv("KVO_PPPD");
    EXPECT_EQ(conn, 0u);
    EXPECT_TRUE(Enumerate().empty());
    // Nothing was said to the phone: no pretend call.
    EXPECT_FALSE(phone.WaitForJournal("DIAL", 100));
}

// pppd itself needs /dev/ppp and root; a stand-in that talks as pppd does shows the link's
// side: its arguments, the login file, the interface's counters, the hang-up and the death.
class RasPppTest : public RasDialTest {
protected:
    void SetUp() override {
        fs::path fake = ce::DeviceRoot() / "fake-pppd";
        kvo::test::WriteHostFile(fake, R"(#!/bin/sh
prev=
for a in "$@"; do
  [ "$prev" = file ] && cat "$a" > "$KVO_DEVICE/pppd.options"
  [ "$prev" = connect ] && echo "$a" > "$KVO_DEVICE/pppd.connect"
  prev=$a
done
printf '%s\n' "$@" > "$KVO_DEVICE/pppd.args"
echo $$ > "$KVO_DEVICE/pppd.pid"
if [ -n "$FAKE_PPPD_FAIL" ]; then echo "Connect script failed"; exit 8; fi
echo "Using interface ppp7"
echo "local  IP address 10.1.2.3"
trap 'echo "Connection terminated."; exit 5' TERM
while :; do sleep 0.05; done
)");
        ::chmod(fake.c_str(), 0700);
        fs::path net = ce::DeviceRoot() / "net" / "ppp7" / "statistics";
        kvo::test::WriteHostFile(net / "rx_bytes", "123456\n");
        kvo::test::WriteHostFile(net / "tx_bytes", "654\n");
        setenv("KVO_PPPD", fake.c_str(), 1);
        setenv("KVO_PPP_DEVICE", "/dev/null", 1);
        setenv("KVO_SYS_CLASS_NET", (ce::DeviceRoot() / "net").c_str(), 1);
        AddPhone("", kEntry, u"USB phone", /*bSimulated=*/false);
        ce::RASDIALPARAMS p;
        p.dwSize = ce::kRasDialParamsSize;
        p.szEntryName = kEntry;
        p.szUserName = u"web";
        p.szPassword = u"secret";
        ASSERT_EQ(ce::RasSetEntryDialParams(u"", p, false), 0u);
    }
    void TearDown() override {
        RasDialTest::TearDown();
        for (const char* v : {"KVO_PPPD", "KVO_PPP_DEVICE", "KVO_SYS_CLASS_NET", "FAKE_PPPD_FAIL"})
            unsetenv(v);
    }
    static pid_t PppdPid() {
        return std::atoi(kvo::test::ReadHostFile(ce::DeviceRoot() / "pppd.pid").c_str());
    }
};

TEST_F(RasPppTest, ARealPhoneRunsPppdAndReadsTheKernelsCounters) {
    ce::HRASCONN conn = 0;
    ASSERT_EQ(Dial(conn), 0u) << ce::GetLastErrorText();
    std::string args = kvo::test::ReadHostFile(ce::DeviceRoot() / "pppd.args");
    EXPECT_EQ(args.rfind((ce::DeviceRoot() / "COM3").string() + "\n9600\nnodetach\n", 0), 0u) << args;
    EXPECT_NE(args.find("\ndefaultroute\nusepeerdns\nnovj\nnobsdcomp\nnodeflate\n"), std::string::npos);
    EXPECT_EQ(args.find("secret"), std::string::npos);
    EXPECT_EQ(kvo::test::ReadHostFile(ce::DeviceRoot() / "pppd.options"),
              "user \"web\"\npassword \"secret\"\n");
    EXPECT_NE(kvo::test::ReadHostFile(ce::DeviceRoot() / "pppd.connect").find("/usr/sbin/chat' -f '"),
              std::string::npos);
    ce::RAS_STATS s = Stats(conn);
    EXPECT_EQ(s.dwBytesRcved, 123456u);
    EXPECT_EQ(s.dwBytesXmited, 654u);
    auto list = ce::RasListConnections();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].nBytesReceived, 123456u);
    // The chat script held the init string (and so a PIN): gone once the link is up.
    for (const std::string& f : RasFiles()) EXPECT_EQ(f.find(".chat"), std::string::npos) << f;

    pid_t pppd = PppdPid();
    EXPECT_EQ(ce::RasHangUp(conn), 0u);
    EXPECT_TRUE(WaitUntil([&] { return ce::ProcessStartTime(pppd) == 0; }));
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_TRUE(RasFiles().empty());
}

TEST_F(RasPppTest, PppdEndsWithAKilledLinkAndAFailedChatFailsTheDial) {
    ce::HRASCONN conn = 0;
    ASSERT_EQ(Dial(conn), 0u) << ce::GetLastErrorText();
    pid_t pppd = PppdPid();
    ASSERT_EQ(::kill(static_cast<pid_t>(conn), SIGKILL), 0);
    EXPECT_TRUE(WaitUntil([&] { return ce::ProcessStartTime(pppd) == 0; }));
    EXPECT_TRUE(WaitUntil([&] { return Enumerate().empty() && RasFiles().empty(); }));

    setenv("FAKE_PPPD_FAIL", "1", 1);
    EXPECT_EQ(Dial(conn), ce::ERROR_NO_CARRIER);
    EXPECT_NE(ce::GetLastErrorText().find("chat dialogue failed"), std::string::npos);
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_TRUE(RasFiles().empty());
}

// The real phone's dialogue is chat's: run it against kvophone.
TEST_F(RasDialTest, ChatDialsThePhoneWithTheEntrysScript) {
    if (::access("/usr/sbin/chat", X_OK) != 0) GTEST_SKIP() << "chat (Debian package ppp) missing";
    for (const char* data : {"speed = 38400\n", "fail = *99***1#,BUSY\n"}) {
        SCOPED_TRACE(data);
        m_phones.clear();
        auto& phone = AddPhone(data);
        ce::LinkPlan plan;
        plan.strInit = "+CGDCONT=1,\"IP\",\"internet\"";
        plan.strDial = "*99***1#";
        plan.nSetupSeconds = 5;
        std::string script, error;
        ASSERT_TRUE(ce::BuildChatScript(plan, script, error)) << error;
        fs::path file = ce::DeviceRoot() / "script.chat";
        kvo::test::WriteHostFile(file, script);
        pid_t pid = fork();
        if (pid == 0) {
            int fd = ::open(phone.SlavePath().c_str(), O_RDWR | O_NOCTTY);
            std::string err;
            if (fd < 0 || !ce::MakeRaw(fd, 0, err)) _exit(100);
            dup2(fd, 0);
            dup2(fd, 1);
            execl("/usr/sbin/chat", "chat", "-f", file.c_str(), nullptr);
            _exit(101);
        }
        int code = kvo::test::WaitProgram(pid, 20000);
        EXPECT_TRUE(phone.WaitForJournal("> AT+CGDCONT=1,\"IP\",\"internet\"", 1000));
        EXPECT_TRUE(phone.WaitForJournal("DIAL *99***1#", 1000));
        if (std::string(data).find("BUSY") == std::string::npos) {
            EXPECT_EQ(code, 0);
            EXPECT_TRUE(phone.WaitForJournal("CONNECT 38400", 1000));
        } else {
            EXPECT_EQ(code, 5);  // chat's code for the second ABORT string, BUSY
        }
        phone.Stop();
    }
}

}  // namespace
