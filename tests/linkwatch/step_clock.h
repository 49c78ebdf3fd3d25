// A wall clock that moves only when the test says so; sleeping passes no time on it, so
// notification workers and start-up waits cannot move the monitor's day.
#pragma once
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/datetime.h"

namespace kvo::test {

class StepClock : public ce::Clock {
public:
    StepClock() { ce::SetClock(this); }
    ~StepClock() override { ce::SetClock(nullptr); }

    ce::SYSTEMTIME LocalTime() override {
        std::lock_guard lock(m_mutex);
        return m_now;
    }
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t ms) override {
        std::lock_guard lock(m_mutex);
        m_slept += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    void Set(int y, int mo, int d, int h, int mi, int s) {
        std::lock_guard lock(m_mutex);
        m_now = ce::SYSTEMTIME{};
        m_now.wYear = static_cast<uint16_t>(y);
        m_now.wMonth = static_cast<uint16_t>(mo);
        m_now.wDay = static_cast<uint16_t>(d);
        m_now.wHour = static_cast<uint16_t>(h);
        m_now.wMinute = static_cast<uint16_t>(mi);
        m_now.wSecond = static_cast<uint16_t>(s);
    }
    // One second on, across midnight and month ends.
    void Step() {
        ce::SYSTEMTIME t = LocalTime();
        int y = t.wYear, mo = t.wMonth, d = t.wDay, h = t.wHour, mi = t.wMinute, s = t.wSecond + 1;
        if (s == 60)
            s = 0, ++mi;
        if (mi == 60)
            mi = 0, ++h;
        if (h == 24)
            h = 0, ++d;
        if (!ce::IsValidDate(y, mo, d))
            d = 1, ++mo;
        if (mo == 13)
            mo = 1, ++y;
        Set(y, mo, d, h, mi, s);
    }
    uint64_t Slept() {
        std::lock_guard lock(m_mutex);
        return m_slept;
    }

private:
    std::mutex m_mutex;
    ce::SYSTEMTIME m_now{};
    uint64_t m_slept = 0;
};

}  // namespace kvo::test
