// A clock for tests: time moves only when someone sleeps or the test advances it, so a
// five-minute countdown takes no time at all. Safe to share between threads.
#pragma once
#include <atomic>
#include <thread>

#include "platform/datetime.h"

namespace kvo::test {

class FakeClock : public ce::Clock {
public:
    FakeClock() { ce::SetClock(this); }
    ~FakeClock() override { ce::SetClock(nullptr); }

    ce::SYSTEMTIME LocalTime() override {
        ce::SYSTEMTIME t{};
        t.wYear = 2026;
        t.wMonth = 12;
        t.wDay = 8;
        uint64_t s = m_ms.load() / 1000;
        t.wHour = static_cast<uint16_t>(s / 3600 % 24);
        t.wMinute = static_cast<uint16_t>(s / 60 % 60);
        t.wSecond = static_cast<uint16_t>(s % 60);
        return t;
    }
    uint32_t TickCount() override { return static_cast<uint32_t>(m_ms.load()); }
    void Sleep(uint32_t ms) override {
        m_ms += ms;
        m_slept += ms;
        std::this_thread::yield();
    }
    void Advance(uint64_t ms) { m_ms += ms; }
    uint64_t Slept() const { return m_slept.load(); }

private:
    std::atomic<uint64_t> m_ms{1000};
    std::atomic<uint64_t> m_slept{0};
};

}  // namespace kvo::test
