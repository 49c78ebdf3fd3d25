// The traffic page's pictures: the day view's three bars and the month and year charts,
// drawn into the page's 240 x 220 surface.
#pragma once
#include <QImage>
#include <QPainter>
#include <array>
#include <string>

#include "connect/traffic/statistics.h"

namespace kvo::traffic {

constexpr int kChartWidth = 240;
constexpr int kChartHeight = 220;
// Month and year charts: bars stand on this line and are this high at the maximum.
constexpr int kChartBase = 200;
constexpr int kChartBarHeight = 180;
// Day view: its bars stand here and are this high when full.
constexpr int kDayBase = 176;
constexpr int kDayBarHeight = 105;

enum class ChartMode { Traffic = 1, Costs = 2 };

// Colours the charts use, so that callers (and tests) can tell the parts apart.
QColor ReceivedColour();
QColor TransmittedColour();
QColor InclusiveColour();
QColor AdditionalColour();
QColor ChartBackground();

// Left edge and width of the bar of slot i (0-based) in a chart of n cells.
int SlotX(int i, int cells);
int SlotWidth(int cells);
// Day view: left edges of the costs, data-left and speed bars, and their width.
int DayBarX(int bar);
constexpr int kDayBarWidth = 28;

// The largest 1, 2 or 5 times a power of ten that reaches `sum` (1 for nothing).
double CostScale(double sum);

void DrawDayView(QPainter& p, const DayTraffic& day, const MonitorSettings& settings,
                 const std::string& currency);
void DrawMonthChart(QPainter& p, const std::array<DayTraffic, 31>& days, int daysInMonth,
                    ChartMode mode, const std::string& currency);
void DrawYearChart(QPainter& p, const std::array<DayTraffic, 12>& months, ChartMode mode,
                   const std::string& currency);

// A blank page surface.
QImage NewChartImage();

}  // namespace kvo::traffic
