#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "common/user_interface.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/line.h"
#include "platform/registry.h"
#include "telmio/session/auto_sync.h"
#include "telmio/session/error_texts.h"
#include "telmio/session/handoff.h"
#include "telmio/session/modem_devices.h"
#include "tests/support/fake_clock.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo;

void AddExtModem(const std::u16string& key, const std::u16string& name, const std::u16string& port,
                 uint32_t type = 1) {
    std::u16string path = u"ExtModems\\" + key;
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, path, u"DeviceType", ce::RegValue::Dword(type)));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, path, u"FriendlyName", ce::RegValue::Sz(name)));
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, path, u"Port", ce::RegValue::Sz(port)));
}

void AddLine(const std::u16string& name, uint32_t media = ce::LINEMEDIAMODE_DATAMODEM,
             uint32_t bearer = ce::LINEBEARERMODE_DATA | ce::LINEBEARERMODE_VOICE) {
    ce::LineDeviceInfo info;
    info.strName = name;
    info.dwMediaModes = media;
    info.dwBearerModes = bearer;
    ASSERT_TRUE(ce::AddLineDevice(info));
}

class ModemDevicesTest : public kvo::test::DeviceTest {
protected:
    void TearDown() override { ce::SetLineInitializeHook({}); }
    kvo::CRecordingUi m_ui{false};
};

TEST_F(ModemDevicesTest, MatchesUsableLinesByFriendlyNameInLineOrder) {
    AddExtModem(u"a", u"Bluetooth", u"COM3:");
    AddExtModem(u"b", u"Generic IrDA-modem", u"COM3:");
    AddExtModem(u"c", u"Voice only", u"COM4:");
    AddExtModem(u"d", u"Not a modem", u"COM5:", 0);
    AddExtModem(u"e", u"No port", u"");
    AddLine(u"Generic IrDA-modem");
    AddLine(u"Voice only", ce::LINEMEDIAMODE_INTERACTIVEVOICE);
    AddLine(u"Bluetooth");
    AddLine(u"Not a modem");
    AddLine(u"No port");
    std::vector<CModemDevice> devices;
    ASSERT_TRUE(EnumerateModemDevices(m_ui, devices));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].m_strName, u"Generic IrDA-modem");
    EXPECT_EQ(devices[0].m_nLine, 0u);
    EXPECT_EQ(devices[1].m_strName, u"Bluetooth");
    EXPECT_EQ(devices[1].m_nLine, 2u);
    EXPECT_TRUE(m_ui.Messages().empty());

    // Two devices on COM3: and nothing stored: the first in line order.
    EXPECT_EQ(ChoosePort(false, u"", u"", devices).strDevice, u"Generic IrDA-modem");
    EXPECT_EQ(ChoosePort(false, u"", u"Bluetooth", devices).strPort, u"COM3:");
    EXPECT_TRUE(ChoosePort(false, u"", u"Gone", devices).strPort.empty());
    PortChoice user = ChoosePort(true, u"/dev/ttyUSB0", u"Bluetooth", devices);
    EXPECT_EQ(user.strDevice, u"user defined");
    EXPECT_EQ(user.strPort, u"/dev/ttyUSB0");
    EXPECT_TRUE(ChoosePort(false, u"", u"", {}).strPort.empty());
}

TEST_F(ModemDevicesTest, StartUpFailuresAndTheirMessages) {
    std::vector<CModemDevice> devices;
    // No ExtModems at all: failure with the registry message.
    EXPECT_FALSE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(m_ui.Messages().back(), u"Access to registers failed.");

    // Entries but no line devices.
    AddExtModem(u"a", u"Generic IrDA-modem", u"COM3:", 2);
    EXPECT_FALSE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(m_ui.Messages().back(), u"There are no modem devices available.");

    // Lines but no entry of type 1: fails without a message of its own.
    AddLine(u"Generic IrDA-modem");
    size_t shown = m_ui.Messages().size();
    EXPECT_FALSE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(m_ui.Messages().size(), shown);

    // An entry whose name matches no line: success with an empty list.
    AddExtModem(u"b", u"Other modem", u"COM4:");
    EXPECT_TRUE(EnumerateModemDevices(m_ui, devices));
    EXPECT_TRUE(devices.empty());

    ce::SetLineInitializeHook([] { return ce::LINEERR_NODEVICE; });
    EXPECT_FALSE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(m_ui.Messages().back(), u"Error during initialisation.");
}

TEST_F(ModemDevicesTest, ReinitIsRetriedAndTheUserAskedEveryFiveSeconds) {
    kvo::test::FakeClock clock;
    AddExtModem(u"a", u"Generic IrDA-modem", u"COM3:");
    AddLine(u"Generic IrDA-modem");
    std::atomic<int> calls{0};
    ce::SetLineInitializeHook([&] { return ++calls < 120 ? ce::LINEERR_REINIT : 0; });
    std::vector<CModemDevice> devices;
    m_ui.SetAnswer(false);  // Cancel: go on retrying
    ASSERT_TRUE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(devices.size(), 1u);
    ASSERT_EQ(m_ui.Questions().size(), 2u);  // at 5 s and at 10 s of ~12 s retrying
    EXPECT_EQ(m_ui.Questions()[0],
              u"Initialisation failed\n tapi.dll. Close all\nprogram files, and try again.");

    calls = 0;
    m_ui.SetAnswer(true);  // OK: give up
    EXPECT_FALSE(EnumerateModemDevices(m_ui, devices));
    EXPECT_EQ(m_ui.Questions().size(), 3u);
}

TEST(ErrorTexts, CollectsOnceSeparatedAndTakeEmpties) {
    CErrorTexts errors;
    EXPECT_FALSE(errors.Indicated());
    errors.Add(u"Unknown ISP.");
    errors.Add(u"Synchronization failed.");
    errors.Add(u"Unknown ISP.");
    EXPECT_TRUE(errors.Indicated());
    EXPECT_EQ(errors.Take(), u"Unknown ISP.\n---\nSynchronization failed.");
    EXPECT_FALSE(errors.Indicated());
    EXPECT_EQ(errors.Text(), u"");
}

class HandoffTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override { ASSERT_TRUE(ce::CreateDirectories(m_dir.substr(0, m_dir.size() - 1))); }
    std::u16string m_dir = u"\\Program Files\\kvonet pro\\";
};

TEST_F(HandoffTest, ReadsCleansAndDeletesTheFile) {
    ASSERT_TRUE(WriteHandoffFile(m_dir, u"+49 (171) 123-45/67; 0171 999"));
    std::u16string r;
    ASSERT_TRUE(TakeHandoffFile(m_dir, r));
    EXPECT_EQ(r, u"+491711234567;0171999");
    EXPECT_FALSE(ce::FileExists(m_dir + u"newsms.tmp"));
    EXPECT_FALSE(TakeHandoffFile(m_dir, r));

    // A count larger than the file: rejected and removed.
    kvo::test::WriteHostFile(ce::MapPath(m_dir + u"newsms.tmp"), std::string("\x10\0\0\0a\0", 6));
    EXPECT_FALSE(TakeHandoffFile(m_dir, r));
    EXPECT_FALSE(ce::FileExists(m_dir + u"newsms.tmp"));
}

TEST(SplitMessage, PartsAndHeaders) {
    std::u16string t154(154, u'a'), t155(155, u'b'), t308(308, u'c');
    EXPECT_EQ(SplitMessage(t154), std::vector<std::u16string>{t154});
    auto p = SplitMessage(t155);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], u"1/2:" + std::u16string(154, u'b'));
    EXPECT_EQ(p[1], u"2/2:b");
    p = SplitMessage(t308);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1], u"2/2:" + std::u16string(154, u'c'));
    p = SplitMessage(std::u16string(154 * 11 + 3, u'd'));
    ASSERT_EQ(p.size(), 12u);
    EXPECT_EQ(p[9].substr(0, 6), u"10/12:");
    EXPECT_EQ(p[9].size(), 160u);
    EXPECT_EQ(p[11], u"12/12:ddd");
    EXPECT_EQ(MessageCount(u""), 1);
    EXPECT_EQ(MessageCount(t154), 1);
    EXPECT_EQ(MessageCount(t155), 2);
    EXPECT_EQ(MessageCount(t308), 2);
}

TEST(SplitMessage, Ucs2TextsAndExtensionCharacters) {
    // One character outside the GSM alphabet makes it UCS2: 70 in one part, 66 per part.
    std::u16string t70 = std::u16string(69, u'a') + u"\u0142";
    EXPECT_EQ(SplitMessage(t70), std::vector<std::u16string>{t70});
    auto p = SplitMessage(t70 + u"b");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], u"1/2:" + std::u16string(66, u'a'));
    EXPECT_EQ(p[1], u"2/2:aaa\u0142b");
    EXPECT_EQ(MessageCount(t70 + u"b"), 2);
    // An emoji (a surrogate pair) is never cut in two.
    std::u16string emoji = std::u16string(65, u'x') + u"\U0001F600" + std::u16string(10, u'y');
    p = SplitMessage(emoji);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], u"1/2:" + std::u16string(65, u'x'));
    EXPECT_EQ(p[1].substr(0, 6), u"2/2:\U0001F600");
    // From ten parts on the longer header leaves 64 characters, all parts within 70.
    p = SplitMessage(std::u16string(700, u'\u0436'));
    ASSERT_EQ(p.size(), 11u);
    for (const auto& part : p) EXPECT_LE(part.size(), 70u);
    EXPECT_EQ(p[9].substr(0, 6), u"10/11:");
    // The extension table keeps a text GSM, each such character taking two septets.
    std::u16string euros(77, u'\u20AC');
    EXPECT_EQ(SplitMessage(euros).size(), 1u);
    p = SplitMessage(euros + u"\u20AC");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], u"1/2:" + std::u16string(77, u'\u20AC'));
}

class AutoSyncTest : public ::testing::Test {
protected:
    std::vector<std::u16string> Statuses() {
        std::lock_guard l(m_mutex);
        return m_statuses;
    }
    void Status(const std::u16string& s) {
        std::lock_guard l(m_mutex);
        m_statuses.push_back(s);
    }
    kvo::test::FakeClock m_clock;
    CSessionFlags m_flags;
    std::mutex m_mutex;
    std::vector<std::u16string> m_statuses;
};

TEST_F(AutoSyncTest, CountsDownRunsSessionsAndStopWaitsForARunningOne) {
    std::atomic<int> sessions{0};
    std::mutex gate;
    std::condition_variable cv;
    bool release = false;
    std::atomic<bool> inSession{false};
    CAutoSyncWorker worker(
        m_flags,
        [&] {
            EXPECT_TRUE(m_flags.m_bSessionRunning);
            EXPECT_FALSE(m_flags.m_bIdle);
            EXPECT_TRUE(m_flags.m_bBusy);
            if (++sessions == 2) {
                inSession = true;
                std::unique_lock l(gate);
                cv.wait(l, [&] { return release; });
            }
        },
        [&](const std::u16string& s) { Status(s); });
    worker.StartAutoSync(2);
    while (!inSession) std::this_thread::yield();
    // The first countdown showed the full interval and ended at zero.
    auto st = Statuses();
    ASSERT_FALSE(st.empty());
    EXPECT_EQ(st.front(), u"AS: 00:02:00");
    EXPECT_NE(std::find(st.begin(), st.end(), u"AS: 00:00:00"), st.end());

    std::thread stopper([&] { worker.StopAutoSync(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_flags.m_bSessionRunning);  // stop is waiting for the session
    {
        std::lock_guard l(gate);
        release = true;
    }
    cv.notify_all();
    stopper.join();
    EXPECT_EQ(sessions.load(), 2);
    EXPECT_FALSE(m_flags.m_bSessionRunning);
    EXPECT_TRUE(m_flags.m_bIdle);
    EXPECT_EQ(Statuses().back(), u"");
}

TEST_F(AutoSyncTest, NoSessionWhileNotIdleAndRestartBeginsTheFullInterval) {
    std::atomic<int> sessions{0};
    m_flags.m_bIdle = false;
    CAutoSyncWorker worker(m_flags, [&] { ++sessions; }, [&](const std::u16string& s) { Status(s); });
    worker.StartAutoSync(10);
    uint64_t start = m_clock.Slept();
    while (m_clock.Slept() - start < 25 * 60000) std::this_thread::yield();
    EXPECT_EQ(sessions.load(), 0);
    EXPECT_TRUE(Statuses().empty());  // not allowed: the status line is left alone

    m_flags.m_bIdle = true;
    worker.SetInterval(60);
    worker.RestartCountdown();
    for (;;) {
        auto st = Statuses();
        if (std::find(st.begin(), st.end(), u"AS: 01:00:00") != st.end()) break;
        std::this_thread::yield();
    }
    worker.StopAutoSync();
    EXPECT_EQ(CAutoSyncWorker::FormatCountdown(3723000), u"AS: 01:02:03");
}

}  // namespace

#include "telmio/session/sms_info.h"

namespace {

TEST(SmsInfo, ParsesServicesAndRejectsEveryDeviation) {
    kvo::CSmsInfo info;
    ASSERT_TRUE(kvo::ParseSmsInfo(
        "*#T-Mobile D#\r\n#Weather#WETTER#4000#12#a#b#Line one|Line two#\r\n#News#N#1#0###x#\r\n*",
        info));
    EXPECT_EQ(info.m_strOperator, u"T-Mobile D");
    ASSERT_EQ(info.m_services.size(), 2u);
    EXPECT_EQ(info.m_services[0].m_nValue, 12);
    EXPECT_EQ(info.m_services[0].m_strFields[6], u"Line one\r\nLine two");
    EXPECT_EQ(info.m_services[1].m_strFields[4], u"");
    EXPECT_TRUE(kvo::ParseSmsInfo("*#Op#\r\n*\r\n", info));
    for (const char* bad : {"", "#Op#\r\n*", "*#Op#\r\n", "*#Op#\n*", "*\r\n*",
                            "*#Op#\r\n#a#b#c#x1#e#f#g#\r\n*", "*#Op#\r\n#a#b#c#1#e#f#\r\n*",
                            "*#Op#\r\n#a#b#c#1#e#f#g#h#\r\n*", "*#Op#\r\n*junk", "*#Op#x\r\n*"})
        EXPECT_FALSE(kvo::ParseSmsInfo(bad, info)) << bad;
}

}  // namespace

#include <sys/stat.h>
#include <sys/wait.h>

#include "platform/process.h"

namespace {

TEST_F(HandoffTest, LaunchesConnectWithSAndTheDialerWithNothing) {
    EXPECT_FALSE(kvo::LaunchConnect(m_dir));  // not installed
    std::string out = (m_device.Root() / "args").string();
    for (const char16_t* exe : {u"connect.exe", u"dialer.exe"}) {
        auto path = ce::MapPath(m_dir + exe);
        kvo::test::WriteHostFile(path, "#!/bin/sh\necho \"$(basename \"$0\") [$*]\" >> " + out + "\n");
        chmod(path.c_str(), 0755);
    }
    ASSERT_TRUE(kvo::LaunchConnect(m_dir));
    ASSERT_TRUE(kvo::LaunchDialer(m_dir));
    for (int i = 0; i < 200 && kvo::test::ReadHostFile(out).size() < 26; ++i) usleep(10000);
    std::string got = kvo::test::ReadHostFile(out);
    EXPECT_NE(got.find("connect.exe [s]"), std::string::npos) << got;
    EXPECT_NE(got.find("dialer.exe []"), std::string::npos) << got;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

}  // namespace
