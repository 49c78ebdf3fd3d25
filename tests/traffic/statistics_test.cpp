// Day, month and year statistics from the logs, their costs, and the texts they are shown in.
#include <gtest/gtest.h>

#include "connect/traffic/monitor_control.h"
#include "connect/traffic/statistics.h"
#include "connect/traffic/traffic_settings.h"
#include "linkwatch/traffic_record.h"
#include "platform/file.h"
#include "platform/shell_shortcut.h"
#include "tests/linkwatch/step_clock.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo::traffic;
using kvo::linkwatch::CMonitorFiles;

constexpr uint64_t MB = 1048576;

class StatisticsTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        ce::CreateDirectories(u"\\kvonet\\LOG");
        m_clock.Set(2026, 12, 20, 12, 0, 0);
        m_settings = PageDefaults();
    }
    void Add(int month, int year, int day, uint32_t rx, uint32_t tx, uint32_t peak = 0) {
        ce::SYSTEMTIME t{};
        t.wYear = static_cast<uint16_t>(year);
        t.wMonth = static_cast<uint16_t>(month);
        t.wDay = static_cast<uint16_t>(day);
        ce::File f = ce::File::OpenAppend(m_files.LogPath(month, year));
        ASSERT_TRUE(f.Write(kvo::linkwatch::FormatTrafficRecord(t, rx, tx, peak)));
    }
    CTrafficStatistics Stats() const { return CTrafficStatistics(m_files, m_settings); }

    kvo::test::StepClock m_clock;
    CMonitorFiles m_files{u"\\kvonet\\"};
    MonitorSettings m_settings;
};

TEST_F(StatisticsTest, CostsFollowTheAllowance) {
    MonitorSettings s = PageDefaults();  // 10 MB for 10.00, 10.00 per kB beyond
    // Inside the allowance: a share of the monthly payment.
    CostSplit in = DayCosts(0, 5 * MB, s);
    EXPECT_FLOAT_EQ(in.inclusive, 5.0f);
    EXPECT_FLOAT_EQ(in.additional, 0.0f);
    // The day the allowance runs out is split at the allowance.
    CostSplit split = DayCosts(9 * MB, MB + 2048, s);
    EXPECT_FLOAT_EQ(split.inclusive, 1.0f);
    EXPECT_FLOAT_EQ(split.additional, 20.0f);
    // Beyond it, everything is additional; with no allowance at all, too.
    EXPECT_FLOAT_EQ(DayCosts(10 * MB, 1024, s).additional, 10.0f);
    s.inclusiveMegabytes = 0;
    s.priceUnitKb = 10;
    CostSplit none = DayCosts(0, 20480, s);
    EXPECT_FLOAT_EQ(none.inclusive, 0.0f);
    EXPECT_FLOAT_EQ(none.additional, 20.0f);
}

TEST_F(StatisticsTest, TheDayCountsItsRecordsTheRunningSessionAndWhatIsLeft) {
    Add(12, 2026, 19, 3 * MB, 0);
    Add(12, 2026, 20, 1000, 24, 700);
    Add(12, 2026, 20, 2000, 0, 900);
    Add(12, 2026, 21, 5000, 0);
    ASSERT_TRUE(
        ce::WriteFileAtomic(m_files.AktualPath(), "20.12.2026 11:59:00\r\n100\r\n50\r\n1200\r\n"));
    DayTraffic d = Stats().Day(2026, 12, 20);
    EXPECT_EQ(d.received, 3100u);
    EXPECT_EQ(d.transmitted, 74u);
    EXPECT_EQ(d.total, 3174u);
    EXPECT_EQ(d.peak, 1200u);
    // 7 MB left for the 12 days from the 20th on.
    EXPECT_EQ(d.dailyAllowance, static_cast<uint32_t>((10.0f * MB - 3.0f * MB) / 12));
    EXPECT_NEAR(d.inclusiveCost, 3174.0 / MB * 1.0, 1e-6);
    // Another day has no running session; nor has today one a killed monitor left.
    EXPECT_EQ(Stats().Day(2026, 12, 21).total, 5000u);
    ASSERT_TRUE(
        ce::WriteFileAtomic(m_files.AktualPath(), "19.12.2026 11:59:00\r\n100\r\n50\r\n1200\r\n"));
    EXPECT_EQ(Stats().Day(2026, 12, 20).total, 3024u);
    EXPECT_EQ(Stats().Month(2026, 12)[19].total, 3024u);
}

TEST_F(StatisticsTest, AStartDayCarriesThePreviousMonthUntilItComes) {
    m_settings.monthStartDay = 15;
    m_settings.inclusiveMegabytes = 4;
    Add(11, 2026, 10, 8 * MB, 0);  // the billing month before: not carried
    Add(11, 2026, 20, 3 * MB, 0);
    Add(12, 2026, 2, 2 * MB, 0);   // runs out on the 2nd of December
    Add(12, 2026, 15, 1 * MB, 0);  // a new allowance from the 15th
    auto month = Stats().Month(2026, 12);
    EXPECT_FLOAT_EQ(month[1].inclusiveCost, 2.5f);  // 1 MB of 4 at 10.00
    EXPECT_FLOAT_EQ(month[1].additionalCost, 10240.0f);
    EXPECT_FLOAT_EQ(month[14].inclusiveCost, 2.5f);
    EXPECT_FLOAT_EQ(month[14].additionalCost, 0.0f);
    EXPECT_EQ(month[30].total, 0u);

    // The day view agrees: before the 15th against what was carried, from it afresh.
    DayTraffic second = Stats().Day(2026, 12, 2);
    EXPECT_FLOAT_EQ(second.inclusiveCost, 2.5f);
    EXPECT_EQ(second.dailyAllowance, static_cast<uint32_t>((4.0f * MB - 3.0f * MB) / 13));
    Add(12, 2026, 16, 2 * MB, 0);
    DayTraffic sixteenth = Stats().Day(2026, 12, 16);
    EXPECT_FLOAT_EQ(sixteenth.inclusiveCost, 5.0f);
    EXPECT_FLOAT_EQ(sixteenth.additionalCost, 0.0f);
}

TEST_F(StatisticsTest, TheYearSumsItsMonthsAndDamagedLogsCountWhatTheyCan) {
    Add(3, 2026, 5, 100, 10);
    Add(3, 2026, 6, 200, 20, 77);
    Add(11, 2026, 1, 1, 1);
    ASSERT_TRUE(
        ce::WriteFileAtomic(m_files.LogPath(4, 2026),
                            "01.04.2026 00:00:00\r\n50\r\nxx\r\n\r\n02.04.2026 10:00:00\r\n7"));
    auto year = Stats().Year(2026);
    EXPECT_EQ(year[2].received, 300u);
    EXPECT_EQ(year[2].total, 330u);
    EXPECT_EQ(year[2].peak, 77u);
    EXPECT_EQ(year[3].total, 57u);
    EXPECT_EQ(year[10].total, 2u);
    EXPECT_EQ(year[0].total, 0u);
    EXPECT_GT(year[2].inclusiveCost, 0.0f);
}

TEST(TrafficTextTest, VolumesAndAxes) {
    EXPECT_EQ(VolumeText(1023), "1023 B");
    EXPECT_EQ(VolumeText(1024), "1 kB");
    EXPECT_EQ(VolumeText(1048575), "1023 kB");
    EXPECT_EQ(VolumeText(1048576), "1 MB");
    EXPECT_EQ(VolumeText(5ull << 30), "5120 MB");

    AxisScale small = TrafficAxis(500);
    EXPECT_EQ(small.strUnit, "B");
    EXPECT_EQ(small.labels[0], "0");
    EXPECT_EQ(small.labels[1], "50");
    EXPECT_EQ(small.labels[10], "500");
    AxisScale kb = TrafficAxis(5000);  // kB from 1000 bytes on, divided by 1024
    EXPECT_EQ(kb.strUnit, "kB");
    EXPECT_EQ(kb.labels[10], "4.88");
    AxisScale mb = TrafficAxis(300 * MB);
    EXPECT_EQ(mb.strUnit, "MB");
    EXPECT_EQ(mb.labels[1], "30");
}

TEST(TrafficSettingsTest, OnlyTheDialogsValuesAreTaken) {
    MonitorSettings s = PageDefaults();
    EXPECT_FLOAT_EQ(s.monthlyPayment, 10.0f);
    EXPECT_EQ(s.blockSizeKb, 1);
    std::string error;
    EXPECT_TRUE(ApplySetting(s, "block-kb", "25", error));
    EXPECT_EQ(s.blockSizeKb, 25);
    EXPECT_TRUE(ApplySetting(s, "inclusive-mb", "0.5", error));
    EXPECT_FLOAT_EQ(s.inclusiveMegabytes, 0.5f);
    const MonitorSettings before = s;
    for (auto [key, value] :
         std::vector<std::pair<const char*, const char*>>{{"block-kb", "3"},
                                                          {"price-unit-kb", "0"},
                                                          {"month-start-day", "32"},
                                                          {"hourly-rounding", "2"},
                                                          {"icon-x", "220"},
                                                          {"monthly-payment", "-1"},
                                                          {"monthly-payment", "nan"},
                                                          {"inclusive-mb", ""},
                                                          {"colour", "red"}}) {
        EXPECT_FALSE(ApplySetting(s, key, value, error)) << key << " " << value;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(s, before);
}

}  // namespace

namespace {

class PageRulesTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override { ce::CreateDirectories(u"\\kvonet"); }
    kvo::linkwatch::CMonitorFiles m_files{u"\\kvonet\\"};
};

TEST_F(PageRulesTest, FirstRunIconPositionAndSwitchingOff) {
    using namespace kvo::traffic;
    CMonitorControl control(m_files);
    MonitorSettings s = LoadPageSettings(m_files);
    EXPECT_TRUE(control.TakeFirstRun(s));
    s = LoadPageSettings(m_files);
    EXPECT_FALSE(control.TakeFirstRun(s));

    EXPECT_EQ(IconSliderStart(s), 96);  // not yet placed
    std::string error;
    EXPECT_FALSE(control.SaveIconPosition(s, 220, error));
    EXPECT_FALSE(m_files.HasMarker(kvo::linkwatch::kReload));
    ASSERT_TRUE(control.SaveIconPosition(s, 130, error)) << error;
    EXPECT_TRUE(m_files.HasMarker(kvo::linkwatch::kReload));
    EXPECT_EQ(LoadPageSettings(m_files).iconX, 130);
    EXPECT_EQ(IconSliderStart(LoadPageSettings(m_files)), 130);

    // Saving with monitoring off asks the monitor to stop and leaves start-up alone.
    ASSERT_TRUE(ce::SHCreateShortcut(CMonitorControl::StartupShortcutPath(), u"\"x\""));
    s.monitorOn = 0;
    ASSERT_TRUE(control.Save(s, error)) << error;
    EXPECT_TRUE(m_files.HasMarker(kvo::linkwatch::kTerminate));
    EXPECT_FALSE(control.HasStartupShortcut());
    EXPECT_EQ(LoadPageSettings(m_files).monitorOn, 0);
    // On again before the monitor took the stop request: it is withdrawn, the monitor
    // re-reads its settings and is back in the StartUp folder.
    m_files.ClearMarker(kvo::linkwatch::kReload);
    m_files.SetMarker(kvo::linkwatch::kDrun);
    s.monitorOn = 1;
    ASSERT_TRUE(control.Save(s, error)) << error;
    EXPECT_FALSE(m_files.HasMarker(kvo::linkwatch::kTerminate));
    EXPECT_TRUE(m_files.HasMarker(kvo::linkwatch::kReload));
    EXPECT_TRUE(control.HasStartupShortcut());
}

}  // namespace
