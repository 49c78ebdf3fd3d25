#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/sys.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;
namespace fs = std::filesystem;

namespace {

template <typename Fn>
int InChild(Fn body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

mode_t ModeOf(const fs::path& p) {
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class FilesTest : public DeviceTest {};

TEST_F(FilesTest, PathsAreCaseInsensitiveAndKeepTheirCase) {
    ASSERT_TRUE(CreateDirectories(u"\\Windows\\Temp"));
    {
        File f = File::Create(u"\\windows\\temp\\Note.TXT");
        ASSERT_TRUE(f);
        ASSERT_TRUE(f.Write("abc"));
    }
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(u"/WINDOWS/TEMP/note.txt", bytes));
    EXPECT_EQ(bytes, "abc");
    EXPECT_TRUE(std::filesystem::exists(FileSystemRoot() / "Windows" / "Temp" / "Note.TXT"));
    auto found = FindFiles(u"\\Windows\\temp\\*.txt");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, u"Note.TXT");
    EXPECT_EQ(UnmapPath(MapPath(u"\\windows\\temp\\note.txt")), u"\\Windows\\Temp\\Note.TXT");
}

TEST_F(FilesTest, DotDotNeverLeavesTheDevice) {
    EXPECT_EQ(MapPath(u"\\..\\..\\etc\\passwd"), FileSystemRoot() / "etc" / "passwd");
}

TEST_F(FilesTest, OpenModesBehaveAsTheirNamesSay) {
    EXPECT_FALSE(File::Open(u"\\a", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(File::Create(u"\\missing\\a"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    {
        File f = File::Open(u"\\a", GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
        ASSERT_TRUE(f);
        f.Write("0123456789");
    }
    EXPECT_FALSE(File::Open(u"\\a", GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    {
        File f = File::OpenAppend(u"\\a");
        f.Write("X");
    }
    {
        File f = File::Open(u"\\a", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
        ASSERT_EQ(f.Seek(4, FILE_BEGIN), 4);
        f.SetEndOfFile();
        EXPECT_EQ(f.Size(), 4);
        char buf[8];
        EXPECT_EQ(f.Seek(-2, FILE_END), 2);
        EXPECT_FALSE(f.ReadExact(buf, 3));
        EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    }
    std::string bytes;
    ReadFileBytes(u"\\a", bytes);
    EXPECT_EQ(bytes, "0123");
    {
        File f = File::Open(u"\\a", GENERIC_WRITE, FILE_SHARE_READ, TRUNCATE_EXISTING);
        ASSERT_TRUE(f);
    }
    ReadFileBytes(u"\\a", bytes);
    EXPECT_EQ(bytes, "");
    EXPECT_TRUE(CopyFile(u"\\a", u"\\b", true));
    EXPECT_FALSE(CopyFile(u"\\a", u"\\b", true));
    EXPECT_TRUE(DeleteFile(u"\\b"));
    EXPECT_FALSE(FileExists(u"\\b"));
    EXPECT_TRUE(CreateDirectory(u"\\d"));
    EXPECT_FALSE(CreateDirectory(u"\\d"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(RemoveDirectory(u"\\D"));
}

TEST(Patterns, MatchLikeTheHandheld) {
    EXPECT_TRUE(MatchPattern(u"*.grp", u"Family.GRP"));
    EXPECT_FALSE(MatchPattern(u"*.grp", u"Family.grp.bak"));
    EXPECT_TRUE(MatchPattern(u"a?c*", u"abcdef"));
    EXPECT_TRUE(MatchPattern(u"*", u""));
    EXPECT_FALSE(MatchPattern(u"?", u""));
}

// Writes that fail with ENOSPC after a budget of bytes.
int g_budget = 0;
ssize_t FailingWrite(int fd, const void* buf, size_t n) {
    if (g_budget <= 0) {
        errno = ENOSPC;
        return -1;
    }
    size_t take = std::min<size_t>(n, static_cast<size_t>(g_budget));
    g_budget -= static_cast<int>(take);
    return RealSys().write(fd, buf, take);
}
int g_eintr = 0;
ssize_t InterruptedRead(int fd, void* buf, size_t n) {
    if (g_eintr-- > 0) {
        errno = EINTR;
        return -1;
    }
    return RealSys().read(fd, buf, n > 1 ? 1 : n);  // short reads too
}

TEST_F(FilesTest, AFullDiskFailsTheAtomicWriteAndKeepsTheOldFile) {
    ASSERT_TRUE(WriteFileAtomic(u"\\kvo.sms", "old content"));
    SysCalls calls = RealSys();
    calls.write = FailingWrite;
    g_budget = 5;
    {
        ScopedSysOverride o(calls);
        EXPECT_FALSE(WriteFileAtomic(u"\\kvo.sms", "new content that does not fit"));
        EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    }
    std::string bytes;
    ReadFileBytes(u"\\kvo.sms", bytes);
    EXPECT_EQ(bytes, "old content");
    EXPECT_EQ(FindFiles(u"\\*").size(), 1u);  // no temporary left
}

std::vector<bool> g_syncedFolders;
int RecordingFsync(int fd) {
    struct stat st;
    g_syncedFolders.push_back(fstat(fd, &st) == 0 && S_ISDIR(st.st_mode));
    return RealSys().fsync(fd);
}

TEST_F(FilesTest, AnAtomicWriteSyncsTheFileAndThenItsFolder) {
    SysCalls calls = RealSys();
    calls.fsync = RecordingFsync;
    g_syncedFolders.clear();
    {
        ScopedSysOverride o(calls);
        ASSERT_TRUE(WriteFileAtomic(u"\\kvo.ini", "x"));
    }
    EXPECT_EQ(g_syncedFolders, (std::vector<bool>{false, true}));
}

TEST_F(FilesTest, ReadsRetryInterruptsAndShortReads) {
    ASSERT_TRUE(WriteFileAtomic(u"\\f", "hello"));
    SysCalls calls = RealSys();
    calls.read = InterruptedRead;
    g_eintr = 3;
    ScopedSysOverride o(calls);
    File f = File::OpenRead(u"\\f");
    char buf[5];
    ASSERT_TRUE(f.ReadExact(buf, 5));
    EXPECT_EQ(std::string(buf, 5), "hello");
}

// ---- modes ----

// Everything the suite makes, with each way it makes files and folders.
int MakeOneOfEach() {
    bool ok = CreateDirectories(u"\\a\\b\\c") && CreateDirectory(u"\\d");
    { ok = ok && File::Create(u"\\a\\f").Write("x"); }
    { ok = ok && File::OpenAppend(u"\\a\\b\\g").Write("x"); }
    { ok = ok && File::Open(u"\\d\\n", GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW); }
    { ok = ok && File::Open(u"\\d\\o", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS); }
    ok = ok && WriteFileAtomic(u"\\h", "x") && CopyFile(u"\\h", u"\\d\\copy", true);
    ok = ok && RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1)) &&
         RegSetValue(HKEY_LOCAL_MACHINE, u"K", u"v", RegValue::Dword(1));
    return ok ? 0 : 1;
}

TEST_F(FilesTest, EverythingCreatedIsPrivateWhateverTheUmask) {
    for (mode_t mask : {mode_t(0), mode_t(022), mode_t(0277)}) {
        fs::remove_all(FileSystemRoot());
        fs::remove_all(RegistryDir());
        ASSERT_EQ(InChild([mask] {
                      umask(mask);
                      return MakeOneOfEach();
                  }),
                  0);
        int seen = 0;
        for (auto it = fs::recursive_directory_iterator(m_device.Root());
             it != fs::recursive_directory_iterator(); ++it) {
            ++seen;
            mode_t want = it->is_directory() ? 0700 : 0600;
            EXPECT_EQ(ModeOf(it->path()), want) << it->path() << " umask " << mask;
        }
        EXPECT_GE(seen, 14);
    }
}

TEST_F(FilesTest, AnAtomicReplaceKeepsAStricterModeAndNeverWidens) {
    ASSERT_TRUE(WriteFileAtomic(u"\\kvo.ini", "one"));
    fs::path host = MapPath(u"\\kvo.ini");
    fs::permissions(host, fs::perms(0400));
    ASSERT_TRUE(WriteFileAtomic(u"\\kvo.ini", "two"));
    EXPECT_EQ(ModeOf(host), 0400u);
    fs::permissions(host, fs::perms(0666));
    ASSERT_TRUE(WriteFileAtomic(u"\\kvo.ini", "three"));
    EXPECT_EQ(ModeOf(host), 0600u);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(u"\\kvo.ini", bytes));
    EXPECT_EQ(bytes, "three");
}

TEST_F(FilesTest, AtomicWritersEachUseTheirOwnTemporary) {
    // A stale temporary of this very process under the old shared name is left alone.
    kvo::test::WriteHostFile(FileSystemRoot() / ("f.part" + std::to_string(getpid())), "stale");
    ASSERT_TRUE(WriteFileAtomic(u"\\f", "mine"));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(u"\\f", bytes));
    EXPECT_EQ(bytes, "mine");
    constexpr int kWriters = 4, kRounds = 40;
    for (int w = 0; w < kWriters; ++w) {
        if (fork() == 0) {
            std::string mine(1000 + w, static_cast<char>('a' + w));
            for (int i = 0; i < kRounds; ++i)
                if (!WriteFileAtomic(u"\\shared", mine)) _exit(1);
            _exit(0);
        }
    }
    int failures = 0;
    for (int w = 0; w < kWriters; ++w) {
        int status;
        wait(&status);
        failures += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    EXPECT_EQ(failures, 0);
    ASSERT_TRUE(ReadFileBytes(u"\\shared", bytes));
    ASSERT_GE(bytes.size(), 1000u);
    EXPECT_EQ(bytes, std::string(bytes.size(), bytes[0]));  // one writer's, whole
}

// ---- the device's edge ----

class OutsideTest : public FilesTest {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "kvo-outside-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(tmpl.data()));
        m_outside = tmpl;
        kvo::test::WriteHostFile(m_outside / "victim.txt", "keep me");
        fs::create_directory(m_outside / "sub");
        fs::create_directory_symlink(m_outside, FileSystemRoot() / "link");
        fs::create_symlink(m_outside / "victim.txt", FileSystemRoot() / "filelink");
        fs::create_symlink(m_outside / "new.txt", FileSystemRoot() / "dangling");
        m_before = Snapshot();
    }
    void TearDown() override { fs::remove_all(m_outside); }

    std::map<std::string, std::string> Snapshot() {
        std::map<std::string, std::string> all;
        for (const auto& e : fs::recursive_directory_iterator(m_outside))
            all[e.path().string()] = e.is_regular_file() ? kvo::test::ReadHostFile(e.path()) : "/";
        return all;
    }
    fs::path m_outside;
    std::map<std::string, std::string> m_before;
};

TEST_F(OutsideTest, NoHandheldPathLeadsOutThroughALink) {
    fs::path trace = m_device.Root() / "trace.log";
    SetTraceFile(trace.string());
    auto refused = [](bool result) { return !result && GetLastError() == ERROR_ACCESS_DENIED; };
    EXPECT_TRUE(refused(File::Create(u"\\link\\new.txt").IsOpen()));
    EXPECT_TRUE(refused(File::Create(u"\\LINK\\victim.txt").IsOpen()));
    EXPECT_TRUE(refused(File::OpenRead(u"\\link\\victim.txt").IsOpen()));
    EXPECT_TRUE(refused(File::OpenAppend(u"\\filelink").IsOpen()));
    EXPECT_TRUE(refused(File::Create(u"\\dangling").IsOpen()));
    EXPECT_TRUE(refused(WriteFileAtomic(u"\\link\\victim.txt", "changed")));
    EXPECT_TRUE(refused(WriteFileAtomic(u"\\filelink", "changed")));
    EXPECT_TRUE(refused(DeleteFile(u"\\link\\victim.txt")));
    EXPECT_TRUE(refused(CopyFile(u"\\link\\victim.txt", u"\\stolen", false)));
    ASSERT_TRUE(WriteFileAtomic(u"\\mine", "x"));
    EXPECT_TRUE(refused(CopyFile(u"\\mine", u"\\link\\copy", false)));
    EXPECT_TRUE(refused(MoveFile(u"\\mine", u"\\link\\moved")));
    EXPECT_TRUE(refused(MoveFile(u"\\link\\victim.txt", u"\\taken")));
    EXPECT_TRUE(refused(CreateDirectory(u"\\link\\d")));
    EXPECT_TRUE(refused(CreateDirectories(u"\\link\\d\\e")));
    EXPECT_TRUE(refused(RemoveDirectory(u"\\link\\sub")));
    EXPECT_TRUE(FindFiles(u"\\link\\*").empty());
    EXPECT_FALSE(FileExists(u"\\link\\victim.txt"));
    EXPECT_FALSE(DirectoryExists(u"\\link\\sub"));
    // The links themselves are the device's: listed as plain entries, and removed as links.
    auto found = FindFiles(u"\\*");
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[2].name, u"link");
    EXPECT_FALSE(found[2].isDirectory);
    EXPECT_TRUE(DeleteFile(u"\\filelink"));
    EXPECT_TRUE(DeleteFile(u"\\link"));
    SetTraceFile("");
    EXPECT_EQ(Snapshot(), m_before);
    EXPECT_NE(kvo::test::ReadHostFile(trace).find("\\link\\new.txt leads outside the device"),
              std::string::npos);
}

TEST_F(OutsideTest, ALinkThatStaysInsideIsFollowed) {
    ASSERT_TRUE(CreateDirectories(u"\\Real\\Inner"));
    fs::create_directory_symlink(FileSystemRoot() / "Real", FileSystemRoot() / "alias");
    fs::create_directory_symlink("..", FileSystemRoot() / "Real" / "Inner" / "up");
    ASSERT_TRUE(WriteFileAtomic(u"\\alias\\inner\\up\\f.txt", "via links"));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(u"\\real\\f.txt", bytes));
    EXPECT_EQ(bytes, "via links");
    EXPECT_EQ(FindFiles(u"\\alias\\*.txt").size(), 1u);
    // ".." after a link climbs from where the link leads, as the system does, and a relative
    // link cannot climb out of the device either.
    fs::create_directory_symlink("../../..", FileSystemRoot() / "Real" / "Inner" / "esc");
    EXPECT_FALSE(File::Create(u"\\real\\inner\\esc\\x"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FilesTest, ANameWithAControlCharacterIsRefused) {
    EXPECT_FALSE(WriteFileAtomic(u"\\a\nb", "x"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    EXPECT_NE(GetLastErrorText().find("\\a\\x0Ab"), std::string::npos) << GetLastErrorText();
    EXPECT_FALSE(CreateDirectories(u"\\d\x01\\e"));
    EXPECT_TRUE(fs::is_empty(FileSystemRoot()));
}

// With no HOME the device must not land in a folder anyone can prepare, such as /tmp.
TEST(DeviceRootTest, WithoutHomeTheRootIsTheAccountsOwnOrNone) {
    int rc = InChild([] {
        SetDeviceRoot({});
        for (const char* v : {"KVO_DEVICE", "XDG_DATA_HOME", "HOME", "XDG_RUNTIME_DIR"}) unsetenv(v);
        fs::path root = DeviceRoot();
        if (root.empty() || root.string().rfind("/tmp", 0) == 0) return 1;
        if (geteuid() != 0) return 0;
        // An account with no home folder: only a private runtime folder will do.
        if (setgid(54321) != 0 || setuid(54321) != 0) return 2;
        if (!DeviceRoot().empty()) return 3;
        if (File::Create(u"\\x") || GetLastErrorText().find("no device folder") != 0) return 4;
        if (RegSetValue(HKEY_CURRENT_USER, u"K", u"v", RegValue::Dword(1))) return 5;
        if (GetLastErrorText().find("no device folder") != 0) return 6;
        setenv("XDG_RUNTIME_DIR", "/run/user/54321", 1);
        return DeviceRoot() == fs::path("/run/user/54321/kvonet/device") ? 0 : 7;
    });
    EXPECT_EQ(rc, 0);
}

}  // namespace
