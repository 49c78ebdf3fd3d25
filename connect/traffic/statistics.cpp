#include "connect/traffic/statistics.h"

#include <algorithm>
#include <cstdio>

#include "linkwatch/traffic_record.h"
#include "platform/datetime.h"

namespace kvo::traffic {

using kvo::linkwatch::DaysInMonth;
using kvo::linkwatch::ParseTrafficLog;
using kvo::linkwatch::TrafficRecord;

namespace {

void Add(DayTraffic& slot, const TrafficRecord& r) {
    slot.received += r.nReceived;
    slot.transmitted += r.nTransmitted;
    slot.total += uint64_t{r.nReceived} + r.nTransmitted;
    slot.peak = std::max(slot.peak, r.nPeak);
}

void PreviousMonth(int year, int month, int& py, int& pm) {
    pm = month == 1 ? 12 : month - 1;
    py = month == 1 ? year - 1 : year;
}

uint32_t Allowance(float quotient) {
    if (quotient <= 0)
        return 0;
    if (quotient >= 4294967295.0f)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(quotient);
}

}  // namespace

CostSplit DayCosts(uint64_t before, uint64_t total, const MonitorSettings& s) {
    const float limit = s.inclusiveMegabytes * 1048576.0f;
    const float lb =
        static_cast<float>(limit >= 4294967295.0f ? 0xFFFFFFFFu : static_cast<uint32_t>(limit));
    const float v = static_cast<float>(before), t = static_cast<float>(total);
    const float unit = static_cast<float>(std::max(1, s.priceUnitKb));
    CostSplit c;
    if (v < lb && lb < v + t) {
        c.inclusive = ((lb - v) / 1048576.0f) / s.inclusiveMegabytes * s.monthlyPayment;
        c.additional = ((t - (lb - v)) / 1024.0f) / unit * s.additionalPrice;
    } else if (v < lb) {
        c.inclusive = (t / 1048576.0f) / s.inclusiveMegabytes * s.monthlyPayment;
    } else {
        c.additional = (t / 1024.0f) / unit * s.additionalPrice;
    }
    return c;
}

void CTrafficStatistics::AddRunningSession(DayTraffic& slot, const std::string& date) const {
    auto records = ParseTrafficLog(m_files.ReadLog(m_files.AktualPath()));
    // One left by a monitor that did not end cleanly is no session of today.
    if (records.empty() || records.front().strStamp.compare(0, 10, date) != 0)
        return;
    Add(slot, records.front());
}

DayTraffic CTrafficStatistics::Day(int year, int month, int day) const {
    DayTraffic out;
    const ce::SYSTEMTIME now = ce::GetLocalTime();
    if (now.wYear == year && now.wMonth == month && now.wDay == day)
        AddRunningSession(out, kvo::linkwatch::FormatDate(now));

    const int startDay = m_settings.monthStartDay;
    // Earlier days of the billing month this day belongs to.
    const int from = day >= startDay ? startDay : 1;
    uint64_t before = 0;
    for (const TrafficRecord& r : ParseTrafficLog(m_files.ReadLog(m_files.LogPath(month, year)))) {
        if (r.nDay == day)
            Add(out, r);
        if (r.nDay >= from && r.nDay < day)
            before += uint64_t{r.nReceived} + r.nTransmitted;
    }
    const float limit = m_settings.inclusiveMegabytes * 1048576.0f;
    if (day < startDay) {
        int py, pm;
        PreviousMonth(year, month, py, pm);
        for (const TrafficRecord& r : ParseTrafficLog(m_files.ReadLog(m_files.LogPath(pm, py))))
            if (r.nDay >= startDay)
                before += uint64_t{r.nReceived} + r.nTransmitted;
        out.dailyAllowance =
            Allowance((limit - static_cast<float>(before)) / static_cast<float>(startDay - day));
    } else {
        const int daysLeft = std::max(1, DaysInMonth(month, year) - day + 1);
        out.dailyAllowance =
            Allowance((limit - static_cast<float>(before)) / static_cast<float>(daysLeft));
    }
    CostSplit c = DayCosts(before, out.total, m_settings);
    out.inclusiveCost = c.inclusive;
    out.additionalCost = c.additional;
    return out;
}

std::array<DayTraffic, 31> CTrafficStatistics::Month(int year, int month) const {
    std::array<DayTraffic, 31> cells{};
    const int days = DaysInMonth(month, year);
    const ce::SYSTEMTIME now = ce::GetLocalTime();
    if (now.wYear == year && now.wMonth == month && now.wDay <= days)
        AddRunningSession(cells[now.wDay - 1], kvo::linkwatch::FormatDate(now));
    for (const TrafficRecord& r : ParseTrafficLog(m_files.ReadLog(m_files.LogPath(month, year))))
        if (r.nDay <= days)
            Add(cells[r.nDay - 1], r);

    const int startDay = m_settings.monthStartDay;
    uint64_t carried = 0;
    if (startDay != 1) {
        int py, pm;
        PreviousMonth(year, month, py, pm);
        for (const TrafficRecord& r : ParseTrafficLog(m_files.ReadLog(m_files.LogPath(pm, py))))
            if (r.nDay >= startDay)
                carried += uint64_t{r.nReceived} + r.nTransmitted;
    }
    for (int d = 1; d <= days; ++d) {
        const uint64_t before = d == startDay ? 0 : carried;
        CostSplit c = DayCosts(before, cells[d - 1].total, m_settings);
        cells[d - 1].inclusiveCost = c.inclusive;
        cells[d - 1].additionalCost = c.additional;
        carried = before + cells[d - 1].total;
    }
    return cells;
}

std::array<DayTraffic, 12> CTrafficStatistics::Year(int year) const {
    std::array<DayTraffic, 12> months{};
    for (int m = 1; m <= 12; ++m) {
        DayTraffic& sum = months[m - 1];
        for (const DayTraffic& d : Month(year, m)) {
            sum.received += d.received;
            sum.transmitted += d.transmitted;
            sum.total += d.total;
            sum.peak = std::max(sum.peak, d.peak);
            sum.inclusiveCost += d.inclusiveCost;
            sum.additionalCost += d.additionalCost;
        }
    }
    return months;
}

std::string VolumeText(uint64_t v) {
    char buf[64];
    if (v < 1024)
        std::snprintf(buf, sizeof buf, "%d B", static_cast<int>(v));
    else if (v < 1048576)
        std::snprintf(buf, sizeof buf, "%d kB", static_cast<int>(v / 1024));
    else
        std::snprintf(buf, sizeof buf, "%llu MB", static_cast<unsigned long long>(v / 1048576));
    return buf;
}

AxisScale TrafficAxis(uint64_t maximum) {
    AxisScale a;
    if (maximum < 1000) {
        a.strUnit = "B";
        a.divisor = 1;
    } else if (maximum < 1000000) {
        a.strUnit = "kB";
        a.divisor = 1024;
    } else {
        a.strUnit = "MB";
        a.divisor = 1048576;
    }
    const double step = static_cast<double>(maximum) / 10.0 / a.divisor;
    const char* format = step * 10 < 10 ? "%.2f" : step * 10 < 100 ? "%.1f" : "%.0f";
    a.labels[0] = "0";
    for (int i = 1; i <= 10; ++i) {
        char buf[64];
        std::snprintf(buf, sizeof buf, format, step * i);
        a.labels[i] = buf;
    }
    return a;
}

}  // namespace kvo::traffic
