// The monitor second by second, with a scripted link and a clock the test moves.
#include <gtest/gtest.h>

#include <memory>

#include "linkwatch/monitor.h"
#include "linkwatch/traffic_record.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/text.h"
#include "tests/linkwatch/step_clock.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo::linkwatch;

class ScriptedLink : public ILinkSource {
public:
    bool Init(std::u16string_view name) override {
        m_nInits++;
        m_strAsked = std::u16string(name);
        return bUp;
    }
    bool Refresh() override { return bUp; }
    uint32_t Received() const override { return nRx; }
    uint32_t Transmitted() const override { return nTx; }
    uint32_t Speed() const override { return bUp ? nSpeed : 0; }

    bool bUp = false;
    uint32_t nRx = 0, nTx = 0, nSpeed = 57600;
    int m_nInits = 0;
    std::u16string m_strAsked;
};

class MonitorTickTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        ce::CreateDirectories(u"\\kvonet");
        m_clock.Set(2026, 12, 8, 10, 0, 0);
    }

    CMonitor& Start(int instances = 1) {
        MonitorHooks hooks;
        hooks.pLink = &m_link;
        hooks.countInstances = [instances] { return instances; };
        hooks.startConnect = [this] {
            ++m_nConnectStarts;
            return true;
        };
        if (m_pixel)
            hooks.taskbarPixel = m_pixel;
        m_monitor = std::make_unique<CMonitor>(m_files, hooks);
        m_result = m_monitor->Start();
        return *m_monitor;
    }

    void WriteSettings(const MonitorSettings& s) {
        ASSERT_TRUE(SaveMonitorSettings(m_files.SettingsPath(), s));
    }
    // Ticks n times, a second apart, adding rx/tx bytes on each.
    void Run(int n, uint32_t rx = 0, uint32_t tx = 0) {
        for (int i = 0; i < n; ++i) {
            m_clock.Step();
            m_link.nRx += rx;
            m_link.nTx += tx;
            ASSERT_TRUE(m_monitor->Tick());
        }
    }
    std::vector<TrafficRecord> Log(int month = 12, int year = 2026) {
        std::string bytes;
        ce::ReadFileBytes(m_files.LogPath(month, year), bytes);
        return ParseTrafficLog(bytes);
    }
    std::string RawLog(int month = 12, int year = 2026) {
        std::string bytes;
        ce::ReadFileBytes(m_files.LogPath(month, year), bytes);
        return bytes;
    }
    void AddRecord(int month, int year, int day, uint32_t rx, uint32_t tx) {
        ce::SYSTEMTIME t{};
        t.wYear = static_cast<uint16_t>(year);
        t.wMonth = static_cast<uint16_t>(month);
        t.wDay = static_cast<uint16_t>(day);
        t.wHour = 12;
        ce::CreateDirectories(m_files.LogDir());
        ce::File f = ce::File::OpenAppend(m_files.LogPath(month, year));
        ASSERT_TRUE(f.Write(FormatTrafficRecord(t, rx, tx, 10)));
    }
    // Connects, counts rx/tx in one tick, hangs up.
    void Session(uint32_t rx, uint32_t tx) {
        m_link.bUp = true;
        m_link.nRx = m_link.nTx = 0;
        Run(1);  // found: counting starts with the next tick
        Run(1, rx, tx);
        m_link.bUp = false;
        Run(1);
    }
    int Notices(std::u16string_view body) {
        std::string log = kvo::test::ReadHostFile(ce::DeviceRoot() / "notifications.log");
        int n = 0;
        std::string b = ce::ToUtf8(body);
        for (size_t p = log.find(b); p != std::string::npos; p = log.find(b, p + 1)) ++n;
        return n;
    }

    kvo::test::StepClock m_clock;
    ScriptedLink m_link;
    CMonitorFiles m_files{u"\\kvonet\\"};
    std::unique_ptr<CMonitor> m_monitor;
    CMonitor::StartResult m_result{};
    TaskbarPixel m_pixel;
    int m_nConnectStarts = 0;
};

TEST_F(MonitorTickTest, SessionsAreRoundedToBlocksInTheRatioOfTheirCounts) {
    MonitorSettings s;
    s.blockSizeKb = 10;
    s.iconX = 50;
    WriteSettings(s);
    Start();
    Session(1, 0);        // one byte: a whole block, all received
    Session(3000, 1000);  // 4000 bytes: 3/4 received
    Session(0, 0);        // nothing moved, still one block: split evenly
    Session(10240, 0);    // exactly a block still gains one
    auto log = Log();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].nReceived, 10240u);
    EXPECT_EQ(log[0].nTransmitted, 0u);
    EXPECT_EQ(log[1].nReceived, 7680u);
    EXPECT_EQ(log[1].nTransmitted, 2560u);
    EXPECT_EQ(log[2].nReceived + log[2].nTransmitted, 10240u);
    EXPECT_EQ(log[2].nReceived, 5120u);
    EXPECT_EQ(log[3].nReceived + log[3].nTransmitted, 20480u);
    EXPECT_EQ(log[1].nPeak, 4000u);
    EXPECT_EQ(m_monitor->TodayVolume(), 10240u * 5);
    EXPECT_EQ(m_link.m_strAsked, u"kvonet");
}

TEST_F(MonitorTickTest, WithoutBlocksTheMeasuredCountsAreLogged) {
    MonitorSettings s;
    s.blockSizeKb = 0;
    WriteSettings(s);
    Start();
    m_link.bUp = true;
    Run(1);
    Run(3, 1000, 20);
    m_link.bUp = false;
    Run(1);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].nReceived, 3000u);
    EXPECT_EQ(log[0].nTransmitted, 60u);
    EXPECT_EQ(log[0].nPeak, 1020u);
    EXPECT_EQ(log[0].strStamp, "08.12.2026 10:00:05");
    EXPECT_NE(RawLog().find("08.12.2026 10:00:05\r\n3000\r\n60\r\n1020\r\n"), std::string::npos);
}

TEST_F(MonitorTickTest, ASessionOverMidnightIsLoggedOncePerDayInTheRightMonth) {
    MonitorSettings s;
    s.blockSizeKb = 0;
    WriteSettings(s);
    m_clock.Set(2026, 12, 31, 23, 59, 49);
    Start();
    m_link.bUp = true;
    Run(1);            // 23:59:50: connection found
    Run(10, 100, 10);  // up to 00:00:00, the last tick on the old day is 23:59:59
    Run(10, 100, 10);  // to 00:00:10
    m_link.bUp = false;
    Run(1);  // 00:00:11: gone
    auto december = Log(12, 2026);
    auto january = Log(1, 2027);
    ASSERT_EQ(december.size(), 1u);
    ASSERT_EQ(january.size(), 1u);
    EXPECT_EQ(december[0].strStamp, "31.12.2026 23:59:59");
    EXPECT_EQ(december[0].nReceived, 900u);  // nine ticks before midnight
    EXPECT_EQ(january[0].strStamp, "01.01.2027 00:00:11");
    EXPECT_EQ(january[0].nReceived + december[0].nReceived, 2000u);
    EXPECT_EQ(january[0].nTransmitted + december[0].nTransmitted, 200u);
}

TEST_F(MonitorTickTest, TheBillingMonthStartsOnItsDay) {
    MonitorSettings s;
    s.monthStartDay = 15;
    s.inclusiveMegabytes = 1;
    WriteSettings(s);
    AddRecord(11, 2026, 10, 1000, 1);  // previous billing month
    AddRecord(11, 2026, 15, 2000, 2);
    AddRecord(11, 2026, 30, 4000, 4);
    m_clock.Set(2026, 12, 1, 8, 0, 0);
    Start();
    EXPECT_EQ(m_monitor->MonthVolume(), 6006u);
    // (1 MB - volume) over the 31 days of December
    EXPECT_EQ(m_monitor->DailyAllowance(), static_cast<uint32_t>((1048576.0f - 6006) / 31));

    // Running on into the 15th: the new billing month starts at 0 that day.
    AddRecord(12, 2026, 3, 500, 0);
    m_clock.Set(2026, 12, 14, 23, 59, 58);
    Run(1);
    EXPECT_EQ(m_monitor->MonthVolume(), 6506u);
    Run(1);
    EXPECT_EQ(m_monitor->MonthVolume(), 0u);

    // Started later in the billing month: only its own days count.
    AddRecord(12, 2026, 16, 700, 0);
    m_monitor.reset();
    m_clock.Set(2026, 12, 20, 8, 0, 0);
    Start();
    EXPECT_EQ(m_monitor->MonthVolume(), 700u);
}

TEST_F(MonitorTickTest, EachWarningIsRaisedOnce) {
    MonitorSettings s;
    s.inclusiveMegabytes = 1;
    s.blockSizeKb = 0;
    WriteSettings(s);
    m_clock.Set(2026, 12, 1, 8, 0, 0);  // 31 days left: about 33 kB a day
    Start();
    const uint32_t daily = m_monitor->DailyAllowance();
    m_link.bUp = true;
    Run(1);
    Run(3, daily / 2);  // past the daily allowance once
    Run(3, 10);
    Run(10, 100000);  // past 90 % and the whole month
    Run(5, 100);
    m_monitor.reset();  // ends the notification workers
    EXPECT_EQ(Notices(TextOf(Notice::DailyLimit).strBody), 1);
    EXPECT_EQ(Notices(TextOf(Notice::NinetyPercent).strBody), 1);
    EXPECT_EQ(Notices(TextOf(Notice::MonthlyLimit).strBody), 1);
}

TEST_F(MonitorTickTest, NoAllowanceRaisesNoWarning) {
    MonitorSettings s;
    s.inclusiveMegabytes = 0;
    WriteSettings(s);
    Start();
    m_link.bUp = true;
    Run(1);
    Run(5, 100000);
    m_monitor.reset();
    EXPECT_EQ(Notices(TextOf(Notice::DailyLimit).strBody), 0);
}

TEST_F(MonitorTickTest, WithoutAConnectionOnlyTheStopRequestLogs) {
    Start();
    Run(5);
    EXPECT_FALSE(ce::FileExists(m_files.LogPath(12, 2026)));
    EXPECT_TRUE(m_files.HasMarker(kDrun));
    m_files.SetMarker(kTerminate);
    m_clock.Step();
    EXPECT_FALSE(m_monitor->Tick());
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].nReceived + log[0].nTransmitted + log[0].nPeak, 0u);
    EXPECT_FALSE(m_files.HasMarker(kDrun));
    EXPECT_FALSE(m_files.HasMarker(kTerminate));
    EXPECT_FALSE(m_files.HasMarker(kWrt));
}

TEST_F(MonitorTickTest, TheRunningSessionIsSnapshotEveryFifthTickAndStopsUnrounded) {
    MonitorSettings s;
    s.blockSizeKb = 10;
    WriteSettings(s);
    Start();
    m_link.bUp = true;
    Run(1);
    Run(4, 10, 1);
    EXPECT_FALSE(ce::FileExists(m_files.AktualPath()));
    Run(1, 10, 1);
    std::string bytes;
    ASSERT_TRUE(ce::ReadFileBytes(m_files.AktualPath(), bytes));
    auto snap = ParseTrafficLog(bytes);
    ASSERT_EQ(snap.size(), 1u);
    EXPECT_EQ(snap[0].nReceived, 50u);
    EXPECT_EQ(snap[0].nTransmitted, 5u);
    EXPECT_EQ(snap[0].nPeak, 11u);
    // A stop request logs the session as counted, and leaves no snapshot.
    m_files.SetMarker(kTerminate);
    m_clock.Step();
    EXPECT_FALSE(m_monitor->Tick());
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].nReceived, 50u);
    EXPECT_FALSE(ce::FileExists(m_files.AktualPath()));
}

TEST_F(MonitorTickTest, ASecondCopyLeavesTheFirstAlone) {
    Start(2);
    EXPECT_EQ(m_result, CMonitor::StartResult::SecondInstance);
    EXPECT_FALSE(m_files.HasMarker(kDrun));
    EXPECT_FALSE(ce::FileExists(m_files.SettingsPath()));
    EXPECT_FALSE(ce::DirectoryExists(m_files.LogDir()));
}

TEST_F(MonitorTickTest, ALeftoverDrunClearsAStaleStopRequest) {
    m_files.SetMarker(kDrun);
    m_files.SetMarker(kTerminate);
    Start();
    EXPECT_EQ(m_result, CMonitor::StartResult::Running);
    EXPECT_FALSE(m_files.HasMarker(kTerminate));
    EXPECT_TRUE(m_files.HasMarker(kDrun));
    EXPECT_GE(m_clock.Slept(), 4000u);
    m_clock.Step();
    EXPECT_TRUE(m_monitor->Tick());
}

TEST_F(MonitorTickTest, TheGraphIsPlacedOnceAndThePlaceWrittenBack) {
    Start();
    EXPECT_EQ(m_monitor->IconX(), 96);
    EXPECT_TRUE(m_files.HasMarker(kNewCfg));
    std::string bytes;
    ASSERT_TRUE(ce::ReadFileBytes(m_files.SettingsPath(), bytes));
    ASSERT_EQ(bytes.size(), kMonitorSettingsSize);
    MonitorSettings back;
    back.iconX = 0;
    back.monitorOn = 0;
    ParseMonitorSettings(bytes, back);
    EXPECT_EQ(back.iconX, 96);
    EXPECT_EQ(back.monitorOn, 1);

    // Placed already: left where it is, nothing written.
    m_monitor.reset();
    m_files.ClearMarker(kNewCfg);
    m_files.ClearMarker(kDrun);
    Start();
    EXPECT_EQ(m_monitor->IconX(), 96);
    EXPECT_FALSE(m_files.HasMarker(kNewCfg));
}

TEST_F(MonitorTickTest, TheGraphGoesLeftOfIconsOnTheTaskbar) {
    // Something drawn at x 110..125 in the icon band.
    m_pixel = [](int x, int y) -> uint32_t { return x >= 110 && x <= 125 && y == 5 ? 1 : 0; };
    Start();
    EXPECT_EQ(m_monitor->IconX(), 110 - 22 - 18);
}

TEST_F(MonitorTickTest, ReloadRereadsTheSettings) {
    Start();
    Run(1);
    MonitorSettings s;
    s.blockSizeKb = 5;
    s.iconX = 120;
    WriteSettings(s);
    m_files.SetMarker(kReload);
    Run(1);
    EXPECT_FALSE(m_files.HasMarker(kReload));
    EXPECT_EQ(m_monitor->IconX(), 120);
    Session(1, 1);
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].nReceived + Log()[0].nTransmitted, 5120u);
}

TEST_F(MonitorTickTest, ADayWithoutAConnectionMovesTodayIntoTheMonth) {
    MonitorSettings s;
    s.blockSizeKb = 0;
    WriteSettings(s);
    m_clock.Set(2026, 12, 8, 23, 59, 50);
    Start();
    Session(400, 100);
    EXPECT_EQ(m_monitor->TodayVolume(), 500u);
    EXPECT_EQ(m_monitor->MonthVolume(), 0u);
    m_clock.Set(2026, 12, 9, 0, 0, 5);
    Run(1);
    EXPECT_EQ(m_monitor->TodayVolume(), 0u);
    EXPECT_EQ(m_monitor->MonthVolume(), 500u);
}

TEST_F(MonitorTickTest, ARecordThatCannotBeWrittenIsKeptUntilItCan) {
    MonitorSettings s;
    s.blockSizeKb = 0;
    WriteSettings(s);
    Start();
    // Something took the log folder's place.
    ce::RemoveDirectory(m_files.LogDir());
    { ce::File blocker = ce::File::Create(m_files.LogDir()); }
    Session(300, 30);
    EXPECT_FALSE(m_files.HasMarker(kWrt));
    Run(2);
    ASSERT_TRUE(ce::DeleteFile(m_files.LogDir()));
    Run(1);
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].nReceived, 300u);
    EXPECT_EQ(log[0].nTransmitted, 30u);
    Run(1);
    EXPECT_EQ(Log().size(), 1u);
}

TEST_F(MonitorTickTest, ASessionLeftByAKilledMonitorIsLoggedAtTheNextStart) {
    ce::CreateDirectories(m_files.LogDir());
    ASSERT_TRUE(
        ce::WriteFileAtomic(m_files.AktualPath(), "07.12.2026 23:00:00\r\n500\r\n20\r\n9\r\n"));
    m_files.SetMarker(kDrun);
    Start();
    auto log = Log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].strStamp, "07.12.2026 23:00:00");
    EXPECT_EQ(log[0].nReceived, 500u);
    EXPECT_EQ(log[0].nPeak, 9u);
    EXPECT_EQ(m_monitor->MonthVolume(), 520u);
    EXPECT_FALSE(ce::FileExists(m_files.AktualPath()));
}

TEST_F(MonitorTickTest, ATapStartsConnectOnceUntilItComesUpOrIsGivenUp) {
    Start();
    m_monitor->Tap();
    m_monitor->Tap();
    EXPECT_EQ(m_nConnectStarts, 1);
    // connect came up: taps stay ignored while it runs.
    m_files.SetMarker(kMonitorStarted);
    Run(1);
    m_monitor->Tap();
    EXPECT_EQ(m_nConnectStarts, 1);
    m_files.ClearMarker(kMonitorStarted);
    Run(5);
    m_monitor->Tap();
    EXPECT_EQ(m_nConnectStarts, 2);
    m_monitor.reset();
    EXPECT_GE(Notices(TextOf(Notice::Starting).strBody), 2);
}

}  // namespace
