// The taskbar graph: bar heights from the tick and the day's volume, its colours.
#include <gtest/gtest.h>

#include <QDir>
#include <limits>

#include "linkwatch/draw/graph.h"

namespace {

using namespace kvo::linkwatch;

GraphState Connected() {
    GraphState g;
    g.bConnected = true;
    g.nOverallPeak = 4500;
    return g;
}

int LitRows(const QImage& img, int x, QColor c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y) n += img.pixelColor(x, y) == c;
    return n;
}

void Save(const QImage& img, const char* name) {
    QDir().mkpath(KVO_BINARY_DIR "/screenshots");
    img.scaled(img.width() * 8, img.height() * 8)
        .save(QString(KVO_BINARY_DIR "/screenshots/") + name);
}

TEST(GraphTest, ThroughputAndVolumeBars) {
    GraphState g = Connected();
    g.nTickTraffic = 2250;  // half the peak: 8 of 16
    g.inclusiveMegabytes = 10;
    g.nDailyAllowance = 1000;
    g.nDayVolume = 250;  // a quarter: 4 of 16
    QImage img = DrawGraph(g);
    ASSERT_EQ(img.size(), QSize(20, 19));
    // Rows above 16 - level, within rows 3..16.
    EXPECT_EQ(LitRows(img, 4, QColor(0, 255, 0)), 8);
    EXPECT_EQ(img.pixelColor(9, 16), QColor(0, 255, 0));
    EXPECT_NE(img.pixelColor(10, 16), QColor(0, 255, 0));  // end pixel excluded
    EXPECT_EQ(LitRows(img, 12, QColor(0x6F, 0xA2, 0xCF)), 4);
    EXPECT_EQ(img.pixelColor(15, 13), QColor(0x6F, 0xA2, 0xCF));
    Save(img, "linkwatch_graph.png");

    g.nTickTraffic = 100000;  // over the peak: full, never past row 3
    EXPECT_EQ(ThroughputLevel(g), 16);
    EXPECT_EQ(LitRows(DrawGraph(g), 5, QColor(0, 255, 0)), 14);
}

TEST(GraphTest, OverTheLimitTheTopTurnsRed) {
    GraphState g = Connected();
    g.inclusiveMegabytes = 10;
    g.nDailyAllowance = 1000;
    g.nDayVolume = 2000;  // E = 32: rows below 8 red
    QImage img = DrawGraph(g);
    EXPECT_EQ(LitRows(img, 14, QColor(0xF9, 0x5C, 0x57)), 5);  // rows 3..7
    EXPECT_EQ(LitRows(img, 14, QColor(0x6F, 0xA2, 0xCF)), 9);  // rows 8..16
    Save(img, "linkwatch_graph_over.png");

    // No allowance left today: traffic is all over it, nothing divides by zero.
    g.nDailyAllowance = 0;
    EXPECT_EQ(VolumeLevel(g), std::numeric_limits<int>::max());
    EXPECT_EQ(LitRows(DrawGraph(g), 14, QColor(0xF9, 0x5C, 0x57)), 13);
    g.nDayVolume = 0;
    EXPECT_EQ(VolumeLevel(g), 0);
}

TEST(GraphTest, WithoutAllowanceTheBarFillsThePriceUnit) {
    GraphState g = Connected();
    g.priceUnitKb = 10;
    g.nSessionTotal = 10240 * 3 + 5120;  // half way through a unit
    EXPECT_EQ(VolumeLevel(g), 8);
    g.priceUnitKb = 0;  // never reaches here from a file, but must not divide by zero
    EXPECT_GE(VolumeLevel(g), 0);
    EXPECT_EQ(DrawGraph(GraphState{}), IdleBitmap());
}

}  // namespace
