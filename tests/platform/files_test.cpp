#include <cerrno>

#include <gtest/gtest.h>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/sys.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;

namespace {

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

}  // namespace
