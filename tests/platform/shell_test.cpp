#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/currency.h"
#include "platform/desktop_notification.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/shell_notification.h"
#include "platform/shell_shortcut.h"
#include "platform/soft_reset.h"
#include "platform/text.h"
#include "tests/support/fake_clock.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"

using namespace ce;
using kvo::test::DeviceTest;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const fs::path& p) {
    std::vector<std::string> out;
    std::istringstream in(kvo::test::ReadHostFile(p));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class NotificationTest : public DeviceTest {
protected:
    NotificationTest() { setenv("KVO_DESKTOP_NOTIFICATIONS", "0", 1); }
    ~NotificationTest() override { unsetenv("KVO_DESKTOP_NOTIFICATIONS"); }
    fs::path Log() const { return m_device.Root() / "notifications.log"; }

    // Waits (up to 20 s, never on luck) until the log has `n` lines.
    std::vector<std::string> WaitForLines(size_t n) {
        for (int i = 0; i < 2000 && Lines(Log()).size() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Lines(Log());
    }

    static SHNOTIFICATIONDATA Note(uint32_t id, std::u16string title, std::u16string html,
                                   uint32_t seconds = 0) {
        SHNOTIFICATIONDATA n;
        n.dwID = id;
        n.csDuration = seconds;
        n.clsid = *GuidFromString(u"{CA127AF7-3CDE-4C15-A7CD-23F624ABA6B8}");
        n.strTitle = std::move(title);
        n.strHTML = std::move(html);
        return n;
    }
};

TEST_F(NotificationTest, EachAddAndRemoveIsOneLineAndASecondAddReplacesTheFirst) {
    kvo::test::FakeClock clock;  // 2026-12-08 00:00:01
    ASSERT_EQ(SHNotificationAdd(Note(12100, u"kvonet pro", u"<b>Dial</b>\r\n+49\t1\\2")), 0u);
    ASSERT_EQ(SHNotificationAdd(Note(12100, u"kvonet pro", u"Connected")), 0u);
    ASSERT_EQ(SHNotificationAdd(Note(4731, u"Limit", u"Daily limit reached")), 0u);
    ASSERT_EQ(SHNotificationRemove(nullptr, 12100), 0u);
    // The replaced one is gone with it: nothing is left to remove.
    EXPECT_EQ(SHNotificationRemove(nullptr, 12100), ERROR_FILE_NOT_FOUND);
    GUID other = *GuidFromString(u"{00000000-0000-0000-0000-000000000001}");
    EXPECT_EQ(SHNotificationRemove(&other, 4731), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHNotificationRemove(nullptr, 4731), 0u);
    EXPECT_EQ(Lines(Log()),
              (std::vector<std::string>{
                  "2026-12-08 00:00:01\tADD\t12100\tkvonet pro\t<b>Dial</b>\\r\\n+49\\t1\\\\2",
                  "2026-12-08 00:00:01\tADD\t12100\tkvonet pro\tConnected",
                  "2026-12-08 00:00:01\tADD\t4731\tLimit\tDaily limit reached",
                  "2026-12-08 00:00:01\tREMOVE\t12100\t\t",
                  "2026-12-08 00:00:01\tREMOVE\t4731\t\t",
              }));
    struct stat st;
    ASSERT_EQ(stat(Log().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(NotificationTest, ADurationThatRunsOutIsARemovalButNotForAReplacedOne) {
    ASSERT_EQ(SHNotificationAdd(Note(1, u"one", u"ends", 1)), 0u);
    ASSERT_EQ(SHNotificationAdd(Note(2, u"two", u"ends too", 1)), 0u);
    ASSERT_EQ(SHNotificationAdd(Note(2, u"two", u"stays now")), 0u);  // replaced, no end
    std::vector<std::string> lines = WaitForLines(4);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[3].find("\tREMOVE\t1\t\t"), std::string::npos) << lines[3];
    // Removing it by hand now finds nothing; the replaced one is still shown.
    EXPECT_EQ(SHNotificationRemove(nullptr, 1), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHNotificationRemove(nullptr, 2), 0u);
    EXPECT_EQ(Lines(Log()).size(), 5u);
}

TEST_F(NotificationTest, ADurationOutlivingItsProgramIsRemovedByTheNextOne) {
    // A program that shows a notification for a second and ends at once.
    kvo::test::ProgramResult r =
        kvo::test::RunProgram(kvo::test::BuiltProgram("shell_test_helper"), {"add", "77", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(SHNotificationAdd(Note(78, u"next", u"")), 0u);
    std::vector<std::string> lines = Lines(Log());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[1].find("\tREMOVE\t77\t"), std::string::npos);
    EXPECT_NE(lines[2].find("\tADD\t78\tnext\t"), std::string::npos);
}

TEST_F(NotificationTest, ProgramsWritingAtOnceWriteWholeLines) {
    const std::string helper = kvo::test::BuiltProgram("shell_test_helper");
    constexpr int kPrograms = 4, kEach = 40;
    std::vector<pid_t> pids;
    for (int p = 0; p < kPrograms; ++p)
        pids.push_back(kvo::test::StartProgram(
            helper, {"notify", std::to_string(1000 * (p + 1)), std::to_string(kEach)}, -1, -1));
    for (pid_t pid : pids) EXPECT_EQ(kvo::test::WaitProgram(pid), 0);
    std::vector<std::string> lines = Lines(Log());
    ASSERT_EQ(lines.size(), size_t(2 * kPrograms * kEach));
    const std::regex add(
        R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tADD\t(\d+)\ttitle \1\t<b>first line</b>\\nsecond line, a little longer so lines are not tiny)");
    const std::regex remove(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tREMOVE\t(\d+)\t\t)");
    std::map<std::string, int> seen;
    for (const std::string& l : lines) {
        std::smatch m;
        bool whole = std::regex_match(l, m, add) || std::regex_match(l, m, remove);
        ASSERT_TRUE(whole) << l;
        ++seen[m[1]];
    }
    EXPECT_EQ(seen.size(), size_t(kPrograms * kEach));
    for (const auto& [id, n] : seen) EXPECT_EQ(n, 2) << id;
}

TEST_F(NotificationTest, WithoutAReachableBusTheLogIsStillWrittenAndNothingHangs) {
    unsetenv("KVO_DESKTOP_NOTIFICATIONS");
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kvo-test-bus", 1);
    EXPECT_TRUE(DesktopNotificationsAvailable());
    kvo::test::ProgramResult r = kvo::test::RunProgram(kvo::test::BuiltProgram("shell_test_helper"),
                                                       {"notify", "5", "3"}, -1, 30000);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(Log()).size(), 6u);
}

TEST(DesktopText, HtmlBodiesBecomePlainText) {
    EXPECT_EQ(HtmlToText("<table><tr><td><font color=\"midnightblue\">Dial +49 &amp; "
                         "wait</font></td></tr></table>"),
              "Dial +49 & wait");
    EXPECT_EQ(HtmlToText("a<br>b<BR/>c &lt;d&gt; &unknown;"), "a\nb\nc <d> &unknown;");
    EXPECT_EQ(HtmlToText("cut <b"), "cut ");
}

class ShortcutTest : public DeviceTest {};

TEST_F(ShortcutTest, ShortcutsReadBackAndMalformedOnesAreRefused) {
    std::u16string startup;
    ASSERT_TRUE(SHGetSpecialFolderPath(CSIDL_STARTUP, startup, true));
    EXPECT_EQ(startup, u"\\Windows\\StartUp");
    EXPECT_TRUE(fs::is_directory(m_device.Root() / "fs" / "Windows" / "StartUp"));
    EXPECT_FALSE(SHGetSpecialFolderPath(5, startup));

    const std::u16string target = u"\"\\Program Files\\kvonet pro\\linkwatch.exe\"";
    ASSERT_TRUE(SHCreateShortcut(u"\\Windows\\StartUp\\linkwatcd.lnk", target));
    EXPECT_EQ(kvo::test::ReadHostFile(m_device.Root() / "fs/Windows/StartUp/linkwatcd.lnk"),
              "41#\"\\Program Files\\kvonet pro\\linkwatch.exe\"\r\n");
    auto s = ReadShortcut(u"\\windows\\startup\\LINKWATCD.LNK");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->strTarget, u"\\Program Files\\kvonet pro\\linkwatch.exe");
    EXPECT_EQ(s->strArguments, u"");

    auto withArgs = ParseShortcut(FormatShortcut(u"\"\\Windows\\copy.exe\"  /quiet  x "));
    ASSERT_TRUE(withArgs);
    EXPECT_EQ(withArgs->strTarget, u"\\Windows\\copy.exe");
    EXPECT_EQ(withArgs->strArguments, u"/quiet  x");
    auto plain = ParseShortcut("17#\\Windows\\calc.exe");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->strTarget, u"\\Windows\\calc.exe");
    auto wide = ParseShortcut(FormatShortcut(u"\\Windows\\caf\u00E9.exe"));
    ASSERT_TRUE(wide);  // counted in characters, not bytes
    EXPECT_EQ(wide->strTarget, u"\\Windows\\caf\u00E9.exe");

    for (const char* bad : {"18#\\Windows\\calc.exe", "#\\x", "1234#x", "x#\\y", "2#\"\\y",
                            "3#\"a\"b", "0#", "4#\"\"  ", "3#a\nb", "17\\Windows\\calc.exe"})
        EXPECT_FALSE(ParseShortcut(bad)) << bad;
    EXPECT_FALSE(SHCreateShortcut(u"\\Windows\\StartUp\\bad.lnk", u"\"unclosed"));
    EXPECT_FALSE(FileExists(u"\\Windows\\StartUp\\bad.lnk"));
}

TEST_F(ShortcutTest, ASoftResetStartsTheStartUpShortcuts) {
    fs::create_directories(m_device.Root() / "fs" / "Windows" / "StartUp");
    fs::create_symlink(kvo::test::BuiltProgram("shell_test_helper"),
                       m_device.Root() / "fs" / "Windows" / "toucher.exe");
    const fs::path touched = m_device.Root() / "touched by toucher";
    ASSERT_TRUE(
        SHCreateShortcut(u"\\Windows\\StartUp\\a.lnk",
                         u"\"\\Windows\\toucher.exe\" touch=" + FromUtf8(touched.string())));
    ASSERT_TRUE(SHCreateShortcut(u"\\Windows\\StartUp\\b.lnk", u"\"\\Windows\\missing.exe\""));
    kvo::test::WriteHostFile(m_device.Root() / "fs/Windows/StartUp/c.lnk", "99#nonsense");
    kvo::test::WriteHostFile(m_device.Root() / "fs/Windows/StartUp/notes.txt", "4#\\x.y");

    SoftResetResult r = SoftReset();
    ASSERT_EQ(r.started.size(), 1u);
    EXPECT_EQ(r.started[0].strShortcut, "a.lnk");
    EXPECT_EQ(WaitProcess(r.started[0].pid), 0);
    EXPECT_TRUE(fs::exists(touched));
    ASSERT_EQ(r.errors.size(), 2u);
    EXPECT_EQ(r.errors[0].rfind("b.lnk: cannot start", 0), 0u) << r.errors[0];
    EXPECT_NE(r.errors[1].find("c.lnk is not a shortcut"), std::string::npos) << r.errors[1];
    EXPECT_FALSE(KernelIoControl(0x1234));
}

// Sets LC_ALL (and LOCPATH) for one test.
class CurrencyTest : public ::testing::Test {
protected:
    ~CurrencyTest() override {
        unsetenv("LC_ALL");
        unsetenv("LOCPATH");
        std::error_code ec;
        if (!m_locales.empty())
            fs::remove_all(m_locales, ec);
    }
    static std::u16string Format(std::u16string_view value) {
        std::u16string out;
        int n = GetCurrencyFormatW(LOCALE_USER_DEFAULT, 0, value, out);
        EXPECT_EQ(n, n ? int(out.size() + 1) : 0);
        return n ? out : u"<error>";
    }
    fs::path m_locales;
};

TEST_F(CurrencyTest, TheCLocaleHasTheInvariantSymbolTwoDigitsAndNoGrouping) {
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(Format(u"1234567.125"), u"\u00A41234567.13");
    EXPECT_EQ(Format(u"-2.5"), u"-\u00A42.50");
    EXPECT_EQ(Format(u"9.995"), u"\u00A410.00");
    EXPECT_EQ(Format(u"-0.001"), u"\u00A40.00");
    EXPECT_EQ(Format(u"007"), u"\u00A47.00");
    for (const char16_t* bad : {u"", u"-", u"1.", u".5", u"1,5", u"1e3", u"--1", u" 1"})
        EXPECT_EQ(Format(bad), u"<error>") << ToUtf8(bad);
    std::u16string out;
    EXPECT_EQ(GetCurrencyFormatW(0x0407, 0, u"1", out), 0);
}

TEST_F(CurrencyTest, AGermanLocaleGroupsWithDotsAndPutsTheEuroAfter) {
    // Made for the test when the system has no German locale but can build one.
    if (!newlocale(LC_MONETARY_MASK, "de_DE.UTF-8", nullptr)) {
        std::string dir = (fs::temp_directory_path() / "kvo-locale-XXXXXX").string();
        ASSERT_TRUE(mkdtemp(dir.data()));
        m_locales = dir;
        std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            GTEST_SKIP() << "no de_DE locale and no localedef";
        setenv("LOCPATH", dir.c_str(), 1);
    }
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    locale_t probe = newlocale(LC_MONETARY_MASK, "", nullptr);
    if (!probe)
        GTEST_SKIP() << "de_DE.UTF-8 cannot be loaded";
    freelocale(probe);
    EXPECT_EQ(Format(u"1234567.125"), u"1.234.567,13 \u20AC");
    EXPECT_EQ(Format(u"-12.5"), u"-12,50 \u20AC");
    EXPECT_EQ(Format(u"999"), u"999,00 \u20AC");
}

}  // namespace
