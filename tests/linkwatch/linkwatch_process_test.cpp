// The monitor as a real program on a device, counting a kvophone data call made by kvo.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "linkwatch/monitor_files.h"
#include "linkwatch/monitor_settings.h"
#include "linkwatch/traffic_record.h"
#include "platform/datetime.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/line.h"
#include "platform/ras.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace kvo::linkwatch;

namespace {

// How kvo brings the connection up and down; one place to switch when it gains its own flow.
const std::vector<std::string> kConnectUp = {"connect", "dial", "kvonet"};
const std::vector<std::string> kConnectDown = {"connect", "hangup", "kvonet"};

template <class F>
bool WaitUntil(F done, std::chrono::milliseconds limit = 20000ms) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

class LinkwatchProcessTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        m_files = CMonitorFiles::Installed();
        kvo::phone::Scenario s;
        ASSERT_TRUE(kvo::phone::ParseScenario("[data]\nspeed = 19200\nrate = 500\n", s, error))
            << error;
        m_phone = std::make_unique<kvo::phone::CPhoneSim>(s);
        fs::path link = ce::DeviceRoot() / "dev" / "COM3";
        ASSERT_TRUE(m_phone->Start(link.string(), 0, error)) << error;
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kPortMapKey, u"COM3:",
                                    ce::RegValue::Sz(ce::FromUtf8(link.string()))));
        ce::LineDeviceInfo line;
        line.strName = u"Generic IrDA-modem";
        line.strPort = u"COM3:";
        line.bSimulated = true;
        ASSERT_TRUE(ce::AddLineDevice(line));
        ce::RASENTRY e;
        e.dwSize = ce::kRasEntrySize;
        e.szLocalPhoneNumber = u"*99***1#";
        e.szDeviceName = line.strName;
        ASSERT_EQ(
            ce::RasSetEntryProperties(u"", u"kvonet", e, ce::kRasEntrySize, ce::DefaultDevConfig()),
            0u);
        MonitorSettings settings;
        settings.blockSizeKb = 100;
        settings.iconX = 50;
        ASSERT_TRUE(SaveMonitorSettings(m_files.SettingsPath(), settings));
    }
    void TearDown() override {
        // A monitor a failed test left behind is asked to stop, then ended.
        if (m_files.HasMarker(kDrun)) {
            m_files.SetMarker(kTerminate);
            WaitUntil([&] { return !m_files.HasMarker(kDrun); }, 5000ms);
        }
        for (pid_t pid : m_pids) kvo::test::WaitProgram(pid, 1000);
        for (const auto& c : ce::RasListConnections()) ce::RasHangUp(c.hConn);
        if (m_phone)
            m_phone->Stop();
    }

    pid_t StartMonitor() {
        // Through its installed link, so that the process is named linkwatch.exe.
        std::string exe = ce::MapPath(m_files.Path(kMonitorExe)).string();
        pid_t pid = kvo::test::StartProgram(exe, {}, -1, -1);
        m_pids.push_back(pid);
        return pid;
    }
    kvo::test::ProgramResult Kvo(const std::vector<std::string>& args) {
        return kvo::test::RunProgram(kvo::test::BuiltProgram("kvo"), args);
    }
    std::vector<TrafficRecord> MonthLog() {
        ce::SYSTEMTIME now = ce::GetLocalTime();
        std::string bytes;
        ce::ReadFileBytes(m_files.LogPath(now.wMonth, now.wYear), bytes);
        return ParseTrafficLog(bytes);
    }

    CMonitorFiles m_files{u""};
    std::unique_ptr<kvo::phone::CPhoneSim> m_phone;
    std::vector<pid_t> m_pids;
};

TEST_F(LinkwatchProcessTest, CountsADataCallAndStopsOnRequest) {
    pid_t monitor = StartMonitor();
    ASSERT_TRUE(WaitUntil([&] { return m_files.HasMarker(kDrun); }));

    auto up = Kvo(kConnectUp);
    ASSERT_EQ(up.status, 0) << up.err;
    // The running session's snapshot comes every fifth second.
    ASSERT_TRUE(WaitUntil([&] { return ce::FileExists(m_files.AktualPath()); }));

    // A second copy ends at once and leaves the first running.
    auto second = kvo::test::RunProgram(ce::MapPath(m_files.Path(kMonitorExe)).string(), {});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(::kill(monitor, 0), 0);
    EXPECT_TRUE(m_files.HasMarker(kDrun));

    auto down = Kvo(kConnectDown);
    ASSERT_EQ(down.status, 0) << down.err;
    ASSERT_TRUE(m_phone->WaitForJournal("HANGUP data received=", 5000));
    ASSERT_TRUE(WaitUntil([&] { return MonthLog().size() == 1; }));
    EXPECT_TRUE(WaitUntil([&] { return !ce::FileExists(m_files.AktualPath()); }, 3000ms));

    // The link's own final counts, rounded up to the 100 kB block, are what was logged.
    unsigned long phoneReceived = 0, phoneSent = 0;
    for (const std::string& line : m_phone->Journal()) {
        if (line.rfind("HANGUP data received=", 0) == 0)
            std::sscanf(line.c_str(), "HANGUP data received=%lu sent=%lu", &phoneReceived,
                        &phoneSent);
    }
    ASSERT_GT(phoneSent, 0u);
    const uint64_t block = 102400;
    const uint64_t linkRounded = ((uint64_t{phoneReceived} + phoneSent) / block + 1) * block;
    TrafficRecord r = MonthLog()[0];
    EXPECT_EQ(uint64_t{r.nReceived} + r.nTransmitted, linkRounded);
    // The handheld received what the phone sent: the larger share.
    EXPECT_GT(r.nReceived, r.nTransmitted);
    EXPECT_GT(r.nPeak, 0u);

    m_files.SetMarker(kTerminate);
    EXPECT_EQ(kvo::test::WaitProgram(monitor, 10000), 1);
    EXPECT_FALSE(m_files.HasMarker(kDrun));
    EXPECT_FALSE(m_files.HasMarker(kTerminate));
}

TEST_F(LinkwatchProcessTest, AMonitorOfAnotherDeviceIsNoSecondCopy) {
    // Another handheld on the same machine, its monitor running.
    const fs::path mine = ce::DeviceRoot();
    const fs::path other = mine.parent_path() / (mine.filename().string() + "-other");
    std::string error;
    ce::SetDeviceRoot(other);
    ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    CMonitorFiles otherFiles = CMonitorFiles::Installed();
    const std::string otherExe = ce::MapPath(otherFiles.Path(kMonitorExe)).string();
    setenv("KVO_DEVICE", other.c_str(), 1);
    pid_t otherPid = kvo::test::StartProgram(otherExe, {}, -1, -1);
    setenv("KVO_DEVICE", mine.c_str(), 1);
    const bool otherUp = WaitUntil([&] { return otherFiles.HasMarker(kDrun); });
    ce::SetDeviceRoot(mine);

    pid_t monitor = StartMonitor();
    EXPECT_TRUE(otherUp);
    EXPECT_TRUE(WaitUntil([&] { return m_files.HasMarker(kDrun); }));
    m_files.SetMarker(kTerminate);
    EXPECT_EQ(kvo::test::WaitProgram(monitor, 10000), 1);

    ce::SetDeviceRoot(other);
    otherFiles.SetMarker(kTerminate);
    EXPECT_EQ(kvo::test::WaitProgram(otherPid, 10000), 1);
    ce::SetDeviceRoot(mine);
    fs::remove_all(other);
}

TEST_F(LinkwatchProcessTest, KvoMonitorSwitchesTheMonitorAndItsStartUpEntry) {
    auto on = Kvo({"monitor", "on"});
    ASSERT_EQ(on.status, 0) << on.err;
    ASSERT_TRUE(WaitUntil([&] { return m_files.HasMarker(kDrun); }));
    auto status = Kvo({"monitor", "status"});
    EXPECT_NE(status.out.find("running yes\nmonitoring on\nstartup-shortcut yes\n"),
              std::string::npos)
        << status.out;
    EXPECT_TRUE(ce::FileExists(u"\\Windows\\StartUp\\linkwatcd.lnk"));

    auto off = Kvo({"monitor", "off"});
    ASSERT_EQ(off.status, 0) << off.err;
    EXPECT_TRUE(WaitUntil([&] { return !m_files.HasMarker(kDrun); }, 10000ms));
    EXPECT_FALSE(ce::FileExists(u"\\Windows\\StartUp\\linkwatcd.lnk"));
    status = Kvo({"monitor", "status"});
    EXPECT_NE(status.out.find("running no\nmonitoring off\nstartup-shortcut no\n"),
              std::string::npos)
        << status.out;
}

}  // namespace
