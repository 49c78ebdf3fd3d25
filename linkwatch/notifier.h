// The monitor's shell notifications. Each runs on a short-lived worker that adds it, keeps
// it for its time (the start notice: until connect has come up or the start was given up)
// and removes it.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kvo::linkwatch {

enum class Notice { DailyLimit, NinetyPercent, MonthlyLimit, Starting };

struct NoticeText {
    std::u16string strTitle;
    std::u16string strBody;
};
NoticeText TextOf(Notice notice);

inline constexpr uint32_t kNotificationId = 4731;

class CNotifier {
public:
    CNotifier() = default;
    ~CNotifier();  // ends and joins the workers
    CNotifier(const CNotifier&) = delete;
    CNotifier& operator=(const CNotifier&) = delete;

    void Show(Notice notice);

    // Shared with the workers: the start of connect that a tap asked for.
    std::atomic<bool> m_bStarting{false};
    std::atomic<bool> m_bStarted{false};
    std::atomic<bool> m_bShown{false};

private:
    void Run(Notice notice, uint64_t generation);
    void JoinFinished();

    std::atomic<bool> m_bQuit{false};
    // A later notice replaces an earlier one: only the latest worker may take it away.
    std::atomic<uint64_t> m_nGeneration{0};
    std::atomic<int> m_nRunning{0};
    std::vector<std::thread> m_threads;
};

}  // namespace kvo::linkwatch
