// `kvo sms ...` and `kvo settings ...` on a ready device with the simulated phone on COM3:.
#include <gtest/gtest.h>

#include <sstream>

#include "common/install_dir.h"
#include "platform/profile.h"
#include "telmio/settings/client_settings.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/sms_command.h"
#include "tools/kvophone/phone_sim.h"

namespace fs = std::filesystem;

namespace {

class KvoSmsCliTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    }
    void TearDown() override { m_sim.Stop(); }
    void StartPhone() {
        std::string error;
        ASSERT_TRUE(m_sim.Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    int Run(std::vector<std::string> args) {
        m_out.str("");
        m_err.str("");
        return kvo::cli::Main(args, m_out, m_err);
    }
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::istringstream in(m_out.str());
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    kvo::phone::CPhoneSim m_sim;
    std::ostringstream m_out, m_err;
};

TEST_F(KvoSmsCliTest, SendNowThenQueueAndSyncShowUpInTheFolders) {
    StartPhone();
    ASSERT_EQ(Run({"sms", "send", "--now", "+491711234567", "Hi\nthere"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "SMS was sent successfully.\n");
    ASSERT_TRUE(m_sim.WaitForJournal("SMS ", 1000));

    ASSERT_EQ(Run({"sms", "send", "+4930123;0171999", "later"}), 0);
    EXPECT_EQ(m_out.str(), "2 messages queued in the Outbox\n");
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].substr(0, 11), "5\t+4930123\t");

    ASSERT_EQ(Run({"sms", "sync"}), 0) << m_out.str() << m_err.str();
    EXPECT_NE(m_err.str().find("phone: KVO Mobile SP-1, operator: T-Mobile D"), std::string::npos);
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    EXPECT_TRUE(Lines().empty());
    ASSERT_EQ(Run({"sms", "list", "sent"}), 0);
    auto sent = Lines();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].substr(0, 16), "8\t+491711234567\t");
    EXPECT_EQ(sent[0].substr(sent[0].size() - 10), "\tHi\\nthere");
    ASSERT_EQ(Run({"sms", "list", "all"}), 0);
    EXPECT_EQ(Lines().size(), 3u);  // the default phone holds no messages
}

TEST_F(KvoSmsCliTest, SyncWithoutAPhonePrintsTheCollectedErrors) {
    EXPECT_EQ(Run({"sms", "sync"}), 1);
    EXPECT_EQ(m_out.str(),
              "No connection to mobile phone possible. Close an open internet connection and try "
              "to synchronize again.\n---\nSynchronization failed.\n");
    EXPECT_EQ(Run({"sms", "send", "--now", "+491711234567", "x"}), 1);
    EXPECT_NE(m_out.str().find("Error during sending SMS"), std::string::npos);
}

TEST_F(KvoSmsCliTest, SettingsFollowTheOptionsRules) {
    ASSERT_EQ(Run({"settings", "show"}), 0);
    EXPECT_EQ(m_out.str(),
              "user-port\t\nmodem\t\nauto-sync\toff\ninterval\t10\nown-smsc\toff\nsmsc\t\n"
              "delete-after-sync\toff\nphonebook\tSIM+Phone\n");
    EXPECT_EQ(Run({"settings", "set", "interval", "1"}), 1);
    EXPECT_NE(m_err.str().find("at least 2 minutes"), std::string::npos);
    EXPECT_EQ(Run({"settings", "set", "smsc", "0171-abc"}), 1);
    EXPECT_NE(m_err.str().find("no valid SMS centre number"), std::string::npos);
    EXPECT_EQ(Run({"settings", "set", "own-smsc", "on"}), 1);  // no number yet
    EXPECT_EQ(Run({"settings", "set", "interval", "soon"}), 2);
    EXPECT_EQ(Run({"settings", "set", "colour", "red"}), 2);
    EXPECT_EQ(Run({"settings", "set", "phonebook", "Both"}), 2);

    for (auto kv : std::vector<std::pair<std::string, std::string>>{
             {"interval", "5"}, {"smsc", "+491710760000"}, {"own-smsc", "on"},
             {"auto-sync", "on"}, {"delete-after-sync", "on"}, {"phonebook", "SIM"},
             {"modem", "Generic IrDA-modem"}, {"user-port", "/dev/ttyUSB0"}})
        ASSERT_EQ(Run({"settings", "set", kv.first, kv.second}), 0) << kv.first << m_err.str();
    ASSERT_EQ(Run({"settings", "show"}), 0);
    EXPECT_EQ(m_out.str(),
              "user-port\t/dev/ttyUSB0\nmodem\tGeneric IrDA-modem\nauto-sync\ton\ninterval\t5\n"
              "own-smsc\ton\nsmsc\t+491710760000\ndelete-after-sync\ton\nphonebook\tSIM\n");

    // What the client itself reads at start-up.
    ce::SetAppName(u"telmio");
    kvo::CClientSettings s;
    ASSERT_TRUE(s.LoadSettings());
    EXPECT_TRUE(s.m_bUserPort);
    EXPECT_EQ(s.m_strUserPort, u"/dev/ttyUSB0");
    EXPECT_EQ(s.m_ini.m_nInterval, 5);
    EXPECT_EQ(s.m_pb.m_nStorages, 0x10000000u);
    ASSERT_EQ(Run({"settings", "set", "user-port", ""}), 0);
    ASSERT_TRUE(s.LoadSettings());
    EXPECT_FALSE(s.m_bUserPort);
}

TEST_F(KvoSmsCliTest, UsageAndHelpOnEveryLevel) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(m_out.str().find("sms sync|list|send"), std::string::npos);
    EXPECT_EQ(Run({"sms", "--help"}), 0);
    EXPECT_NE(m_out.str().find("sms send [--flash] [--now] [--force] RECIPIENTS TEXT"), std::string::npos);
    EXPECT_EQ(Run({"sms", "send", "--help"}), 0);
    EXPECT_EQ(Run({"settings", "--help"}), 0);
    EXPECT_EQ(Run({"sms"}), 2);
    EXPECT_EQ(Run({"sms", "list", "spam"}), 2);
    EXPECT_EQ(Run({"sms", "send", "only-one-argument"}), 2);
    EXPECT_EQ(Run({"sms", "send", "abc", "text"}), 2);  // no number in it
    EXPECT_EQ(Run({"settings", "set", "interval"}), 2);
}

TEST(KvoSmsList, EveryMessageStaysOnOneLine) {
    EXPECT_EQ(kvo::cli::ListLine(1, u"+49", "2026-12-08 10:00:00", u"a\r\nb\nc\td\\e"),
              "1\t+49\t2026-12-08 10:00:00\ta\\nb\\nc\\td\\\\e");
}

}  // namespace
