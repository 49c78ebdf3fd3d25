// The updater's programs end to end on a fresh device against a server of the test: the
// batch check and update, the faults that must leave the product as it was, the post-reset
// copy through a soft reset, and a self-update that resumes.
#include <signal.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shell_shortcut.h"
#include "platform/soft_reset.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tests/updater/test_http_server.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace {

using kvo::test::CTestHttpServer;

const std::string kTag = "WM2003_kvopro_Eng_300";
const std::string kList = "/auto_update/" + kTag + "/update.info";
const std::string kOwnList = "/auto_update/RE2003_dezezed_Uza_300/update.info";
const std::u16string kProduct = u"\\Program Files\\kvonet pro";

// Everything under a host folder: names and contents.
std::string Snapshot(const fs::path& root) {
    std::string s;
    std::vector<fs::path> paths;
    for (auto& e : fs::recursive_directory_iterator(root)) paths.push_back(e.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& p : paths) {
        s += p.lexically_relative(root).string() + "\n";
        if (fs::is_symlink(p))
            s += "-> " + fs::read_symlink(p).string() + "\n";
        else if (fs::is_regular_file(p))
            s += kvo::test::ReadHostFile(p) + "\n";
    }
    return s;
}

class UpdaterBatchTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        SetServer(m_server.Url());
        m_server.Set(kOwnList, "<ver>0.01\r\n");
        Product("a.exe", "old a");
        Product("b.exe", "old b");
        ASSERT_TRUE(ce::WriteFileAtomic(kProduct + u"\\version.info",
                                        "<VER>0.01\r\n<FILE>a.exe\t0100\r\n<FILE>b.exe\t0100\r\n"));
    }
    void SetServer(const std::string& url) {
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Apps\\Orvane Updater",
                                    u"Server", ce::RegValue::Sz(ce::FromUtf8(url))));
    }
    void Product(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(ce::WriteFileAtomic(kProduct + u"\\" + ce::FromUtf8(name), bytes));
    }
    std::string Read(std::u16string_view path) {
        std::string bytes;
        if (!ce::ReadFileBytes(path, bytes))
            return "<missing>";
        return bytes;
    }
    std::string ProductFile(const std::string& name) {
        return Read(kProduct + u"\\" + ce::FromUtf8(name));
    }
    void Offer(const std::string& name, const std::string& body) {
        m_server.Set("/auto_update/" + kTag + "/" + name, body);
    }
    kvo::test::ProgramResult Run(std::vector<std::string> flags) {
        fs::path exe = ce::MapPath(u"\\Program Files\\Orvane Updater\\updater.exe");
        flags.push_back("/app=" + kTag);
        flags.push_back("\"/path=\\Program Files\\kvonet pro\"");
        return kvo::test::RunProgram(exe.string(), flags);
    }
    fs::path ProductHost() { return ce::MapPath(kProduct); }

    CTestHttpServer m_server;
};

TEST_F(UpdaterBatchTest, NewerAndNewFilesAreInstalledOlderOnesNot) {
    m_server.Set(kList,
                 "<ver>0.01\r\n<group_bin>\r\n<label>Program Files\r\n"
                 "<bin>a.exe 0101\r\n<bin>b.exe 0099\r\n<bin>data\\c.dat 0001\r\n");
    Offer("a.exe", std::string(3000, 'A'));
    Offer("b.exe", "older b");
    Offer("c.dat", "new c");

    std::string before = Snapshot(ProductHost());
    kvo::test::ProgramResult check = Run({"--batch"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out,
              "Checking for new RE2003_dezezed_Uza_300 version.\n"
              "Checking for new " +
                  kTag +
                  " version.\n"
                  "Program Files\t2 kb\nTotal size: 2 kb\n");
    EXPECT_EQ(Snapshot(ProductHost()), before);  // a check alone changes nothing

    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Download: Program Files\nUpgrading files, please wait.\n"
                         "Application was successfully updated.\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(ProductFile("a.exe"), std::string(3000, 'A'));
    EXPECT_EQ(ProductFile("b.exe"), "old b");
    EXPECT_EQ(ProductFile("data\\c.dat"), "new c");
    EXPECT_EQ(ProductFile("version.info"),
              "<VER>0.01\r\n<FILE>a.exe\t0101\r\n<FILE>data\\c.dat\t0001\r\n"
              "<FILE>b.exe\t0100\r\n");
    EXPECT_TRUE(ce::FindFiles(u"\\windows\\temp\\*.*").empty());
    // The copy program is ready for a post-reset copy at every start.
    auto shortcut = ce::ReadShortcut(u"\\Windows\\StartUp\\Updater copy.lnk");
    ASSERT_TRUE(shortcut);
    EXPECT_EQ(shortcut->strTarget, u"\\Program Files\\Orvane Updater\\copy.exe");

    kvo::test::ProgramResult again = Run({"--batch", "--yes"});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("No available updates\n"), std::string::npos) << again.out;
}

TEST_F(UpdaterBatchTest, ARequirementBringsItsLibraryAlong) {
    Product("kvocomm.dll", "old lib");
    ASSERT_TRUE(
        ce::WriteFileAtomic(kProduct + u"\\version.info",
                            "<VER>0.01\r\n<FILE>kvocomm.dll\t0200\r\n<FILE>kvo.dat\t0001\r\n"));
    // The library's kind has no group of its own: it comes only through the requirement.
    m_server.Set(kList,
                 "<group_db>\r\n<label>Database\r\n<cfg>kvo.dat 0002 kvocomm.dll 0300\r\n"
                 "<group_bin>\r\n<bin>kvocomm.dll 0300\r\n");
    Offer("kvo.dat", "new db");
    Offer("kvocomm.dll", "new lib");
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(ProductFile("kvo.dat"), "new db");
    EXPECT_EQ(ProductFile("kvocomm.dll"), "new lib");
    EXPECT_NE(ProductFile("version.info").find("<FILE>kvocomm.dll\t0300"), std::string::npos);
}

// Each fault ends with its message and exit 1, and the product's folder as it was.
TEST_F(UpdaterBatchTest, FaultsLeaveTheProductAsItWas) {
    const std::string list =
        "<group_bin>\r\n<label>Programs\r\n<bin>a.exe 0101\r\n<bin>z.exe 0001\r\n";
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string message;
    };
    std::vector<Case> cases = {
        {"a web page instead of the list",
         [&] { m_server.Set(kList, "<html>\r\n<body>moved</body>\r\n"); },
         "Error, can not connect to Server."},
        {"no list at all (the server's 404 page)",
         [&] {
             m_server.Set(kList, {404, "gone"});
         },
         "Error, file on server not found."},
        {"a missing file",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
         },
         "Error, file on server not found."},
        {"a file moved elsewhere",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
             m_server.Set("/auto_update/" + kTag + "/z.exe", {301, "<html>moved</html>"});
         },
         "Error, file on server not found."},
        {"a file gone by the time it is fetched: its 404 page is no file",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
             m_server.Set("/auto_update/" + kTag + "/z.exe",
                          {404, "<html>gone</html>", -1, -1, 200});
         },
         "Error, file on server not found."},
        {"a body cut short",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
             m_server.Set("/auto_update/" + kTag + "/z.exe", {200, "zzzz", 9000, -1});
         },
         "Error, file on server not found."},
        {"a connection dropped mid-file",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
             m_server.Set("/auto_update/" + kTag + "/z.exe",
                          {200, std::string(50000, 'z'), -1, 20000});
         },
         "Error, file on server not found."},
        {"a file without a length",
         [&] {
             m_server.Set(kList, list);
             Offer("a.exe", "new a");
             m_server.Set("/auto_update/" + kTag + "/z.exe", {200, "z", -2, -1});
         },
         "Error, file on server not found."},
        {"a list that needs a newer updater", [&] { m_server.Set(kList, "<ver>0.02\r\n" + list); },
         "Error, you need a new version of the Updater. Please try again."},
    };
    std::string before = Snapshot(ProductHost());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        kvo::test::ProgramResult r = Run({"--batch", "--yes"});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.out.find(c.message + "\n"), std::string::npos) << r.out;
        EXPECT_FALSE(r.err.empty());
        EXPECT_EQ(Snapshot(ProductHost()), before);
        EXPECT_TRUE(ce::FindFiles(u"\\windows\\temp\\*~part").empty());
    }
}

TEST_F(UpdaterBatchTest, AServerThatIsDownIsAnErrorNotAnEmptyList) {
    CTestHttpServer* gone = new CTestHttpServer;
    std::string url = gone->Url();
    delete gone;
    SetServer(url);
    std::string before = Snapshot(ProductHost());
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error, can not connect to Server.\n"), std::string::npos) << r.out;
    SetServer("ftp://nowhere");
    r = Run({"--batch", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error, can not create request.\n"), std::string::npos) << r.out;
    EXPECT_EQ(Snapshot(ProductHost()), before);
}

TEST_F(UpdaterBatchTest, NamesThatLeaveTheProductAreRefused) {
    m_server.Set(kList,
                 "<group_bin>\r\n<label>Programs\r\n<bin>..\\..\\Windows\\evil.exe 0001\r\n"
                 "<bin>\\Windows\\StartUp\\evil.lnk 0001\r\n<bin>c:\\evil.exe 0001\r\n"
                 "<bin>sub/../../evil2.exe 0001\r\n");
    for (auto name : {"evil.exe", "evil.lnk", "evil2.exe", "c%3A%5Cevil.exe"}) Offer(name, "evil");
    std::string before = Snapshot(ce::MapPath(u"\\"));
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("No available updates\n"), std::string::npos) << r.out;
    EXPECT_EQ(m_server.Log().find("evil"), std::string::npos) << m_server.Log();
    EXPECT_FALSE(ce::FileExists(u"\\Windows\\evil.exe"));
    EXPECT_FALSE(ce::FileExists(u"\\Windows\\StartUp\\evil.lnk"));
}

TEST_F(UpdaterBatchTest, ARunningProgramOfTheProductBlocksTheUpdate) {
    // Process names are machine-wide: one of this test's own, so no other test meets it.
    const std::string program = "r" + std::to_string(getpid()) + ".exe";
    const std::u16string program16 = ce::FromUtf8(program);
    Product(program, "old r");
    ASSERT_TRUE(
        ce::WriteFileAtomic(kProduct + u"\\version.info",
                            "<VER>0.01\r\n<FILE>a.exe\t0100\r\n<FILE>" + program + "\t0100\r\n"));
    m_server.Set(kList, "<group_bin>\r\n<label>Programs\r\n<bin>a.exe 0101\r\n");
    Offer("a.exe", "new a");
    // A program named like the product's, started as the handheld starts programs.
    fs::create_symlink("/bin/sleep", ce::MapPath(u"\\Windows\\" + program16));
    pid_t pid = ce::CreateProcess(u"\\Windows\\" + program16, u"60");
    ASSERT_GT(pid, 0);
    while (!ce::IsProcessRunning(program16)) usleep(1000);
    std::string before = Snapshot(ProductHost());
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    kill(pid, SIGKILL);
    ce::WaitProcess(pid);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Application is still running\n"), std::string::npos) << r.out;
    EXPECT_EQ(Snapshot(ProductHost()), before);
    // Gone: the update goes through.
    EXPECT_EQ(Run({"--batch", "--yes"}).status, 0);
    EXPECT_EQ(ProductFile("a.exe"), "new a");
}

TEST_F(UpdaterBatchTest, PostResetCopyWaitsForTheSoftReset) {
    m_server.Set(kList,
                 "<postresetcopy>\r\n<group_bin>\r\n<label>Programs\r\n<bin>a.exe 0101\r\n"
                 "<bin>lib\\n.dll 0001\r\n");
    Offer("a.exe", "new a");
    Offer("n.dll", "new n");
    std::string before = Snapshot(ProductHost());
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Application was successfully updated.\nPlease perform a Soft-Reset "
                         "to activate the changes.\n"),
              std::string::npos);
    // Nothing in place yet, and the list claims nothing yet.
    EXPECT_EQ(Snapshot(ProductHost()), before);
    EXPECT_EQ(Read(u"\\windows\\temp\\postresetcopy.ini"),
              "\\windows\\temp\\a.exe\n\\Program Files\\kvonet pro\\a.exe\n"
              "\\windows\\temp\\n.dll\n\\Program Files\\kvonet pro\\lib\\n.dll\n"
              "\\windows\\temp\\version.info\n\\Program Files\\kvonet pro\\version.info\n");
    std::string log = Read(u"\\updater.log");
    EXPECT_NE(log.find(std::string("p\0o\0s\0t\0 \0r\0e\0s\0e\0t\0", 20)), std::string::npos);

    // Another start before the reset keeps the waiting files.
    m_server.Set(kList, "<postresetcopy>\r\n");
    EXPECT_EQ(Run({"--batch"}).status, 0);
    EXPECT_EQ(Read(u"\\windows\\temp\\a.exe"), "new a");

    ce::SoftResetResult reset = ce::SoftReset();
    ASSERT_EQ(reset.started.size(), 1u);
    EXPECT_EQ(ce::WaitProcess(reset.started[0].pid), 0);
    EXPECT_EQ(ProductFile("a.exe"), "new a");
    EXPECT_EQ(ProductFile("lib\\n.dll"), "new n");
    EXPECT_NE(ProductFile("version.info").find("<FILE>a.exe\t0101"), std::string::npos);
    EXPECT_FALSE(ce::FileExists(u"\\Windows\\StartUp\\Updater copy.lnk"));
    EXPECT_FALSE(ce::FileExists(u"\\windows\\temp\\postresetcopy.ini"));
}

TEST_F(UpdaterBatchTest, ANewerUpdaterReplacesItselfAndGoesOnWithTheProduct) {
    std::string updater = kvo::test::ReadHostFile(fs::path(KVO_BINARY_DIR) / "bin" / "updater");
    m_server.Set(kOwnList,
                 "<ver>0.01\r\n<group_bin>\r\n<label>Updater\r\n<bin>updater.exe 0301\r\n");
    m_server.Set("/auto_update/RE2003_dezezed_Uza_300/updater.exe", updater);
    m_server.Set(kList, "<group_bin>\r\n<label>Programs\r\n<bin>a.exe 0101\r\n");
    Offer("a.exe", "new a");
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Found new RE2003_dezezed_Uza_300 version. Preparing update to new "
                         "RE2003_dezezed_Uza_300 version.\n"),
              std::string::npos)
        << r.out;
    // The restarted updater resumed: it skipped its own check and updated the product.
    std::string own_check = "Checking for new RE2003_dezezed_Uza_300 version.\n";
    EXPECT_EQ(r.out.find(own_check), r.out.rfind(own_check)) << r.out;
    EXPECT_NE(r.out.find("Application was successfully updated.\n"), std::string::npos)
        << r.out << r.err;
    EXPECT_EQ(ProductFile("a.exe"), "new a");
    std::u16string own = u"\\Program Files\\Orvane Updater\\";
    EXPECT_NE(Read(own + u"version.info").find("<FILE>updater.exe\t0301"), std::string::npos);
    EXPECT_FALSE(fs::is_symlink(ce::MapPath(own + u"updater.exe")));
    EXPECT_EQ(Read(own + u"updater.exe"), updater);
    EXPECT_FALSE(ce::FileExists(own + u"self.tmp"));
}

TEST_F(UpdaterBatchTest, ASecondUpdaterLeavesTheFirstOnesDownloadsAlone) {
    m_server.Set(kList, "<ver>0.01\r\n<group_bin>\r\n<label>P\r\n<bin>a.exe 0101\r\n");
    Offer("a.exe", "new a");
    ce::File held = ce::File::Open(u"\\Program Files\\Orvane Updater\\updater.lock",
                                   ce::GENERIC_WRITE, ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
    ASSERT_TRUE(held);
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\windows\\temp\\a.exe", "the first one's download"));
    kvo::test::ProgramResult r = Run({"--batch", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("another updater is running"), std::string::npos) << r.err;
    EXPECT_EQ(Read(u"\\windows\\temp\\a.exe"), "the first one's download");
    EXPECT_EQ(ProductFile("a.exe"), "old a");
    held.Close();
    r = Run({"--batch", "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ProductFile("a.exe"), "new a");
}

TEST_F(UpdaterBatchTest, UsageErrorsSayWhy) {
    kvo::test::ProgramResult r =
        kvo::test::RunProgram(ce::MapPath(u"\\Program Files\\Orvane Updater\\updater.exe").string(),
                              {"--yes", "/app=x", "/path=y"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--batch"), std::string::npos);
    r = kvo::test::RunProgram(ce::MapPath(u"\\Program Files\\Orvane Updater\\updater.exe").string(),
                              {"--batch"});
    EXPECT_EQ(r.status, 2);
}

}  // namespace

namespace {

// The copy programs hold to the same bounds as the updater: a recorded list that points
// elsewhere copies nothing at all.
TEST_F(UpdaterBatchTest, TheCopyProgramsCopyOnlyIntoFoldersTheUpdaterKeeps) {
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\windows\\temp\\a.exe", "new a"));
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\windows\\temp\\evil", "evil"));
    ASSERT_TRUE(ce::SHCreateShortcut(u"\\Windows\\StartUp\\Updater copy.lnk",
                                     u"\"\\Program Files\\Orvane Updater\\copy.exe\""));
    const std::string list =
        "\\windows\\temp\\a.exe\n\\Program Files\\kvonet pro\\a.exe\n"
        "\\windows\\temp\\evil\n\\Windows\\StartUp\\evil.lnk\n";
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\windows\\temp\\postresetcopy.ini", list));
    fs::path updaterDir = ce::MapPath(u"\\Program Files\\Orvane Updater");
    kvo::test::ProgramResult r = kvo::test::RunProgram((updaterDir / "copy.exe").string(), {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("evil.lnk"), std::string::npos) << r.err;
    EXPECT_EQ(ProductFile("a.exe"), "old a");
    EXPECT_FALSE(ce::FileExists(u"\\Windows\\StartUp\\evil.lnk"));
    // Kept for another try after the next reset.
    EXPECT_TRUE(ce::FileExists(u"\\Windows\\StartUp\\Updater copy.lnk"));
    EXPECT_EQ(Read(u"\\windows\\temp\\postresetcopy.ini"), list);

    // SelfUpdate.exe replaces the updater's files only, and still restarts the updater.
    ASSERT_TRUE(
        ce::WriteFileAtomic(u"\\windows\\temp\\postresetcopy.ini",
                            "\\windows\\temp\\a.exe\n\\Program Files\\kvonet pro\\a.exe\n"));
    m_server.Set(kList, "<ver>0.01\r\n");
    ASSERT_TRUE(ce::WriteFileAtomic(u"\\Program Files\\Orvane Updater\\self.tmp",
                                    kTag + "\n\\Program Files\\kvonet pro\n"));
    r = kvo::test::RunProgram((updaterDir / "SelfUpdate.exe").string(), {"--batch"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ProductFile("a.exe"), "old a");
    EXPECT_NE(r.out.find("No available updates\n"), std::string::npos) << r.out << r.err;

    // A damaged list is no list.
    ASSERT_TRUE(
        ce::WriteFileAtomic(u"\\windows\\temp\\postresetcopy.ini", "\\windows\\temp\\a.exe\n"));
    r = kvo::test::RunProgram((updaterDir / "copy.exe").string(), {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_EQ(ProductFile("a.exe"), "old a");
}

}  // namespace
