#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;
namespace fs = std::filesystem;

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
    std::u16string text;
    uint32_t number = 0;
    ASSERT_TRUE(QueryProfileString(u"data", u"missing", text, u"def"));
    EXPECT_EQ(text, u"def");
    ASSERT_TRUE(QueryProfileInt(u"data", u"autoupdate", number, 7));
    EXPECT_EQ(number, 1u);
    // A hive that cannot be read is an error, never the default.
    kvo::test::WriteHostFile(RegistryDir() / "user.reg", "garbage\n");
    EXPECT_EQ(GetProfileString(u"data", u"userport", u"def"), u"def");
    EXPECT_FALSE(QueryProfileString(u"data", u"userport", text, u"def"));
    EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
    EXPECT_FALSE(QueryProfileInt(u"data", u"autoupdate", number, 7));
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

// A cleaner removing "stale" lock files while four programs write: every value a writer was
// told is saved is there at the end.
TEST_F(LocksTest, RemovingRegistryLockFilesInALoopLosesNoAcknowledgedValue) {
    constexpr int kWriters = 4, kValues = 60;
    fs::path registry = RegistryDir();
    ASSERT_TRUE(RegCreateKey(HKEY_CURRENT_USER, u"K"));
    pid_t cleaner = fork();
    if (cleaner == 0) {
        for (;;) {
            std::error_code ec;
            for (fs::directory_iterator it(registry, ec), end; !ec && it != end; it.increment(ec)) {
                std::string name = it->path().filename().string();
                if (name != "user.reg" && name != "system.reg" && name.find(".tmp") == std::string::npos)
                    fs::remove(it->path(), ec);
            }
            // A lock file that is not the one writers hold: it must not let anyone in.
            fs::remove(registry / "user.reg.lock", ec);
            usleep(200);
        }
    }
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            int lost = 0;
            for (int i = 0; i < kValues; ++i) {
                std::u16string name = u"w" + std::u16string(1, u'0' + w) + u"_" +
                                      FromUtf8(std::to_string(i));
                // Only what was acknowledged counts; count refusals to see they are rare.
                if (!RegSetValue(HKEY_CURRENT_USER, u"K", name, RegValue::Dword(i))) ++lost;
                else if (RegGetDword(HKEY_CURRENT_USER, u"K", name, 9999) != static_cast<uint32_t>(i))
                    _exit(100);
            }
            _exit(lost);
        }
        writers.push_back(pid);
    }
    int refused = 0;
    for (pid_t pid : writers) {
        int status;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 100);
        refused += WEXITSTATUS(status);
    }
    kill(cleaner, SIGKILL);
    waitpid(cleaner, nullptr, 0);
    EXPECT_EQ(refused, 0);
    auto values = RegEnumValues(HKEY_CURRENT_USER, u"K");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), static_cast<size_t>(kWriters * kValues));
}

// The registry folder replaced (a restore from a backup) while a writer waits for its lock:
// that writer must lock the folder now at the path, or it would write alongside a writer
// that holds the new one, and one of the two values would be lost.
TEST_F(LocksTest, AWriterLocksTheRegistryFolderThatIsThereNow) {
    ASSERT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"old", RegValue::Dword(1)));
    fs::path registry = RegistryDir();
    int waiting[2], go[2], in[2];
    ASSERT_EQ(pipe(waiting), 0);
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(in), 0);
    auto signal = [](int fd) {
        char c = 'y';
        (void)!write(fd, &c, 1);
    };
    auto await = [](int fd) {
        char c = 0;
        return read(fd, &c, 1) == 1;
    };
    pid_t second = fork();
    if (second == 0) {
        // Writes slowly into the new folder once it is there.
        await(go[0]);
        _exit(RegTransact(HKEY_CURRENT_USER,
                          [&](RegKey& root) {
                              root.Find(u"K", true)->values[u"SECOND"] = {u"second",
                                                                          RegValue::Dword(3)};
                              signal(in[1]);
                              usleep(150 * 1000);
                              return true;
                          })
                  ? 0
                  : 1);
    }
    pid_t first = fork();
    if (first == 0) {
        // Holds the old folder until the writer below waits for it, swaps the folder, and
        // lets go once the second writer holds the new one.
        RegTransact(HKEY_CURRENT_USER, [&](RegKey&) {
            signal(waiting[1]);
            usleep(150 * 1000);
            fs::rename(registry, registry.string() + ".old");
            fs::create_directory(registry);
            fs::copy_file(registry.string() + ".old/user.reg", registry / "user.reg");
            signal(go[1]);
            await(in[0]);
            return false;
        });
        _exit(0);
    }
    ASSERT_TRUE(await(waiting[0]));
    EXPECT_TRUE(RegSetValue(HKEY_CURRENT_USER, u"K", u"new", RegValue::Dword(2)));
    int status;
    waitpid(first, &status, 0);
    waitpid(second, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"old"), 1u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"new"), 2u);
    EXPECT_EQ(RegGetDword(HKEY_CURRENT_USER, u"K", u"second"), 3u);
    for (int fd : {waiting[0], waiting[1], go[0], go[1], in[0], in[1]}) close(fd);
}

TEST(Threads, IdlePriorityRunsTheBody) {
    std::atomic<bool> ran{false};
    std::thread t = StartThread([&] { ran = true; }, THREAD_PRIORITY_IDLE);
    t.join();
    EXPECT_TRUE(ran);
}

}  // namespace
