// Time as the installer waits on it; tests hand in one that jumps instead of sleeping.
#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

namespace kvo::install {

class IClock {
public:
    virtual ~IClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
};

class CSystemClock : public IClock {
public:
    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void SleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace kvo::install
