// The automatic synchronisation worker: counts down the interval on an idle-priority thread
// and runs one session at the deadline.
#pragma once
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvo {

// Flags the client's threads share about sessions.
struct CSessionFlags {
    std::atomic<bool> m_bBusy{false};            // a synchronisation is in progress
    std::atomic<bool> m_bIdle{true};             // synchronisation allowed
    std::atomic<bool> m_bSessionRunning{false};  // a session has the phone
};

class CAutoSyncWorker {
public:
    using Session = std::function<void()>;
    using Status = std::function<void(const std::u16string&)>;

    CAutoSyncWorker(CSessionFlags& flags, Session session, Status status);
    ~CAutoSyncWorker();

    void StartAutoSync(int intervalMinutes);
    // Waits for a running session to end, then ends the worker.
    void StopAutoSync();
    // Begin the countdown again from the full interval (the interval may have changed).
    void RestartCountdown();
    void SetInterval(int minutes) { m_nInterval = minutes; }
    bool IsRunning() const { return m_thread.joinable() && m_bKeepRunning; }

    static std::u16string FormatCountdown(uint32_t remainingMs);

private:
    void Run();
    bool Pause(uint32_t ms);  // false when told to end

    CSessionFlags& m_flags;
    Session m_session;
    Status m_status;
    std::atomic<int> m_nInterval{5};
    std::atomic<bool> m_bKeepRunning{false};
    std::atomic<bool> m_bRestart{false};
    std::mutex m_lifecycle;
    std::thread m_thread;
};

}  // namespace kvo
