// What the logs say about a day, a month or a year, and what it cost under the tariff.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "linkwatch/monitor_files.h"
#include "linkwatch/monitor_settings.h"

namespace kvo::traffic {

using kvo::linkwatch::MonitorSettings;

struct DayTraffic {
    uint32_t peak = 0;  // bytes in the busiest one-second tick
    uint64_t received = 0;
    uint64_t transmitted = 0;
    uint64_t total = 0;
    uint32_t dailyAllowance = 0;  // day view only
    float inclusiveCost = 0;
    float additionalCost = 0;
};

struct CostSplit {
    float inclusive = 0;
    float additional = 0;
};
// The costs of a day's `total` bytes when `before` bytes of the billing month were used
// before it: what fits in the allowance is priced against the monthly payment, the rest at
// the additional price.
CostSplit DayCosts(uint64_t before, uint64_t total, const MonitorSettings& s);

class CTrafficStatistics {
public:
    CTrafficStatistics(kvo::linkwatch::CMonitorFiles files, MonitorSettings settings)
        : m_files(std::move(files)), m_settings(settings) {}

    DayTraffic Day(int year, int month, int day) const;
    // Index 0 is the 1st; days past the month's end stay zero.
    std::array<DayTraffic, 31> Month(int year, int month) const;
    // Index 0 is January.
    std::array<DayTraffic, 12> Year(int year) const;

private:
    // The running session of "aktual.dat", when its stamp says it is of `date`.
    void AddRunningSession(DayTraffic& slot, const std::string& date) const;

    kvo::linkwatch::CMonitorFiles m_files;
    MonitorSettings m_settings;
};

// "1023 B", "1 kB", "1 MB".
std::string VolumeText(uint64_t bytes);

// The value axis of the month and year charts: the unit, the factor values are divided by,
// and the labels of the ten grid lines (index 0 is the bottom "0").
struct AxisScale {
    std::string strUnit;
    double divisor = 1;
    std::array<std::string, 11> labels;
};
AxisScale TrafficAxis(uint64_t maximum);

}  // namespace kvo::traffic
