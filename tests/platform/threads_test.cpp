#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using namespace ce;

namespace {

class SharedRegistry : public kvo::test::DeviceTest {};

TEST_F(SharedRegistry, ThreadsWritingAndReadingLoseNothing) {
    constexpr int kThreads = 4, kEach = 40;
    SetTraceFile((m_device.Root() / "trace.log").string());
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(StartThread(
            [t, &failures] {
                for (int i = 0; i < kEach; ++i) {
                    std::u16string name =
                        FromUtf8("t" + std::to_string(t) + "_" + std::to_string(i));
                    if (!RegSetValue(HKEY_CURRENT_USER, u"K", name, RegValue::Dword(i)))
                        ++failures;
                    if (RegGetDword(HKEY_CURRENT_USER, u"K", name, 999) != static_cast<uint32_t>(i))
                        ++failures;
                    Trace(std::string_view("written"));
                }
            },
            t % 2 ? THREAD_PRIORITY_IDLE : THREAD_PRIORITY_NORMAL));
    }
    for (auto& th : threads) th.join();
    SetTraceFile("");
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(RegEnumValues(HKEY_CURRENT_USER, u"K")->size(), size_t{kThreads * kEach});
}

struct Scheduling {
    int policy = -1;
    int nice = 99;
};

Scheduling Current() {
    Scheduling s;
    s.policy = sched_getscheduler(0);
    errno = 0;
    s.nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    return s;
}

TEST(ThreadPriority, ThreadsStartedFromAnIdleThreadTakeTheirOwnLevel) {
    // Leaving SCHED_IDLE needs CAP_SYS_NICE (or RLIMIT_NICE); without it there is nothing
    // to test.
    bool privileged = false;
    std::thread([&] {
        sched_param p{};
        privileged = pthread_setschedparam(pthread_self(), SCHED_IDLE, &p) == 0 &&
                     pthread_setschedparam(pthread_self(), SCHED_OTHER, &p) == 0;
    }).join();
    if (!privileged)
        GTEST_SKIP() << "no privilege to leave SCHED_IDLE";

    Scheduling normal, aboveIdle, idle, lowestFromNormal;
    StartThread(
        [&] {
            StartThread([&] { normal = Current(); }, THREAD_PRIORITY_NORMAL).join();
            StartThread([&] { aboveIdle = Current(); }, THREAD_PRIORITY_ABOVE_IDLE).join();
            StartThread([&] { idle = Current(); }, THREAD_PRIORITY_IDLE).join();
        },
        THREAD_PRIORITY_IDLE)
        .join();
    StartThread(
        [&] { StartThread([&] { lowestFromNormal = Current(); }, THREAD_PRIORITY_LOWEST).join(); },
        THREAD_PRIORITY_BELOW_NORMAL)
        .join();
    EXPECT_EQ(normal.policy, SCHED_OTHER);
    EXPECT_EQ(normal.nice, 0);
    EXPECT_EQ(aboveIdle.policy, SCHED_OTHER);
    EXPECT_EQ(aboveIdle.nice, 12);
    EXPECT_EQ(idle.policy, SCHED_IDLE);
    EXPECT_EQ(lowestFromNormal.policy, SCHED_OTHER);
    EXPECT_EQ(lowestFromNormal.nice, 8);
}

// Runs in a process of its own without privileges (see below); skipped anywhere else.
TEST(ThreadPriorityChild, ANormalThreadFromAnIdleOneIsStillNormal) {
    if (!std::getenv("KVO_UNPRIVILEGED_CHILD"))
        GTEST_SKIP() << "runs only as the child of the test below";
    bool stuck = false;
    std::thread([&] {
        sched_param p{};
        stuck = pthread_setschedparam(pthread_self(), SCHED_IDLE, &p) == 0 &&
                pthread_setschedparam(pthread_self(), SCHED_OTHER, &p) != 0;
    }).join();
    if (!stuck)
        _exit(11);  // RLIMIT_NICE lets anyone leave SCHED_IDLE: nothing to show
    Scheduling normal, aboveIdle;
    StartThread(
        [&] {
            StartThread([&] { normal = Current(); }, THREAD_PRIORITY_NORMAL).join();
            StartThread([&] { aboveIdle = Current(); }, THREAD_PRIORITY_ABOVE_IDLE).join();
        },
        THREAD_PRIORITY_IDLE)
        .join();
    EXPECT_EQ(normal.policy, SCHED_OTHER);
    EXPECT_EQ(normal.nice, 0);
    EXPECT_EQ(aboveIdle.policy, SCHED_OTHER);
    EXPECT_EQ(aboveIdle.nice, 12);
}

TEST(ThreadPriority, WithoutPrivilegeANormalThreadFromAnIdleOneIsStillNormal) {
    // A fresh process (this test binary again) without privileges: root gives them up by
    // changing its user. There no thread can leave SCHED_IDLE by itself.
    errno = 0;
    if (getpriority(PRIO_PROCESS, 0) != 0 && errno == 0)
        GTEST_SKIP() << "runs niced: without privileges no thread gets back to nice 0";
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 &&
            (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
            _exit(10);
        char* env[] = {const_cast<char*>("KVO_UNPRIVILEGED_CHILD=1"), nullptr};
        execle("/proc/self/exe", "platform_thread_tests",
               "--gtest_filter=ThreadPriorityChild.ANormalThreadFromAnIdleOneIsStillNormal",
               static_cast<char*>(nullptr), env);
        _exit(12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    // 127: the loader, as nobody, cannot reach the build's libraries (a private build folder).
    if ((WEXITSTATUS(status) >= 10 && WEXITSTATUS(status) <= 12) || WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "cannot run without privileges here (" << WEXITSTATUS(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
