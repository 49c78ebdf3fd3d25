#include "linkwatch/traffic_record.h"

#include <cstdio>

#include "common/narrow.h"

namespace kvo::linkwatch {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "dd.mm.yyyy hh:mm:ss" with a day of 1..31; its day in *day.
bool ParseStamp(std::string_view line, int* day) {
    static constexpr std::string_view kShape = "00.00.0000 00:00:00";
    if (line.size() != kShape.size())
        return false;
    for (size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == '0' ? !IsDigit(line[i]) : line[i] != kShape[i])
            return false;
    }
    int d = (line[0] - '0') * 10 + (line[1] - '0');
    if (d < 1 || d > 31)
        return false;
    *day = d;
    return true;
}

// Decimal, blanks around it allowed; anything else, or a value past 32 bits, is 0.
uint32_t ParseCount(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.empty() || line.size() > 10)
        return 0;
    uint64_t v = 0;
    for (char c : line) {
        if (!IsDigit(c))
            return 0;
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    return v > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(v);
}

}  // namespace

std::string FormatStamp(const ce::SYSTEMTIME& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2d.%.2d.%.4d %.2d:%.2d:%.2d", t.wDay, t.wMonth, t.wYear,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

std::string FormatDate(const ce::SYSTEMTIME& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d.%.2d.%.4d", t.wDay, t.wMonth, t.wYear);
    return buf;
}

std::string FormatTrafficRecord(const ce::SYSTEMTIME& t, uint32_t received, uint32_t transmitted,
                                uint32_t peak) {
    return FormatStamp(t) + "\r\n" + std::to_string(received) + "\r\n" +
           std::to_string(transmitted) + "\r\n" + std::to_string(peak) + "\r\n";
}

std::vector<TrafficRecord> ParseTrafficLog(std::string_view bytes) {
    std::vector<TrafficRecord> out;
    int field = 4;  // no record open
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t cr = bytes.find('\r', pos);
        size_t end = cr == std::string_view::npos ? bytes.size() : cr;
        std::string_view line = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (cr != std::string_view::npos && pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
        // A stray LF (a file edited elsewhere) is no part of the line.
        while (!line.empty() && line.front() == '\n') line.remove_prefix(1);

        int day = 0;
        if (ParseStamp(line, &day)) {
            out.push_back(TrafficRecord{std::string(line), day});
            field = 1;
            continue;
        }
        if (field >= 4)
            continue;
        uint32_t v = ParseCount(line);
        TrafficRecord& r = out.back();
        if (field == 1)
            r.nReceived = v;
        if (field == 2)
            r.nTransmitted = v;
        if (field == 3)
            r.nPeak = v;
        ++field;
    }
    return out;
}

std::u16string MonthlyLogName(int month, int year) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2d-%.4d.dat", month, year);
    return Widen(buf);
}

int DaysInMonth(int month, int year) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return year % 4 == 0 ? 29 : 28;
        default:
            return 31;
    }
}

}  // namespace kvo::linkwatch
