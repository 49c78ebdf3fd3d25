#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;

namespace {

class LocksTest : public DeviceTest {};

File TakeLock() { return File::Open(u"\\kvo.lock", GENERIC_WRITE, FILE_SHARE_NONE, CREATE_ALWAYS); }

// Runs `body` in a child process; its exit code.
template <typename Fn>
int InChild(Fn body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LocksTest, ASecondLockFailsInTheSameAndInAnotherProcess) {
    File held = TakeLock();
    ASSERT_TRUE(held);
    EXPECT_FALSE(TakeLock());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(File::OpenRead(u"\\kvo.lock"));
    EXPECT_EQ(InChild([] { return TakeLock() ? 0 : 1; }), 1);
    held.Close();
    EXPECT_TRUE(FileExists(u"\\kvo.lock"));  // the file stays
    EXPECT_EQ(InChild([] { return TakeLock() ? 0 : 1; }), 0);
}

TEST_F(LocksTest, OpenWaitWaitsOutAShortHoldAndGivesUpOnALongOne) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        File held = TakeLock();
        char c = held ? 'y' : 'n';
        (void)!write(fds[1], &c, 1);
        usleep(200 * 1000);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    File quick = File::OpenWait(u"\\kvo.lock", GENERIC_WRITE, FILE_SHARE_NONE, OPEN_ALWAYS, 20);
    EXPECT_FALSE(quick);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    File patient = File::OpenWait(u"\\kvo.lock", GENERIC_WRITE, FILE_SHARE_NONE, OPEN_ALWAYS, 5000);
    EXPECT_TRUE(patient);
    int status;
    waitpid(pid, &status, 0);
    // Only a sharing violation is waited for.
    EXPECT_FALSE(File::OpenWait(u"\\missing\\x", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 5000));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(LocksTest, ALockIsReleasedWhenItsProcessDies) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = fork();
    if (pid == 0) {
        File held = TakeLock();
        char c = held ? 'y' : 'n';
        (void)!write(fds[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_FALSE(TakeLock());
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(TakeLock());
    close(fds[0]);
    close(fds[1]);
}

TEST_F(LocksTest, AStartedProgramIsSeenByItsHandheldName) {
    ASSERT_TRUE(CreateDirectories(u"\\Program Files\\kvonet pro"));
    std::filesystem::create_symlink("/bin/sleep", MapPath(u"\\Program Files\\kvonet pro\\linkwatch.exe"));
    EXPECT_FALSE(IsProcessRunning(u"linkwatch.exe"));
    pid_t pid = CreateProcess(u"\\program files\\KVONET PRO\\linkwatch.exe", u"5");
    ASSERT_GT(pid, 0);
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        seen = IsProcessRunning(u"LinkWatch.exe");
        if (!seen) usleep(10000);
    }
    EXPECT_TRUE(seen);
    kill(pid, SIGKILL);
    WaitProcess(pid);
    EXPECT_FALSE(IsProcessRunning(u"linkwatch.exe"));
    EXPECT_EQ(CreateProcess(u"\\nothing.exe", u""), -1);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(LocksTest, ProfileValuesLiveInTheUserHive) {
    SetAppName(u"telmio");
    EXPECT_EQ(GetProfileString(u"data", u"userport", u"none"), u"none");
    ASSERT_TRUE(WriteProfileString(u"data", u"userport", u"COM3:"));
    ASSERT_TRUE(WriteProfileInt(u"data", u"autoupdate", 1));
    EXPECT_EQ(GetProfileString(u"data", u"USERPORT"), u"COM3:");
    EXPECT_EQ(GetProfileInt(u"data", u"autoupdate", 0), 1u);
    EXPECT_NE(kvo::test::ReadHostFile(RegistryDir() / "user.reg")
                  .find("[HKEY_CURRENT_USER\\Software\\Orvane\\telmio\\data]"),
              std::string::npos);
}

TEST_F(LocksTest, TraceGoesToTheNamedFileOnly) {
    auto path = m_device.Root() / "trace.log";
    SetTraceFile(path.string());
    Trace(std::string_view("AT\r\n"));
    Trace(std::u16string_view(u"OK"));
    SetTraceFile("");
    std::string text = kvo::test::ReadHostFile(path);
    EXPECT_NE(text.find("AT\\r\\n\n"), std::string::npos);
    EXPECT_NE(text.find("OK\n"), std::string::npos);
}

TEST(Threads, IdlePriorityRunsTheBody) {
    std::atomic<bool> ran{false};
    std::thread t = StartThread([&] { ran = true; }, THREAD_PRIORITY_IDLE);
    t.join();
    EXPECT_TRUE(ran);
}

}  // namespace
