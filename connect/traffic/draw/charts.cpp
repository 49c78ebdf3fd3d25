#include "connect/traffic/draw/charts.h"

#include <QFont>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kvo::traffic {
namespace {

constexpr int kAxisX = 36;  // the value axis; labels to its left
constexpr int kPlotRight = 236;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string Format(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void SmallFont(QPainter& p, int px) {
    QFont f = p.font();
    f.setPixelSize(px);
    p.setFont(f);
}

void Header(QPainter& p, const char* text) {
    SmallFont(p, 12);
    QFont f = p.font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, kChartWidth, 16), Qt::AlignHCenter | Qt::AlignVCenter, text);
    f.setBold(false);
    p.setFont(f);
}

void Legend(QPainter& p, QColor a, const char* ta, QColor b, const char* tb) {
    SmallFont(p, 9);
    p.fillRect(150, 18, 8, 8, a);
    p.setPen(Qt::black);
    p.drawText(160, 26, ta);
    p.fillRect(150, 28, 8, 8, b);
    p.drawText(160, 36, tb);
}

// Grid and labels of the value axis: labels[0] at the base, labels[10] at the top.
void Axis(QPainter& p, const std::array<std::string, 11>& labels, const std::string& unit) {
    SmallFont(p, 8);
    p.setPen(QColor(0xD0, 0xD0, 0xD0));
    for (int i = 1; i <= 10; ++i) {
        int y = kChartBase - i * kChartBarHeight / 10;
        p.drawLine(kAxisX + 1, y, kPlotRight, y);
    }
    p.setPen(Qt::black);
    p.drawLine(kAxisX, kChartBase - kChartBarHeight, kAxisX, kChartBase);
    p.drawLine(kAxisX, kChartBase, kPlotRight, kChartBase);
    for (int i = 0; i <= 10; ++i) {
        int y = kChartBase - i * kChartBarHeight / 10;
        p.drawText(QRect(0, y - 5, kAxisX - 2, 10), Qt::AlignRight | Qt::AlignVCenter,
                   Q(labels[i]));
    }
    p.drawText(QRect(0, 4, kAxisX, 12), Qt::AlignLeft | Qt::AlignVCenter, Q(unit));
}

int Height(double value, double maximum, int full) {
    if (maximum <= 0 || value <= 0)
        return 0;
    return static_cast<int>(std::lround(std::min(1.0, value / maximum) * full));
}

// A stacked bar: `low` from the base, `high` on top of it.
void Stack(QPainter& p, int x, int w, int base, int lowH, QColor low, int highH, QColor high) {
    if (lowH > 0)
        p.fillRect(x, base - lowH, w, lowH, low);
    if (highH > 0)
        p.fillRect(x, base - lowH - highH, w, highH, high);
}

void Bars(QPainter& p, const DayTraffic* cells, int n, ChartMode mode,
          const std::string& currency) {
    if (mode == ChartMode::Traffic) {
        uint64_t maximum = 0;
        for (int i = 0; i < n; ++i) maximum = std::max(maximum, cells[i].total);
        AxisScale axis = TrafficAxis(maximum);
        Axis(p, axis.labels, axis.strUnit);
        for (int i = 0; i < n; ++i) {
            const double m = static_cast<double>(maximum);
            int rh = Height(static_cast<double>(cells[i].received), m, kChartBarHeight);
            int th = Height(static_cast<double>(cells[i].total), m, kChartBarHeight) - rh;
            Stack(p, SlotX(i, n), SlotWidth(n), kChartBase, rh, ReceivedColour(), th,
                  TransmittedColour());
        }
        Legend(p, ReceivedColour(), "Download", TransmittedColour(), "Upload");
        return;
    }
    double maximum = 0;
    for (int i = 0; i < n; ++i)
        maximum = std::max(maximum, double(cells[i].inclusiveCost) + cells[i].additionalCost);
    std::array<std::string, 11> labels;
    const char* format = maximum < 10 ? "%.2f" : maximum < 100 ? "%.1f" : "%.0f";
    labels[0] = "0";
    for (int i = 1; i <= 10; ++i) labels[i] = Format(format, maximum / 10 * i);
    Axis(p, labels, currency);
    for (int i = 0; i < n; ++i) {
        double sum = double(cells[i].inclusiveCost) + cells[i].additionalCost;
        int ih = Height(cells[i].inclusiveCost, maximum, kChartBarHeight);
        int ah = Height(sum, maximum, kChartBarHeight) - ih;
        Stack(p, SlotX(i, n), SlotWidth(n), kChartBase, ih, InclusiveColour(), ah,
              AdditionalColour());
    }
    Legend(p, InclusiveColour(), "Inclusive data", AdditionalColour(), "Additional data");
}

void SlotLabels(QPainter& p, int n, int every, const std::vector<std::string>& names) {
    SmallFont(p, 8);
    p.setPen(Qt::black);
    for (int i = 0; i < n; i += every) {
        int cx = SlotX(i, n) + SlotWidth(n) / 2;
        p.drawText(QRect(cx - 12, kChartBase + 2, 24, 12), Qt::AlignHCenter | Qt::AlignTop,
                   Q(names[static_cast<size_t>(i)]));
    }
}

// One of the day view's columns: frame, bar, caption under it.
void DayColumn(QPainter& p, int bar, const char* caption) {
    const int x = DayBarX(bar);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(x - 1, kDayBase - kDayBarHeight - 1, kDayBarWidth + 1, kDayBarHeight + 1);
    SmallFont(p, 9);
    p.setPen(Qt::black);
    p.drawText(QRect(x - 16, kDayBase + 3, kDayBarWidth + 32, 24), Qt::AlignHCenter | Qt::AlignTop,
               caption);
}

void ScaleLabel(QPainter& p, int bar, double share, const std::string& text) {
    const int y = kDayBase - static_cast<int>(share * kDayBarHeight);
    SmallFont(p, 8);
    p.setPen(Qt::black);
    p.drawText(QRect(DayBarX(bar) - 34, y - 5, 32, 10), Qt::AlignRight | Qt::AlignVCenter, Q(text));
}

}  // namespace

QColor ReceivedColour() {
    return QColor(0x31, 0x6A, 0xC5);
}
QColor TransmittedColour() {
    return QColor(0x3C, 0xB3, 0x4A);
}
QColor InclusiveColour() {
    return QColor(0x6F, 0xA2, 0xCF);
}
QColor AdditionalColour() {
    return QColor(0xF9, 0x5C, 0x57);
}
QColor ChartBackground() {
    return QColor(Qt::white);
}

int SlotWidth(int cells) {
    return std::max(1, (kPlotRight - kAxisX - 2) / std::max(1, cells) - 1);
}
int SlotX(int i, int cells) {
    return kAxisX + 2 + i * ((kPlotRight - kAxisX - 2) / std::max(1, cells));
}
int DayBarX(int bar) {
    return 60 + bar * 64;
}

double CostScale(double sum) {
    if (!(sum > 0))
        return 1;
    double power = std::pow(10.0, std::floor(std::log10(sum)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        // A small tolerance, so that 2.0 is its own scale despite rounding.
        if (m * power >= sum * (1 - 1e-9))
            return m * power;
    }
    return 10 * power;
}

QImage NewChartImage() {
    QImage img(kChartWidth, kChartHeight, QImage::Format_RGB32);
    img.fill(ChartBackground());
    return img;
}

void DrawDayView(QPainter& p, const DayTraffic& day, const MonitorSettings& s,
                 const std::string& currency) {
    Header(p, "Daily information");
    SmallFont(p, 10);
    p.setPen(Qt::black);
    p.drawText(4, 30, Q("Download: " + VolumeText(day.received)));
    p.drawText(124, 30, Q("Upload: " + VolumeText(day.transmitted)));
    const double costs = double(day.inclusiveCost) + day.additionalCost;
    p.drawText(4, 44, Q("costs: " + Format("%.2f", costs) + " " + currency));

    // Costs, stacked inclusive and additional.
    DayColumn(p, 0, "costs");
    const double scale = CostScale(costs);
    const char* format = scale >= 10 ? "%.0f" : scale >= 1 ? "%.1f" : "%.2f";
    for (int q = 1; q <= 4; ++q) ScaleLabel(p, 0, q / 4.0, Format(format, scale * q / 4));
    int ih = Height(day.inclusiveCost, scale, kDayBarHeight);
    int ah = Height(costs, scale, kDayBarHeight) - ih;
    Stack(p, DayBarX(0), kDayBarWidth, kDayBase, ih, InclusiveColour(), ah, AdditionalColour());

    // Data left today.
    DayColumn(p, 1, "data\r\nvol. left");
    if (s.inclusiveMegabytes != 0) {
        const double allowance = day.dailyAllowance, total = static_cast<double>(day.total);
        if (total > allowance) {
            // Over today's limit: the limit's line, and the excess above it.
            const double excess = (total - allowance) / total;
            const int limitY = kDayBase - Height(allowance, total, kDayBarHeight);
            p.fillRect(DayBarX(1), kDayBase - kDayBarHeight, kDayBarWidth,
                       Height(excess, 1, kDayBarHeight), AdditionalColour());
            p.setPen(Qt::black);
            p.drawLine(DayBarX(1) - 3, limitY, DayBarX(1) + kDayBarWidth + 2, limitY);
            ScaleLabel(p, 1, (kDayBase - limitY) / double(kDayBarHeight), "d. limit");
            ScaleLabel(p, 1, 0, Format("%.0f", -(total - allowance) / 1024));
        } else {
            const double left = allowance > 0 ? (allowance - total) / allowance : 0;
            const int h = Height(left, 1, kDayBarHeight);
            p.fillRect(DayBarX(1), kDayBase - h, kDayBarWidth, h, InclusiveColour());
            ScaleLabel(p, 1, 1, VolumeText(day.dailyAllowance));
            ScaleLabel(p, 1, 0, "0");
        }
    } else {
        const uint64_t unit = static_cast<uint64_t>(std::max(1, s.priceUnitKb)) * 1024;
        const double left =
            static_cast<double>(unit - day.total % unit) / static_cast<double>(unit);
        const int h = Height(left, 1, kDayBarHeight);
        p.fillRect(DayBarX(1), kDayBase - h, kDayBarWidth, h, InclusiveColour());
        ScaleLabel(p, 1, 1, VolumeText(unit));
        ScaleLabel(p, 1, 0, "0");
    }

    // Peak speed against 56 kbit/s.
    DayColumn(p, 2, "max.\r\nspeed");
    const double bits = static_cast<double>(day.peak) * 8;
    const int h = Height(bits, 57344, kDayBarHeight);
    p.fillRect(DayBarX(2), kDayBase - h, kDayBarWidth, h, TransmittedColour());
    for (int k = 1; k <= 4; ++k) ScaleLabel(p, 2, k / 4.0, std::to_string(14 * k));
    SmallFont(p, 8);
    p.drawText(QRect(DayBarX(2) - 8, kDayBase - kDayBarHeight - 14, kDayBarWidth + 30, 12),
               Qt::AlignLeft, "kbit/s");
}

void DrawMonthChart(QPainter& p, const std::array<DayTraffic, 31>& days, int daysInMonth,
                    ChartMode mode, const std::string& currency) {
    const int n = std::clamp(daysInMonth, 1, 31);
    Header(p, "Monthly information");
    Bars(p, days.data(), n, mode, currency);
    std::vector<std::string> names;
    for (int d = 1; d <= n; ++d) names.push_back(std::to_string(d));
    SlotLabels(p, n, 3, names);
}

void DrawYearChart(QPainter& p, const std::array<DayTraffic, 12>& months, ChartMode mode,
                   const std::string& currency) {
    Header(p, "Yearly information");
    Bars(p, months.data(), 12, mode, currency);
    SlotLabels(p, 12, 1, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"});
}

}  // namespace kvo::traffic
