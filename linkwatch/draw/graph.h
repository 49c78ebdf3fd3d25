// The 20 x 19 taskbar graph: throughput on the left bar, the day's volume on the right.
#pragma once
#include <QImage>

#include "linkwatch/monitor.h"

namespace kvo::linkwatch {

constexpr int kGraphWidth = 20;
constexpr int kGraphHeight = 19;

// The two pictures the graph starts from: not connected (101) and connected (102).
QImage IdleBitmap();
QImage ConnectedBackground();

// Rows 3..16 of a bar that are lit for `level` sixteenths.
int ThroughputLevel(const GraphState& g);
// The volume bar's level in sixteenths; above 16 the bar is over the limit.
int VolumeLevel(const GraphState& g);

QImage DrawGraph(const GraphState& g);

}  // namespace kvo::linkwatch
