#include "linkwatch/draw/graph.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kvo::linkwatch {
namespace {

const QColor kGreen(0, 255, 0);
const QColor kLightBlue(0x6F, 0xA2, 0xCF);
const QColor kRed(0xF9, 0x5C, 0x57);

QImage Frame(QColor ground, QColor slot, QColor edge) {
    QImage img(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
    img.fill(ground);
    QPainter p(&img);
    for (int x0 : {3, 11}) {
        p.fillRect(x0, 2, 8, 16, edge);
        p.fillRect(x0 + 1, 3, 6, 14, slot);
    }
    return img;
}

// A horizontal line from x0 to x1, end pixel excluded.
void Row(QImage& img, int y, int x0, int x1, QColor c) {
    for (int x = x0; x < x1; ++x) img.setPixelColor(x, y, c);
}

}  // namespace

QImage IdleBitmap() {
    return Frame(QColor(0xC6, 0xC6, 0xC6), QColor(0xE8, 0xE8, 0xE8), QColor(0x80, 0x80, 0x80));
}

QImage ConnectedBackground() {
    return Frame(QColor(0x10, 0x24, 0x48), QColor(0, 0, 0), QColor(0x50, 0x70, 0x98));
}

int ThroughputLevel(const GraphState& g) {
    if (g.nOverallPeak == 0)
        return 0;
    double u = static_cast<double>(g.nTickTraffic) / g.nOverallPeak * 16;
    return static_cast<int>(std::min(16.0, u));
}

int VolumeLevel(const GraphState& g) {
    double ratio;
    if (g.inclusiveMegabytes != 0) {
        // No allowance left today: any traffic is over it, none leaves the bar empty.
        if (g.nDailyAllowance == 0)
            return g.nDayVolume > 0 ? std::numeric_limits<int>::max() : 0;
        ratio = static_cast<double>(g.nDayVolume) / g.nDailyAllowance;
    } else {
        const uint64_t unit = static_cast<uint64_t>(std::max(1, g.priceUnitKb)) * 1024;
        ratio = static_cast<double>(g.nSessionTotal % unit) / static_cast<double>(unit);
    }
    double e = ratio * 16;
    return e >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(e);
}

QImage DrawGraph(const GraphState& g) {
    if (!g.bConnected)
        return IdleBitmap();
    QImage img = ConnectedBackground();
    const int u = ThroughputLevel(g);
    for (int y = 3; y <= 16; ++y)
        if (y > 16 - u)
            Row(img, y, 4, 10, kGreen);
    const int e = VolumeLevel(g);
    if (e <= 16) {
        for (int y = 3; y <= 16; ++y)
            if (y > 16 - e)
                Row(img, y, 12, 18, kLightBlue);
    } else {
        // Over the limit: the red share on top grows with the excess.
        const double redBelow = (1.0 - 16.0 / e) * 16;
        for (int y = 3; y <= 16; ++y) Row(img, y, 12, 18, y < redBelow ? kRed : kLightBlue);
    }
    return img;
}

}  // namespace kvo::linkwatch
