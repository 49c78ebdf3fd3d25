#include "thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce {

bool SetCurrentThreadPriority(int priority) {
    if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE)
        return false;
    // Every level sets both the class and the nice value: a thread inherits them from the
    // thread that made it, so a normal worker started from the idle synchronisation thread
    // would otherwise run idle too.
    sched_param p{};
    if (priority == THREAD_PRIORITY_IDLE)
        return pthread_setschedparam(pthread_self(), SCHED_IDLE, &p) == 0;
    bool ok = pthread_setschedparam(pthread_self(), SCHED_OTHER, &p) == 0;
    // Per-thread nice value on Linux: 0..2 ask for -12..-4 (privileged), 3 is 0, 4..6 are 4..12.
    pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
    int nice = (priority - THREAD_PRIORITY_NORMAL) * 4;
    if (setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) != 0) {
        // Above normal without the privilege: normal is the best there is.
        if (nice >= 0 || setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 0) != 0)
            ok = false;
    }
    return ok;
}

std::thread StartThread(std::function<void()> body, int priority) {
    return std::thread([body = std::move(body), priority] {
        SetCurrentThreadPriority(priority);
        body();
    });
}

}  // namespace ce
