// kvodat's own files: an output is replaced whole or not at all, and inputs that are not
// data files (a folder, an endless device) fail with a message.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

#include "tests/support/temp_device.h"
#include "tools/kvodat/kvodat_tool.h"

namespace fs = std::filesystem;

namespace {

const fs::path kKvodat = fs::path(KVO_BINARY_DIR) / "bin" / "kvodat";
const std::string kSource = "*P\r\n*I\r\n*M\r\n*";

struct CRun {
    int status = -1;
    std::string out;
};

// The real program, so that an abort shows as what the shell sees.
CRun Program(const std::string& args) {
    CRun r;
    std::string cmd = kKvodat.string() + " " + args + " 2>&1";
    FILE* f = popen(cmd.c_str(), "r");
    if (!f) return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) r.out.append(buf, n);
    int st = pclose(f);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    return r;
}

int Tool(std::vector<std::string> args, std::string* err = nullptr) {
    std::ostringstream o, e;
    int rc = kvo::kvodat::Main(args, o, e);
    if (err) *err = e.str();
    return rc;
}

std::vector<std::string> Leftovers(const fs::path& dir, const std::string& keep) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != keep) out.push_back(e.path().filename().string());
    return out;
}

class KvodatFiles : public kvo::test::DeviceTest {
protected:
    void TearDown() override { kvo::kvodat::SetWriteCallForTest({}); }
    fs::path File(const char* name) { return m_device.Root() / name; }
};

TEST_F(KvodatFiles, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
    fs::path dir = File("out");
    fs::create_directories(dir);
    kvo::test::WriteHostFile(File("src.txt"), kSource);
    ASSERT_EQ(Tool({"pack", File("src.txt"), dir / "kvo.dat"}), 0);
    std::string old = kvo::test::ReadHostFile(dir / "kvo.dat");
    fs::permissions(dir / "kvo.dat", fs::perms::owner_read | fs::perms::owner_write);

    // The disk fills after a few bytes.
    size_t written = 0;
    kvo::kvodat::SetWriteCallForTest([&](int fd, const void* data, size_t size) -> ssize_t {
        if (written >= 5) {
            errno = ENOSPC;
            return -1;
        }
        size_t n = std::min<size_t>(size, 5 - written);
        written += n;
        return ::write(fd, data, n);
    });
    kvo::test::WriteHostFile(File("other.txt"), "*P\r\n*I\r\n*Modems\r\n*");
    for (const char* command : {"pack", "unpack"}) {
        std::string err;
        written = 0;
        EXPECT_EQ(Tool({command, File("other.txt"), dir / "kvo.dat"}, &err), 1) << command;
        EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
        EXPECT_NE(err.find("No space left"), std::string::npos) << err;
        EXPECT_EQ(kvo::test::ReadHostFile(dir / "kvo.dat"), old) << command;
        EXPECT_EQ(Leftovers(dir, "kvo.dat"), std::vector<std::string>{}) << command;
    }
    kvo::kvodat::SetWriteCallForTest({});
    // A replace that works keeps the owner's restricted mode.
    ASSERT_EQ(Tool({"pack", File("other.txt"), dir / "kvo.dat"}), 0);
    EXPECT_NE(kvo::test::ReadHostFile(dir / "kvo.dat"), old);
    EXPECT_EQ(fs::status(dir / "kvo.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Leftovers(dir, "kvo.dat"), std::vector<std::string>{});
    // No folder to write into: a message, nothing else.
    std::string err;
    EXPECT_EQ(Tool({"pack", File("other.txt"), File("missing/kvo.dat")}, &err), 1);
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
}

TEST_F(KvodatFiles, PackOnAFullDiskKeepsTheOldFile) {
    fs::path mnt = File("small-disk");
    fs::create_directories(mnt);
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount2(p.c_str(), MNT_DETACH); }
    } unmount{mnt};
    kvo::test::WriteHostFile(File("src.txt"), kSource);
    ASSERT_EQ(Program("pack " + File("src.txt").string() + " " + (mnt / "kvo.dat").string()).status,
              0);
    std::string old = kvo::test::ReadHostFile(mnt / "kvo.dat");
    // A source larger than the disk; --force because it is not a database.
    kvo::test::WriteHostFile(File("big.txt"), std::string(256 * 1024, '*'));
    CRun r = Program("pack --force " + File("big.txt").string() + " " + (mnt / "kvo.dat").string());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("cannot write"), std::string::npos) << r.out;
    EXPECT_EQ(kvo::test::ReadHostFile(mnt / "kvo.dat"), old);
    EXPECT_EQ(Leftovers(mnt, "kvo.dat"), std::vector<std::string>{});
}

TEST_F(KvodatFiles, InputsThatAreNoDataFileFailWithAMessage) {
    fs::create_directories(File("folder"));
    for (const std::string& args :
         {"check " + File("folder").string(), "dump " + File("folder").string(),
          "pack " + File("folder").string() + " " + File("x.dat").string(),
          "import-providers " + File("folder").string()}) {
        CRun r = Program(args);
        EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
        EXPECT_NE(r.out.find("is a folder"), std::string::npos) << r.out;
    }
    // An endless device: read up to the limit, then refused.
    CRun r = Program("check /dev/zero");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("larger than"), std::string::npos) << r.out;
    r = Program("import-providers /dev/zero");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_FALSE(fs::exists(File("x.dat")));
}

}  // namespace
