#include "auto_sync.h"

#include <cstdio>

#include "platform/datetime.h"
#include "platform/thread.h"

namespace kvo {
namespace {

constexpr uint32_t kStatusStepMs = 5000;
constexpr uint32_t kSliceMs = 100;  // how soon a stop or restart is noticed

}  // namespace

CAutoSyncWorker::CAutoSyncWorker(CSessionFlags& flags, Session session, Status status)
    : m_flags(flags), m_session(std::move(session)), m_status(std::move(status)) {}

CAutoSyncWorker::~CAutoSyncWorker() { StopAutoSync(); }

std::u16string CAutoSyncWorker::FormatCountdown(uint32_t remainingMs) {
    uint32_t s = (remainingMs + 999) / 1000;
    char buf[32];
    std::snprintf(buf, sizeof buf, "AS: %02u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

void CAutoSyncWorker::StartAutoSync(int intervalMinutes) {
    std::lock_guard lock(m_lifecycle);
    if (m_thread.joinable()) return;
    m_nInterval = intervalMinutes;
    m_bKeepRunning = true;
    m_thread = ce::StartThread([this] { Run(); }, ce::THREAD_PRIORITY_IDLE);
}

void CAutoSyncWorker::StopAutoSync() {
    std::lock_guard lock(m_lifecycle);
    m_bKeepRunning = false;
    // The session runs on the worker itself, so joining waits for it to end.
    if (m_thread.joinable()) m_thread.join();
}

void CAutoSyncWorker::RestartCountdown() { m_bRestart = true; }

bool CAutoSyncWorker::Pause(uint32_t ms) {
    for (uint32_t slept = 0; slept < ms; slept += kSliceMs) {
        if (!m_bKeepRunning || m_bRestart) return m_bKeepRunning;
        ce::Sleep(kSliceMs);
    }
    return m_bKeepRunning;
}

void CAutoSyncWorker::Run() {
    while (m_bKeepRunning) {
        uint32_t start = ce::GetTickCount();
        uint32_t interval = static_cast<uint32_t>(m_nInterval.load()) * 60000u;
        m_flags.m_bBusy = false;
        for (;;) {
            uint32_t elapsed = ce::GetTickCount() - start;
            if (elapsed >= interval || m_bRestart) break;
            if (m_flags.m_bIdle) m_status(FormatCountdown(interval - elapsed));
            if (!Pause(std::min(kStatusStepMs, interval - elapsed))) {
                m_status(u"");
                return;
            }
        }
        if (m_flags.m_bIdle) m_status(FormatCountdown(0));
        m_flags.m_bBusy = true;
        if (m_bRestart.exchange(false)) continue;
        if (m_flags.m_bIdle) {
            m_flags.m_bIdle = false;
            m_flags.m_bSessionRunning = true;
            m_session();
            m_flags.m_bSessionRunning = false;
            m_flags.m_bIdle = true;
        }
        m_flags.m_bBusy = false;
    }
    m_status(u"");
}

}  // namespace kvo
