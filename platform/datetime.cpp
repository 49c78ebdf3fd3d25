#include "datetime.h"

#include <atomic>
#include <cmath>
#include <ctime>
#include <thread>

namespace ce {
namespace {

// Days from 1970-01-01 of a civil date (proleptic Gregorian), after H. Hinnant.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yy + (m <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

class RealClock : public Clock {
public:
    SYSTEMTIME LocalTime() override {
        timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        tm t;
        localtime_r(&ts.tv_sec, &t);
        SYSTEMTIME st;
        st.wYear = static_cast<uint16_t>(t.tm_year + 1900);
        st.wMonth = static_cast<uint16_t>(t.tm_mon + 1);
        st.wDayOfWeek = static_cast<uint16_t>(t.tm_wday);
        st.wDay = static_cast<uint16_t>(t.tm_mday);
        st.wHour = static_cast<uint16_t>(t.tm_hour);
        st.wMinute = static_cast<uint16_t>(t.tm_min);
        st.wSecond = static_cast<uint16_t>(t.tm_sec);
        st.wMilliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
        return st;
    }
    uint32_t TickCount() override {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000 +
                                     static_cast<uint64_t>(ts.tv_nsec) / 1000000);
    }
    void Sleep(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

RealClock g_realClock;
std::atomic<Clock*> g_clock{&g_realClock};

}  // namespace

bool IsValidDate(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int dim = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= dim && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 &&
           second < 60;
}

OleDate OleDate::FromParts(int year, int month, int day, int hour, int minute, int second) {
    OleDate d;
    if (!IsValidDate(year, month, day, hour, minute, second)) {
        d.m_status = invalid;
        return d;
    }
    int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                   kOleEpoch;
    double frac = (hour * 3600 + minute * 60 + second) / 86400.0;
    // Before the epoch the integer part is negative but the fraction still adds time.
    d.m_dt = days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
    return d;
}

OleDate OleDate::FromSystemTime(const SYSTEMTIME& st) {
    return FromParts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

bool OleDate::ToSystemTime(SYSTEMTIME& st) const {
    if (m_status != valid || !std::isfinite(m_dt)) return false;
    // The range of years 100..9999.
    if (m_dt < -657434.0 || m_dt >= 2958466.0) return false;
    double whole = std::trunc(m_dt);
    double frac = std::fabs(m_dt - whole);
    // Round to the nearest second: stored doubles rarely hold exact seconds.
    int64_t secs = static_cast<int64_t>(std::llround(frac * 86400.0));
    int64_t days = static_cast<int64_t>(whole);
    if (secs >= 86400) {
        secs -= 86400;
        days += m_dt >= 0 ? 1 : -1;
    }
    int y;
    unsigned m, d;
    CivilFromDays(days + kOleEpoch, y, m, d);
    st = SYSTEMTIME{};
    st.wYear = static_cast<uint16_t>(y);
    st.wMonth = static_cast<uint16_t>(m);
    st.wDay = static_cast<uint16_t>(d);
    int64_t z = days + kOleEpoch;  // 1970-01-01 was a Thursday
    st.wDayOfWeek = static_cast<uint16_t>(((z % 7) + 7 + 4) % 7);
    st.wHour = static_cast<uint16_t>(secs / 3600);
    st.wMinute = static_cast<uint16_t>((secs / 60) % 60);
    st.wSecond = static_cast<uint16_t>(secs % 60);
    return true;
}

Clock& SystemClock() { return g_realClock; }
void SetClock(Clock* clock) { g_clock.store(clock ? clock : &g_realClock); }

SYSTEMTIME GetLocalTime() { return g_clock.load()->LocalTime(); }
uint32_t GetTickCount() { return g_clock.load()->TickCount(); }
void Sleep(uint32_t ms) { g_clock.load()->Sleep(ms); }

}  // namespace ce
