#include <gtest/gtest.h>

#include "platform/datetime.h"

using namespace ce;

namespace {

TEST(OleDate, EpochIsZero) {
    OleDate d = OleDate::FromParts(1899, 12, 30);
    EXPECT_TRUE(d.IsValid());
    EXPECT_EQ(d.m_dt, 0.0);
    EXPECT_EQ(OleDate::FromParts(1900, 1, 1).m_dt, 2.0);
    EXPECT_DOUBLE_EQ(OleDate::FromParts(1899, 12, 29, 6).m_dt, -1.25);
}

TEST(OleDate, KnownDatesRoundTripToTheSecond) {
    OleDate d = OleDate::FromParts(2004, 3, 17, 14, 5, 59);
    EXPECT_NEAR(d.m_dt, 38063.587488, 1e-6);
    SYSTEMTIME st;
    ASSERT_TRUE(d.ToSystemTime(st));
    EXPECT_EQ(st.wYear, 2004);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 17);
    EXPECT_EQ(st.wHour, 14);
    EXPECT_EQ(st.wMinute, 5);
    EXPECT_EQ(st.wSecond, 59);
    EXPECT_EQ(st.wDayOfWeek, 3);  // a Wednesday
    for (int s = 0; s < 86400; s += 977) {
        OleDate x = OleDate::FromParts(1999, 12, 31, s / 3600, s / 60 % 60, s % 60);
        ASSERT_TRUE(x.ToSystemTime(st));
        EXPECT_EQ(st.wHour * 3600 + st.wMinute * 60 + st.wSecond, s);
        EXPECT_EQ(st.wDay, 31);
    }
    OleDate before = OleDate::FromParts(1899, 12, 29, 18, 0, 0);
    ASSERT_TRUE(before.ToSystemTime(st));
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wHour, 18);
}

TEST(OleDate, InvalidDatesGiveAnInvalidStatus) {
    EXPECT_FALSE(OleDate::FromParts(2003, 2, 29).IsValid());
    EXPECT_TRUE(OleDate::FromParts(2004, 2, 29).IsValid());
    EXPECT_FALSE(OleDate::FromParts(2004, 13, 1).IsValid());
    EXPECT_FALSE(OleDate::FromParts(2004, 1, 1, 24).IsValid());
    SYSTEMTIME st;
    OleDate bad;
    bad.m_status = OleDate::invalid;
    EXPECT_FALSE(bad.ToSystemTime(st));
    OleDate huge;
    huge.m_dt = 1e300;
    EXPECT_FALSE(huge.ToSystemTime(st));
}

}  // namespace
