// The monitor's files: "monitor.ini" field by field, the log records, damaged logs.
#include <gtest/gtest.h>

#include <cstring>

#include "linkwatch/monitor_settings.h"
#include "linkwatch/session_rounding.h"
#include "linkwatch/traffic_record.h"

namespace {

using namespace kvo::linkwatch;

TEST(MonitorSettingsTest, RoundTripsAllFieldsIn31Bytes) {
    MonitorSettings s;
    s.monthlyPayment = 9.95f;
    s.inclusiveMegabytes = 50;
    s.additionalPrice = 0.09f;
    s.priceUnitKb = 10;
    s.blockSizeKb = 25;
    s.hourlyRounding = 1;
    s.monitorOn = 0;
    s.monthStartDay = 15;
    s.iconX = 130;
    s.firstRun = 0;
    std::string bytes = FormatMonitorSettings(s);
    ASSERT_EQ(bytes.size(), 31u);
    // Little-endian, in field order: priceUnitKb at 12, monthStartDay at 22, firstRun last.
    EXPECT_EQ(bytes[12], 10);
    EXPECT_EQ(bytes[20], 1);
    EXPECT_EQ(bytes[22], 15);
    EXPECT_EQ(bytes[26], char(130));
    EXPECT_EQ(bytes[30], 0);
    MonitorSettings back;
    EXPECT_EQ(ParseMonitorSettings(bytes, back), 10);
    EXPECT_EQ(back, s);
}

TEST(MonitorSettingsTest, AShortFileKeepsTheGivenValuesForWhatItLacks) {
    MonitorSettings full;
    full.blockSizeKb = 10;
    full.monthStartDay = 20;
    full.iconX = 40;
    full.firstRun = 0;
    std::string bytes = FormatMonitorSettings(full);
    MonitorSettings s;  // defaults: iconX -1, firstRun 1
    // 27 bytes: the last field and most of iconX are missing.
    EXPECT_EQ(ParseMonitorSettings(bytes.substr(0, 27), s), 8);
    EXPECT_EQ(s.blockSizeKb, 10);
    EXPECT_EQ(s.monthStartDay, 20);
    EXPECT_EQ(s.iconX, -1);
    EXPECT_EQ(s.firstRun, 1);
    MonitorSettings none;
    EXPECT_EQ(ParseMonitorSettings("", none), 0);
    EXPECT_EQ(none, MonitorSettings{});
}

TEST(MonitorSettingsTest, UnusableValuesKeepTheGivenOnes) {
    MonitorSettings bad;
    bad.priceUnitKb = 0;  // would divide by zero
    bad.blockSizeKb = -5;
    bad.monthStartDay = 40;
    bad.iconX = -7;
    bad.inclusiveMegabytes = -1;
    std::string bytes = FormatMonitorSettings(bad);
    float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(bytes.data(), &nan, 4);
    bytes[20] = 7;  // a flag byte other than 0 or 1 is on
    MonitorSettings s;
    s.monthlyPayment = 3;
    ParseMonitorSettings(bytes, s);
    EXPECT_EQ(s.monthlyPayment, 3);
    EXPECT_EQ(s.inclusiveMegabytes, 0);
    EXPECT_EQ(s.priceUnitKb, 1);
    EXPECT_EQ(s.blockSizeKb, 0);
    EXPECT_EQ(s.monthStartDay, 1);
    EXPECT_EQ(s.iconX, -1);
    EXPECT_EQ(s.hourlyRounding, 1);
}

TEST(TrafficLogTest, ReadsRecordsAndSurvivesDamage) {
    std::string good = "07.03.2004 14:05:09\r\n1000\r\n200\r\n300\r\n";
    auto one = ParseTrafficLog(good);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].nDay, 7);
    EXPECT_EQ(one[0].nReceived, 1000u);
    EXPECT_EQ(one[0].nTransmitted, 200u);
    EXPECT_EQ(one[0].nPeak, 300u);

    // A short record, a non-number, a line too long for 32 bits, and a last record
    // without CR LF: each counts what it holds, the records after stay in step.
    std::string damaged =
        "garbage\r\n"
        "08.03.2004 10:00:00\r\n500\r\n"  // short: no transmitted, no peak
        "09.03.2004 10:00:00\r\n12x\r\n7\r\n1\r\n"
        "10.03.2004 10:00:00\r\n99999999999\r\n8\r\n2\r\n"
        "32.03.2004 10:00:00\r\n5\r\n5\r\n5\r\n"  // no such day: not a record
        "11.03.2004 10:00:00\r\n40\r\n2\r\n3";
    auto r = ParseTrafficLog(damaged);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].nDay, 8);
    EXPECT_EQ(r[0].nReceived, 500u);
    EXPECT_EQ(r[0].nTransmitted, 0u);
    EXPECT_EQ(r[1].nReceived, 0u);
    EXPECT_EQ(r[1].nTransmitted, 7u);
    EXPECT_EQ(r[2].nReceived, 0u);
    EXPECT_EQ(r[2].nTransmitted, 8u);
    EXPECT_EQ(r[3].nDay, 11);
    EXPECT_EQ(r[3].nReceived, 40u);
    EXPECT_EQ(r[3].nPeak, 3u);
    EXPECT_TRUE(ParseTrafficLog(std::string("\r\r\n\0\0", 5)).empty());
}

TEST(TrafficLogTest, FormatsStampsAndNames) {
    ce::SYSTEMTIME t{};
    t.wYear = 2004;
    t.wMonth = 3;
    t.wDay = 7;
    t.wHour = 14;
    t.wMinute = 5;
    t.wSecond = 9;
    EXPECT_EQ(FormatTrafficRecord(t, 1, 2, 3), "07.03.2004 14:05:09\r\n1\r\n2\r\n3\r\n");
    EXPECT_EQ(MonthlyLogName(3, 2004), u"03-2004.dat");
    EXPECT_EQ(DaysInMonth(2, 2004), 29);
    EXPECT_EQ(DaysInMonth(2, 2026), 28);
    EXPECT_EQ(DaysInMonth(11, 2026), 30);
}

TEST(SessionRoundingTest, HugeSessionsStayWithinTheLog) {
    SessionCounts c = RoundSession({0xFFFFFF00u, 0x10u}, 256);
    EXPECT_EQ(uint64_t{c.nReceived} + c.nTransmitted, 0xFFFFFFFFu);
    SessionCounts same = RoundSession({123, 456}, 0);
    EXPECT_EQ(same.nReceived, 123u);
    EXPECT_EQ(same.nTransmitted, 456u);
}

}  // namespace
