// The page's charts: the right size, and the bars where the numbers put them.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <cstdlib>

#include "connect/traffic/draw/charts.h"
#include "connect/traffic/traffic_settings.h"

namespace {

using namespace kvo::traffic;

class ChartsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QGuiApplication::instance())
            return;
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "charts_test";
        static char* argv[] = {name, nullptr};
        s_app = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }
    static inline QGuiApplication* s_app = nullptr;
    static void Save(const QImage& img, const char* name) {
        QDir().mkpath(KVO_BINARY_DIR "/screenshots");
        img.save(QString(KVO_BINARY_DIR "/screenshots/") + name);
    }
};

TEST_F(ChartsTest, MonthBarsStandWhereTheirDaysAre) {
    std::array<DayTraffic, 31> days{};
    days[4] = {0, 600, 400, 1000};  // the largest: full height, received below
    days[9] = {0, 250, 0, 250};     // a quarter
    QImage img = NewChartImage();
    {
        QPainter p(&img);
        DrawMonthChart(p, days, 31, ChartMode::Traffic, "EUR");
    }
    ASSERT_EQ(img.size(), QSize(240, 220));
    const int x5 = SlotX(4, 31) + SlotWidth(31) / 2;
    EXPECT_EQ(img.pixelColor(x5, kChartBase - 1), ReceivedColour());
    EXPECT_EQ(img.pixelColor(x5, kChartBase - 100), ReceivedColour());  // 60 % of 180 = 108
    EXPECT_EQ(img.pixelColor(x5, kChartBase - 120), TransmittedColour());
    EXPECT_EQ(img.pixelColor(x5, kChartBase - kChartBarHeight), TransmittedColour());
    EXPECT_NE(img.pixelColor(x5, kChartBase - kChartBarHeight - 2), TransmittedColour());
    const int x10 = SlotX(9, 31) + SlotWidth(31) / 2;
    EXPECT_EQ(img.pixelColor(x10, kChartBase - 44), ReceivedColour());  // 45 px high
    EXPECT_NE(img.pixelColor(x10, kChartBase - 47), ReceivedColour());
    const int x6 = SlotX(5, 31) + SlotWidth(31) / 2;
    EXPECT_NE(img.pixelColor(x6, kChartBase - 1), ReceivedColour());
    EXPECT_LE(SlotX(30, 31) + SlotWidth(31), 240);
    Save(img, "traffic_month.png");
}

TEST_F(ChartsTest, CostsModeStacksInclusiveAndAdditional) {
    std::array<DayTraffic, 12> months{};
    months[1].inclusiveCost = 10;
    months[1].additionalCost = 10;
    months[6].inclusiveCost = 5;
    QImage img = NewChartImage();
    {
        QPainter p(&img);
        DrawYearChart(p, months, ChartMode::Costs, "EUR");
    }
    const int feb = SlotX(1, 12) + SlotWidth(12) / 2;
    EXPECT_EQ(img.pixelColor(feb, kChartBase - 10), InclusiveColour());
    EXPECT_EQ(img.pixelColor(feb, kChartBase - 170), AdditionalColour());
    const int jul = SlotX(6, 12) + SlotWidth(12) / 2;
    EXPECT_EQ(img.pixelColor(jul, kChartBase - 40), InclusiveColour());
    EXPECT_NE(img.pixelColor(jul, kChartBase - 50), InclusiveColour());  // a quarter: 45 px
    Save(img, "traffic_year_costs.png");
}

TEST_F(ChartsTest, TheDayViewShowsCostsDataLeftAndSpeed) {
    MonitorSettings s = PageDefaults();
    DayTraffic day;
    day.total = day.received = 250;
    day.dailyAllowance = 1000;  // three quarters left
    day.peak = 3584;            // 28 kbit/s: half the scale
    day.inclusiveCost = 1.5f;   // scale 2: three quarters
    QImage img = NewChartImage();
    {
        QPainter p(&img);
        DrawDayView(p, day, s, "EUR");
    }
    const int mid = kDayBarWidth / 2;
    EXPECT_EQ(img.pixelColor(DayBarX(0) + mid, kDayBase - 75), InclusiveColour());
    EXPECT_NE(img.pixelColor(DayBarX(0) + mid, kDayBase - 82), InclusiveColour());
    EXPECT_EQ(img.pixelColor(DayBarX(1) + mid, kDayBase - 75), InclusiveColour());
    EXPECT_NE(img.pixelColor(DayBarX(1) + mid, kDayBase - 82), InclusiveColour());
    EXPECT_EQ(img.pixelColor(DayBarX(2) + mid, kDayBase - 50), TransmittedColour());
    EXPECT_NE(img.pixelColor(DayBarX(2) + mid, kDayBase - 56), TransmittedColour());
    Save(img, "traffic_day.png");

    // Over the day's limit: the excess share on top, nothing divides by a zero allowance.
    day.total = 2000;
    day.dailyAllowance = 0;
    QImage over = NewChartImage();
    {
        QPainter p(&over);
        DrawDayView(p, day, s, "EUR");
    }
    EXPECT_EQ(over.pixelColor(DayBarX(1) + mid, kDayBase - 2), AdditionalColour());
    day.total = 0;
    QImage empty = NewChartImage();
    QPainter p(&empty);
    DrawDayView(p, day, s, "EUR");
}

TEST(CostScaleTest, OneTwoOrFiveTimesAPowerOfTen) {
    EXPECT_DOUBLE_EQ(CostScale(0), 1);
    EXPECT_DOUBLE_EQ(CostScale(1.5), 2);
    EXPECT_DOUBLE_EQ(CostScale(2), 2);
    EXPECT_DOUBLE_EQ(CostScale(3), 5);
    EXPECT_DOUBLE_EQ(CostScale(7), 10);
    EXPECT_DOUBLE_EQ(CostScale(0.03), 0.05);
    EXPECT_DOUBLE_EQ(CostScale(120), 200);
}

}  // namespace
