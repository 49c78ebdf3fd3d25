// The session record of the logs: four text lines (time stamp, received, transmitted, peak),
// each ended by CR LF. A monthly log is such records appended; "aktual.dat" holds one.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"

namespace kvo::linkwatch {

struct TrafficRecord {
    std::string strStamp;  // "07.03.2004 14:05:09"
    int nDay = 0;          // 1..31, from the stamp
    uint32_t nReceived = 0;
    uint32_t nTransmitted = 0;
    uint32_t nPeak = 0;  // bytes in the busiest one-second tick
};

std::string FormatStamp(const ce::SYSTEMTIME& t);  // "%.2d.%.2d.%.4d %.2d:%.2d:%.2d"
std::string FormatDate(const ce::SYSTEMTIME& t);   // the stamp's first ten characters
std::string FormatTrafficRecord(const ce::SYSTEMTIME& t, uint32_t received, uint32_t transmitted,
                                uint32_t peak);

// Reads a log whole. A record starts at a line that is a time stamp; the lines after it up
// to the next stamp are received, transmitted and peak, a missing or non-numeric one
// counting 0. A last line without CR LF still counts. Lines before the first stamp, and
// lines past the fourth of a record, are skipped, so one damaged record never shifts the
// rest.
std::vector<TrafficRecord> ParseTrafficLog(std::string_view bytes);

// "03-2004.dat"
std::u16string MonthlyLogName(int month, int year);

int DaysInMonth(int month, int year);

}  // namespace kvo::linkwatch
