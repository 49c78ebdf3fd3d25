// The call: the number rules, the lock, the port and the AT command the phone sees.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/install_dir.h"
#include "dialer/dial_number.h"
#include "dialer/dialer_doc.h"
#include "dialer/theme_package.h"
#include "platform/file.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"

namespace fs = std::filesystem;

namespace kvo::dialer {
namespace {

TEST(DialNumber, KeepsDigitsHashStarAndALeadingPlus) {
    EXPECT_EQ(CleanDialNumber(u"+12 (345) 678-90"), u"+1234567890");
    EXPECT_EQ(CleanDialNumber(u"12+34"), u"1234");
    EXPECT_EQ(CleanDialNumber(u" +49"), u"49");  // a plus after a blank is not first
    EXPECT_EQ(CleanDialNumber(u"*31#0171"), u"*31#0171");
    EXPECT_EQ(CleanDialNumber(u"0800 FLOWERS"), u"0800");
}

TEST(DialNumber, KeysEditTheNumber) {
    std::u16string n;
    for (const char16_t* k : {u"key+", u"key4", u"key9", u"key*", u"key#", u"key0"})
        EXPECT_TRUE(ApplyKey(n, k));
    EXPECT_EQ(n, u"+49*#0");
    EXPECT_TRUE(ApplyKey(n, u"keydel"));
    EXPECT_EQ(n, u"+49*#");
    EXPECT_FALSE(ApplyKey(n, u"keycall"));
    EXPECT_FALSE(ApplyKey(n, u"keycontact"));
    EXPECT_TRUE(ApplyKey(n, u"keyclear"));
    EXPECT_EQ(n, u"");
    EXPECT_TRUE(ApplyKey(n, u"keydel"));  // nothing to delete is no fault
}

class DialTest : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
    }
    void StartPhone() {
        m_sim = std::make_unique<phone::CPhoneSim>();
        std::string error;
        ASSERT_TRUE(m_sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    bool Dialled(std::string_view needle) const {
        for (const auto& line : m_sim->Journal())
            if (line.rfind("DIAL ", 0) == 0 && line.find(needle) != std::string::npos)
                return true;
        return false;
    }
    bool AnyDial() const {
        for (const auto& line : m_sim->Journal())
            if (line.rfind("DIAL", 0) == 0 || line.find("ATD") != std::string::npos)
                return true;
        return false;
    }
    CRecordingUi m_ui;
    std::unique_ptr<phone::CPhoneSim> m_sim;
};

TEST_F(DialTest, PlacesAVoiceCallWithTheCleanedNumber) {
    StartPhone();
    CDialerDoc doc(m_ui);
    doc.LoadDevice();  // the fresh device's integrated modem on COM3:
    EXPECT_EQ(doc.Device().m_strPort, u"COM3:");
    doc.Number() = u"+12 (345) 678-90";
    ASSERT_TRUE(doc.Dial()) << (m_ui.Messages().empty() ? "" : ce::ToUtf8(m_ui.Messages()[0]));
    EXPECT_TRUE(m_sim->WaitForJournal("DIAL +1234567890;", 2000));
    doc.Number() = u"0171+555";
    ASSERT_TRUE(doc.Dial());
    EXPECT_TRUE(m_sim->WaitForJournal("DIAL 0171555;", 2000));
    EXPECT_TRUE(m_ui.Messages().empty());
    // Every path lets go of the lock and the port.
    EXPECT_TRUE(ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                               ce::OPEN_EXISTING));
}

TEST_F(DialTest, LockHeldByAnotherProgramSendsNothing) {
    int toChild[2], fromChild[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(fromChild), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ce::File lock = ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::OPEN_ALWAYS);
        char c = lock ? 'y' : 'n';
        (void)!write(fromChild[1], &c, 1);
        (void)!read(toChild[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(fromChild[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    StartPhone();
    CDialerDoc doc(m_ui);
    doc.LoadDevice();
    doc.Number() = u"12345";
    EXPECT_FALSE(doc.Dial());
    (void)!write(toChild[1], "x", 1);
    waitpid(pid, nullptr, 0);
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0],
              u"You cannot dial a number, unless the Internet connection is disabled.");
    // Nothing reached the phone: not even the port was opened.
    EXPECT_EQ(m_sim->BytesIn(), 0u);
    EXPECT_FALSE(AnyDial());
    for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
}

TEST_F(DialTest, FailuresAreReportedNotClaimedAsCalls) {
    CDialerDoc doc(m_ui);
    doc.SetDevice({u"Nowhere", u"COM9:"});
    doc.Number() = u"123";
    EXPECT_FALSE(doc.Dial());
    StartPhone();
    // A phone that refuses the call (here: a SIM still locked) answers ERROR.
    m_sim->AddScriptRule("ATD999;\r", "\r\nERROR\r\n");
    doc.LoadDevice();
    doc.Number() = u"999";
    EXPECT_FALSE(doc.Dial());
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::u16string>{u"Error, can't open comunication port.",
                                           u"Error during communication with mobile phone."}));
}

TEST_F(DialTest, OptionsNeedADeviceAndASkinAndAreStored) {
    ASSERT_TRUE(ce::CreateDirectories(kThemesFolder));
    ASSERT_TRUE(ce::WriteFileAtomic(std::u16string(kThemesFolder) + u"graphite.thm",
                                    FormatThemePackage({{"g.cfg", "background=g.bmp\n"}})));
    CDialerDoc doc(m_ui);
    EXPECT_FALSE(doc.ApplyOptions({}, u"graphite.thm"));
    EXPECT_FALSE(doc.ApplyOptions({u"Phone", u"COM4:"}, u""));
    EXPECT_EQ(m_ui.Messages(),
              (std::vector<std::u16string>{u"Device is not selected.", u"Skin is not selected."}));
    ASSERT_TRUE(doc.ApplyOptions({u"Phone", u"COM4:"}, u"graphite.thm"));
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER, kSettingsKey, u"port"), u"COM4:");
    EXPECT_EQ(ce::RegGetString(ce::HKEY_CURRENT_USER, kSettingsKey, u"selected_theme"),
              u"graphite.thm");
    CDialerDoc again(m_ui);
    again.LoadSettings();
    EXPECT_EQ(again.Device(), (CDialDevice{u"Phone", u"COM4:"}));
    EXPECT_EQ(again.CurrentTheme(), u"graphite.thm");
    EXPECT_TRUE(again.HasTheme());
}

TEST_F(DialTest, DevicesAreTheIntegratedModemsOnly) {
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, u"ExtModems\\Bluetooth", u"DeviceType",
                                ce::RegValue::Dword(2)));
    CDialerDoc doc(m_ui);
    std::vector<CDialDevice> devices;
    ASSERT_TRUE(doc.LoadDevices(devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].m_strPort, u"COM3:");
}

}  // namespace
}  // namespace kvo::dialer
