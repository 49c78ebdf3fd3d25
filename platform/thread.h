// Threads with the handheld's priorities: 0 (highest) .. 7 (idle).
#pragma once
#include <functional>
#include <thread>

namespace ce {

enum : int {
    THREAD_PRIORITY_TIME_CRITICAL = 0,
    THREAD_PRIORITY_HIGHEST = 1,
    THREAD_PRIORITY_ABOVE_NORMAL = 2,
    THREAD_PRIORITY_NORMAL = 3,
    THREAD_PRIORITY_BELOW_NORMAL = 4,
    THREAD_PRIORITY_LOWEST = 5,
    THREAD_PRIORITY_ABOVE_IDLE = 6,
    THREAD_PRIORITY_IDLE = 7,
};

// Starts `body` on a new thread with that priority, whatever the starting thread runs at.
// Priorities above normal need privileges on Linux and are kept at normal when refused; 4..6
// raise the thread's nice value; 7 runs the thread under SCHED_IDLE. A thread below normal
// has its threads made by a launcher thread at normal (made by the first call from a thread
// at normal), since an unprivileged thread can never raise its own or its children's level.
std::thread StartThread(std::function<void()> body, int priority = THREAD_PRIORITY_NORMAL);

// Applies a priority to the calling thread; false when the system refused it.
bool SetCurrentThreadPriority(int priority);

}  // namespace ce
