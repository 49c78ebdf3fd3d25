// Time: the SYSTEMTIME record, the OLE automation date, tick counts and an injectable clock.
#pragma once
#include <chrono>
#include <cstdint>

namespace ce {

struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;  // 1..12
    uint16_t wDayOfWeek = 0;  // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
    bool operator==(const SYSTEMTIME&) const = default;
};

// The date-time type of the stored files: days since 30 December 1899 00:00, the fraction
// being the time of day (for dates before it, the fraction still counts forward from
// midnight). m_status 0 is valid, 1 invalid, as the files store it.
struct OleDate {
    enum Status : int32_t { valid = 0, invalid = 1, null = 2 };
    double m_dt = 0.0;
    int32_t m_status = valid;

    static OleDate FromSystemTime(const SYSTEMTIME& st);  // invalid status for a bad date
    static OleDate FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                             int second = 0);
    // false for an invalid status or a value out of range (years 100..9999).
    bool ToSystemTime(SYSTEMTIME& st) const;
    bool IsValid() const { return m_status == valid; }
};

bool IsValidDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// The clock the programs read. Tests replace it to step through minutes, days and months.
class Clock {
public:
    virtual ~Clock() = default;
    virtual SYSTEMTIME LocalTime() = 0;
    virtual uint32_t TickCount() = 0;  // milliseconds, wraps like the handheld's
    // Sleeps (a fake clock advances instead).
    virtual void Sleep(uint32_t ms) = 0;
};
Clock& SystemClock();
void SetClock(Clock* clock);  // nullptr restores the system clock

SYSTEMTIME GetLocalTime();
uint32_t GetTickCount();
void Sleep(uint32_t ms);

}  // namespace ce
