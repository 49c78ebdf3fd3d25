#include "thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>

namespace ce {
namespace {

pid_t ThreadId() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// The nice value of a level; 7 is SCHED_IDLE instead.
int NiceOf(int priority) {
    return (priority - THREAD_PRIORITY_NORMAL) * 4;
}

// Whether the calling thread runs below `priority` (and so would hand that to a new thread).
bool RunsBelow(int priority) {
    int policy = sched_getscheduler(0);
    if (policy == SCHED_IDLE)
        return priority != THREAD_PRIORITY_IDLE;
    if (priority == THREAD_PRIORITY_IDLE)
        return false;
    errno = 0;
    int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId()));
    return errno == 0 && nice > std::max(NiceOf(priority), 0);
}

// Linux copies a thread's scheduling class and nice value to the threads it creates, and an
// unprivileged thread can never raise them again (RLIMIT_NICE is 0): a worker started from
// the idle synchronisation thread would stay idle. So a thread below normal has its threads
// created by this launcher, which runs at normal. Made by the first thread that starts one
// while at normal; a forked child makes its own.
class CLauncher {
public:
    explicit CLauncher(pid_t pid) : m_pid(pid) {}
    pid_t Pid() const { return m_pid; }

    void Run() {
        for (;;) {
            std::packaged_task<std::thread()> job;
            {
                std::unique_lock lock(m_mutex);
                m_cv.wait(lock, [this] { return !m_jobs.empty(); });
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            job();
        }
    }

    std::thread Start(std::function<void()> body) {
        std::packaged_task<std::thread()> job(
            [body = std::move(body)]() mutable { return std::thread(std::move(body)); });
        std::future<std::thread> started = job.get_future();
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
        }
        m_cv.notify_one();
        return started.get();
    }

private:
    const pid_t m_pid;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::packaged_task<std::thread()>> m_jobs;
};

// Never freed: its thread runs for the life of the process. One left behind by fork() is
// never touched again (its lock may have been held at the moment of the fork).
std::atomic<CLauncher*> g_launcher{nullptr};

CLauncher* Launcher(bool bMayCreate) {
    pid_t pid = getpid();
    CLauncher* current = g_launcher.load();
    if (current && current->Pid() == pid)
        return current;
    if (!bMayCreate)
        return nullptr;
    auto* fresh = new CLauncher(pid);
    if (!g_launcher.compare_exchange_strong(current, fresh)) {
        delete fresh;
        return current && current->Pid() == pid ? current : nullptr;
    }
    std::thread([fresh] { fresh->Run(); }).detach();
    return fresh;
}

}  // namespace

bool SetCurrentThreadPriority(int priority) {
    if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE)
        return false;
    // Every level sets both the class and the nice value, never leaving what the creating
    // thread had.
    sched_param p{};
    if (priority == THREAD_PRIORITY_IDLE)
        return pthread_setschedparam(pthread_self(), SCHED_IDLE, &p) == 0;
    bool ok = pthread_setschedparam(pthread_self(), SCHED_OTHER, &p) == 0;
    // Per-thread nice value on Linux: 0..2 ask for -12..-4 (privileged), 3 is 0, 4..6 are 4..12.
    id_t tid = static_cast<id_t>(ThreadId());
    int nice = NiceOf(priority);
    if (setpriority(PRIO_PROCESS, tid, nice) != 0) {
        // Above normal without the privilege: normal is the best there is.
        if (nice >= 0 || setpriority(PRIO_PROCESS, tid, 0) != 0)
            ok = false;
    }
    return ok;
}

std::thread StartThread(std::function<void()> body, int priority) {
    auto run = [body = std::move(body), priority] {
        SetCurrentThreadPriority(priority);
        body();
    };
    bool below = RunsBelow(priority);
    CLauncher* launcher = Launcher(!below && !RunsBelow(THREAD_PRIORITY_NORMAL));
    if (below && launcher)
        return launcher->Start(std::move(run));
    return std::thread(std::move(run));
}

}  // namespace ce
