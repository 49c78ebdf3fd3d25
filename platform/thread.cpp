#include "thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce {

bool SetCurrentThreadPriority(int priority) {
    if (priority == THREAD_PRIORITY_IDLE) {
        sched_param p{};
        return pthread_setschedparam(pthread_self(), SCHED_IDLE, &p) == 0;
    }
    if (priority > THREAD_PRIORITY_NORMAL) {
        // Per-thread nice value on Linux.
        pid_t tid = static_cast<pid_t>(syscall(SYS_gettid));
        return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), (priority - 3) * 4) == 0;
    }
    return priority >= 0;
}

std::thread StartThread(std::function<void()> body, int priority) {
    return std::thread([body = std::move(body), priority] {
        SetCurrentThreadPriority(priority);
        body();
    });
}

}  // namespace ce
