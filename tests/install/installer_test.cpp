// The installer's connection wait and package runs on a device of the test, with a clock
// that jumps instead of sleeping; the packages and `install --batch` as real programs.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "common/install_dir.h"
#include "install/core/connection_wait.h"
#include "install/core/installer.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/rapi.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/commands.h"
#include "tools/kvo-device/device_setup.h"

namespace fs = std::filesystem;

namespace kvo::install {
namespace {

// Jumps by what is asked; a real millisecond passes too so a started package gets the CPU.
class CFakeClock : public IClock {
public:
    int64_t NowMs() override { return m_nNow; }
    void SleepMs(int ms) override {
        m_nNow += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    int64_t m_nNow = 1000000;
};

fs::path BinDir() {
    return fs::path(KVO_BINARY_DIR) / "bin";
}

const std::u16string kUpdaterExe = u"\\Program Files\\Orvane Updater\\updater.exe";
const std::u16string kSuiteKeyPath = u"SOFTWARE\\Apps\\Orvane kvonet pro";

class InstallerTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        // A bare handheld: a file system and its version, nothing of ours installed yet.
        ASSERT_TRUE(ce::CreateDirectories(u"\\Windows"));
        SetOsVersion(4);
    }
    void TearDown() override {
        for (pid_t pid : m_hanging) kill(pid, SIGKILL);
    }
    void SetOsVersion(uint32_t major) {
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kOsVersionKey, u"Major",
                                    ce::RegValue::Dword(major)));
        ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kOsVersionKey, u"Minor",
                                    ce::RegValue::Dword(20)));
    }
    // A package of the test: a shell script in its own installer folder.
    fs::path Script(const std::string& name, const std::string& body) {
        fs::path dir = m_device.Root() / "desk";
        fs::create_directories(dir);
        fs::path p = dir / name;
        kvo::test::WriteHostFile(p, "#!/bin/sh\n" + body + "\n");
        fs::permissions(p, fs::perms::owner_all);
        return dir;
    }
    // As after the connection wait: attached and the Remote API started.
    void Connect() {
        ASSERT_TRUE(ce::RapiAttach(true));
        ce::RAPIINIT init;
        ASSERT_EQ(ce::CeRapiInitEx(init), 0);
    }
    // Programs are links to the build's binaries, which the device's own calls do not follow.
    bool Installed(std::u16string_view path) {
        return fs::exists(fs::symlink_status(ce::MapPath(path)));
    }

    // Every suite program this build made is in the suite's folder (which ones were built
    // depends on the build); and the suite's key names that folder.
    void ExpectSuiteInstalled() {
        for (const auto& p : kvo::device::InstalledPrograms()) {
            if (p.folder != kSuiteDir || !fs::exists(BinDir() / p.program))
                continue;
            EXPECT_TRUE(Installed(std::u16string(kSuiteDir) + u"\\" +
                                  ce::FromUtf8(std::string(p.program) + ".exe")))
                << p.program;
        }
        EXPECT_EQ(ce::RegGetString(ce::HKEY_LOCAL_MACHINE, kSuiteKeyPath, u"InstlDir"), kSuiteDir);
    }

    CRecordingUi m_ui{true};
    CFakeClock m_clock;
    std::vector<pid_t> m_hanging;
};

TEST_F(InstallerTest, AHandheldAttachedFiveTicksInRunsBothPackagesInOrder) {
    CConnectionWait wait(m_ui, Language::English);
    ASSERT_EQ(wait.Begin(), CConnectionWait::State::Waiting);
    EXPECT_EQ(m_ui.Statuses().back(), u"Try to establish connection...");
    for (int tick = 1; tick <= 5; ++tick) ASSERT_EQ(wait.Tick(), CConnectionWait::State::Waiting);
    ASSERT_TRUE(ce::RapiAttach(true));
    EXPECT_EQ(wait.Tick(), CConnectionWait::State::Connected) << "the next tick closes the page";
    EXPECT_TRUE(m_ui.Questions().empty());

    CInstaller installer(m_ui, m_clock, BinDir(), Language::English);
    ASSERT_EQ(installer.Run(), InstallOutcome::Installed);
    ASSERT_EQ(installer.Runs().size(), 2u);
    EXPECT_EQ(installer.Runs()[0].path.filename(), "WM2003_updater_Eng.bin");
    EXPECT_EQ(installer.Runs()[1].path.filename(), "WM2003_kvopro_Eng.bin");
    EXPECT_TRUE(installer.Runs()[0].bEnded && installer.Runs()[1].bEnded);
    EXPECT_TRUE(Installed(kUpdaterExe));
    EXPECT_TRUE(Installed(u"\\Program Files\\Orvane Updater\\version.info"));
    ExpectSuiteInstalled();
    ASSERT_FALSE(m_ui.Messages().empty());
    EXPECT_EQ(m_ui.Messages().back(),
              u"Congratulation! You have successfully installed the software.\n"
              u"For further steps look on the display of your Pocket PC.");
}

TEST_F(InstallerTest, ElevenSilentTicksAskAndYesWaitsAnotherRound) {
    CConnectionWait wait(m_ui, Language::English);
    ASSERT_EQ(wait.Begin(), CConnectionWait::State::Waiting);
    for (int tick = 1; tick <= 10; ++tick) wait.Tick();
    EXPECT_TRUE(m_ui.Questions().empty()) << "ten seconds are not yet too long";
    EXPECT_EQ(wait.Tick(), CConnectionWait::State::Waiting);  // Yes
    ASSERT_EQ(m_ui.Questions().size(), 1u);
    EXPECT_EQ(m_ui.Questions()[0], u"Connection could not be established.\nTry again?");
    EXPECT_EQ(m_ui.Statuses().back(), u"Try to establish connection...");
    for (int tick = 1; tick <= 10; ++tick) wait.Tick();
    EXPECT_EQ(m_ui.Questions().size(), 1u) << "the count starts again";
    m_ui.SetAnswer(false);
    EXPECT_EQ(wait.Tick(), CConnectionWait::State::Failed);
    EXPECT_EQ(m_ui.Questions().size(), 2u);
    // Given up: a handheld that comes now is not taken.
    ASSERT_TRUE(ce::RapiAttach(true));
    EXPECT_EQ(wait.Tick(), CConnectionWait::State::Failed);
}

TEST_F(InstallerTest, AnAttachedHandheldWithoutFilesIsNoConnection) {
    fs::remove_all(ce::FileSystemRoot());
    ASSERT_TRUE(ce::RapiAttach(true));
    CConnectionWait wait(m_ui, Language::German);
    ASSERT_EQ(wait.Begin(), CConnectionWait::State::Waiting);
    EXPECT_EQ(wait.Tick(), CConnectionWait::State::Failed);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(ce::ToUtf8(m_ui.Messages()[0]), LoadText(Language::German, Text::NoConnection));
}

TEST_F(InstallerTest, APackagePastItsTimeOutLetsTheNextStepGoOn) {
    fs::path mark = m_device.Root() / "suite-ran";
    Script("WM2003_updater_Eng.bin", "exec sleep 600");
    fs::path dir = Script("WM2003_kvopro_Eng.bin", "echo ran > '" + mark.string() + "'");
    Connect();
    CInstaller installer(m_ui, m_clock, dir, Language::English);
    int64_t start = m_clock.m_nNow;
    ASSERT_EQ(installer.Run(), InstallOutcome::Installed);
    ASSERT_EQ(installer.Runs().size(), 2u);
    m_hanging.push_back(installer.Runs()[0].pid);
    EXPECT_FALSE(installer.Runs()[0].bEnded) << "still running when its two minutes were up";
    EXPECT_GE(m_clock.m_nNow - start, CInstaller::kUpdaterTimeoutMs);
    EXPECT_EQ(kill(installer.Runs()[0].pid, 0), 0) << "the installer leaves it running";
    // The suite's package ran after it and the success message followed.
    for (int i = 0; i < 500 && !fs::exists(mark); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(mark));
    EXPECT_EQ(ce::ToUtf8(m_ui.Messages().back()), LoadText(Language::English, Text::Success));
}

TEST_F(InstallerTest, Wm2002IsToldThenItsOwnPackagesRun) {
    SetOsVersion(3);
    Script("WM2002_updater_Fra.bin", "exit 0");
    fs::path dir = Script("WM2002_kvopro_Fra.bin", "exit 3");  // its exit code is not examined
    Connect();
    CInstaller installer(m_ui, m_clock, dir, Language::French);
    ASSERT_EQ(installer.Run(), InstallOutcome::Installed);
    ASSERT_EQ(installer.Runs().size(), 2u);
    EXPECT_EQ(installer.Runs()[0].path.filename(), "WM2002_updater_Fra.bin");
    EXPECT_EQ(installer.Runs()[1].path.filename(), "WM2002_kvopro_Fra.bin");
    auto messages = m_ui.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(ce::ToUtf8(messages[0]), LoadText(Language::French, Text::Wm2002));
    EXPECT_EQ(ce::ToUtf8(messages[1]), LoadText(Language::French, Text::Success));
}

TEST_F(InstallerTest, MissingPackagesAndUnknownSystemsInstallNothing) {
    Connect();
    // The updater's package is missing: the suite's is not even started.
    fs::path mark = m_device.Root() / "suite-ran";
    fs::path dir = Script("WM2003_kvopro_Eng.bin", "echo ran > '" + mark.string() + "'");
    CInstaller missing(m_ui, m_clock, dir, Language::English);
    EXPECT_EQ(missing.Run(), InstallOutcome::Failed);
    EXPECT_TRUE(missing.Runs().empty());
    EXPECT_FALSE(fs::exists(mark));
    EXPECT_EQ(m_ui.Messages().back(), u"Error - Installation failed!");

    SetOsVersion(5);
    Connect();
    CInstaller other(m_ui, m_clock, BinDir(), Language::English);
    EXPECT_EQ(other.Run(), InstallOutcome::Unsupported);
    EXPECT_TRUE(other.Runs().empty());

    ASSERT_TRUE(ce::RegDeleteValue(ce::HKEY_LOCAL_MACHINE, ce::kOsVersionKey, u"Major"));
    Connect();
    CInstaller unknown(m_ui, m_clock, BinDir(), Language::English);
    EXPECT_EQ(unknown.Run(), InstallOutcome::NoOsVersion);
    EXPECT_EQ(m_ui.Messages().back(),
              u"Installation error:\nCan not detect Pocket PC operating system.");
    EXPECT_FALSE(Installed(kUpdaterExe));
}

TEST(InstallTexts, EveryLanguageHasItsOwnTextsAndPackageNames) {
    EXPECT_EQ(PackagePath("/d", "WM2003", "updater", Language::English),
              fs::path("/d/WM2003_updater_Eng.bin"));
    EXPECT_EQ(PackagePath("/d", "WM2003", "kvopro", Language::Dutch),
              fs::path("/d/WM2003_kvopro_Dut.bin"));
    const std::pair<Language, const char*> suffixes[] = {{Language::German, "_Ger.bin"},
                                                         {Language::French, "_Fra.bin"},
                                                         {Language::Italian, "_Ita.bin"}};
    for (auto [l, s] : suffixes) EXPECT_EQ(PackageSuffix(l), s);
    EXPECT_EQ(ParseLanguage("GERMAN"), Language::German);
    EXPECT_FALSE(ParseLanguage("klingon"));
    ASSERT_EQ(LanguageChoices().size(), 5u);
    EXPECT_EQ(LanguageChoices()[2], Language::Dutch);
    // A text left in English in another language's table is a missing translation; only
    // the word "Information" is the same in German and French.
    for (Language l : LanguageChoices()) {
        if (l == Language::English)
            continue;
        for (int t = 0; t <= int(Text::Installing); ++t) {
            std::string text = LoadText(l, Text(t));
            EXPECT_FALSE(text.empty());
            if (Text(t) != Text::InfoTitle) {
                EXPECT_NE(text, LoadText(Language::English, Text(t)))
                    << LanguageCode(l) << " text " << t;
            }
        }
    }
}

TEST_F(InstallerTest, PackagesInstallOnlyTheirProductAndOnlyIntoAnAttachedDevice) {
    std::string updaterPackage = (BinDir() / "WM2003_updater_Ger.bin").string();
    kvo::test::ProgramResult r = kvo::test::RunProgram(updaterPackage, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kvo-device attach"), std::string::npos) << r.err;
    EXPECT_FALSE(Installed(kUpdaterExe));

    std::ostringstream out, err;
    ASSERT_EQ(kvo::device::Main({"attach"}, out, err), 0) << err.str();
    r = kvo::test::RunProgram(updaterPackage, {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Installed(kUpdaterExe));
    // The suite's programs are the other package's.
    for (const auto& p : kvo::device::InstalledPrograms()) {
        if (p.folder == kSuiteDir) {
            EXPECT_FALSE(Installed(std::u16string(kSuiteDir) + u"\\" +
                                   ce::FromUtf8(std::string(p.program) + ".exe")))
                << p.program;
        }
    }
    EXPECT_EQ(kvo::test::RunProgram(updaterPackage, {"x"}).status, 2);

    ASSERT_EQ(kvo::device::Main({"detach"}, out, err), 0);
    EXPECT_FALSE(ce::RapiIsAttached());
}

TEST_F(InstallerTest, BatchInstallWaitsForTheHandheldAndSpeaksItsLanguage) {
    ASSERT_TRUE(ce::RapiAttach(true));
    kvo::test::ProgramResult r =
        kvo::test::RunProgram((BinDir() / "install").string(), {"--batch", "--language", "dutch"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(LoadText(Language::Dutch, Text::Success)), std::string::npos) << r.out;
    EXPECT_TRUE(Installed(kUpdaterExe));
    ExpectSuiteInstalled();
    EXPECT_EQ(kvo::test::RunProgram((BinDir() / "install").string(), {"--language", "x"}).status,
              2);
}

}  // namespace
}  // namespace kvo::install
