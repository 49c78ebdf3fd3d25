// `kvo sms ...` and `kvo settings ...` on a ready device with the simulated phone on COM3:.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/sys.h"
#include "telmio/session/telmio_doc.h"
#include "telmio/settings/client_settings.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvo/commands.h"
#include "tools/kvo/sms_command.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"
#include "tools/kvophone/sms_pdu.h"

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
    EXPECT_NE(m_out.str().find("sms send [--flash] [--now] [--force] [--group NAME]... RECIPIENTS TEXT"), std::string::npos);
    EXPECT_EQ(Run({"sms", "send", "--help"}), 0);
    EXPECT_EQ(Run({"settings", "--help"}), 0);
    EXPECT_EQ(Run({"sms"}), 2);
    EXPECT_EQ(Run({"sms", "list", "spam"}), 2);
    EXPECT_EQ(Run({"sms", "send", "only-one-argument"}), 2);
    EXPECT_EQ(Run({"sms", "send", "abc", "text"}), 2);  // no number in it
    EXPECT_EQ(Run({"settings", "set", "interval"}), 2);
}

TEST_F(KvoSmsCliTest, RecipientsAreCheckedOneByOne) {
    EXPECT_EQ(Run({"sms", "send", "0171 111, 0172 222", "hi"}), 2);
    EXPECT_EQ(m_err.str(),
              "kvo sms send: \"0171 111, 0172 222\" is not one number; separate recipients with "
              "\";\", as in \"0171 111;0172 222\"\n");
    for (std::string bad :
         std::vector<std::string>{"+", "+49 171 +49 172", "0171;abc", std::string(21, '1')}) {
        EXPECT_EQ(Run({"sms", "send", bad, "hi"}), 2) << bad;
        EXPECT_NE(m_err.str().find("is not a phone number (digits, at most one \"+\" in front"),
                  std::string::npos)
            << m_err.str();
    }
    EXPECT_EQ(Run({"sms", "send", "; ;", "hi"}), 2);
    EXPECT_EQ(m_err.str(), "kvo sms send: no recipient in \"; ;\"\n");
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    EXPECT_TRUE(Lines().empty());  // nothing of the above was queued

    ASSERT_EQ(Run({"sms", "send", "+49 (171) 111-22; ;0172/222", "hi"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "2 messages queued in the Outbox\n");
    ASSERT_EQ(Run({"sms", "outbox"}), 0);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[0].substr(0, 16), "1\t5\t+4917111122\t");
    EXPECT_EQ(Lines()[1].substr(0, 12), "2\t5\t0172222\t");
}

TEST_F(KvoSmsCliTest, TheOutboxCanBeEmptiedOneByOne) {
    ASSERT_EQ(Run({"sms", "send", "111;222;333", "queued"}), 0);
    EXPECT_EQ(Run({"sms", "outbox", "delete", "2"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "message 2 to 222 moved to the Recycle Bin\n");
    EXPECT_EQ(Run({"sms", "outbox", "delete", "3"}), 1);
    EXPECT_EQ(m_err.str(), "kvo: there is no message 3 in the Outbox (it holds 2)\n");
    EXPECT_EQ(Run({"sms", "outbox", "delete", "two"}), 2);
    EXPECT_NE(m_err.str().find("\"two\" is no message number"), std::string::npos);
    EXPECT_EQ(Run({"sms", "outbox", "remove", "1"}), 2);
    EXPECT_NE(m_err.str().find("unknown command \"remove\""), std::string::npos);
    ASSERT_EQ(Run({"sms", "list", "Outbox"}), 0);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1].substr(0, 6), "5\t333\t");
    ASSERT_EQ(Run({"sms", "list", "RECYCLE"}), 0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].substr(0, 6), "9\t222\t");

    // The session sends what is left and nothing else, also when the removal comes after
    // the client read the store.
    StartPhone();
    {
        kvo::CSilentUi ui;
        kvo::CTelmioDoc doc(ui);
        ASSERT_TRUE(doc.OnNewDocument(false));
        ASSERT_EQ(Run({"sms", "outbox", "delete", "1"}), 0);
        doc.SynchronizeSms();
        EXPECT_EQ(doc.Errors().Text(), u"");
    }
    ASSERT_EQ(Run({"sms", "list", "sent"}), 0);
    ASSERT_EQ(Lines().size(), 1u);
    EXPECT_EQ(Lines()[0].substr(0, 6), "8\t333\t");
    ASSERT_EQ(Run({"sms", "outbox", "delete", "1"}), 1);
}

TEST_F(KvoSmsCliTest, TextsOutsideTheGsmAlphabetGoWithoutForce) {
    // The extension table and UCS2 carry these as written; --force is still accepted.
    EXPECT_EQ(Run({"sms", "send", "0171", "5\xE2\x82\xAC [net]"}), 0);
    EXPECT_EQ(m_err.str().find("warning"), std::string::npos) << m_err.str();
    EXPECT_EQ(Run({"sms", "send", "--force", "0171", "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xF0\x9F\x98\x80"}), 0);
    EXPECT_EQ(m_err.str().find("warning"), std::string::npos) << m_err.str();
    EXPECT_EQ(Run({"sms", "send", "0171", "Gr\xC3\xBC\xC3\x9F" "e\n@ $5"}), 0);
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    ASSERT_EQ(Lines().size(), 3u);
    EXPECT_NE(Lines()[0].find("5\xE2\x82\xAC [net]"), std::string::npos) << Lines()[0];
    EXPECT_NE(Lines()[1].find("Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xF0\x9F\x98\x80"), std::string::npos)
        << Lines()[1];

    // A text of 100 parts or more never leaves in part.
    EXPECT_EQ(Run({"sms", "send", "0171", std::string(99 * 154 + 1, 'a')}), 1);
    EXPECT_NE(m_err.str().find(
              "kvo: the text cannot be sent: 100 parts are more than a phone takes (at most 99 "
              "parts, 15246 characters, or 6354 with characters outside the GSM alphabet); "
              "nothing was queued or sent\n"),
              std::string::npos);
    ASSERT_EQ(Run({"sms", "list", "outbox"}), 0);
    EXPECT_EQ(Lines().size(), 3u);
}

TEST_F(KvoSmsCliTest, UsageErrorsNameTheWordAndHelpNamesTheStates) {
    EXPECT_EQ(Run({"sms", "list", "spam"}), 2);
    EXPECT_EQ(m_err.str().substr(0, 35), "kvo sms list: unknown folder \"spam\"");
    EXPECT_EQ(Run({"sms", "list", "inbox", "x"}), 2);
    EXPECT_NE(m_err.str().find("unexpected \"x\""), std::string::npos);
    EXPECT_EQ(Run({"sms", "sync", "now"}), 2);
    EXPECT_NE(m_err.str().find("unexpected \"now\""), std::string::npos);
    EXPECT_EQ(Run({"sms", "send", "--flsh", "0171", "x"}), 2);
    EXPECT_NE(m_err.str().find("unknown option --flsh"), std::string::npos);
    EXPECT_EQ(Run({"sms", "send", "0171", "two", "words"}), 2);
    EXPECT_NE(m_err.str().find("unexpected \"words\""), std::string::npos);
    EXPECT_EQ(Run({"sms", "snd"}), 2);
    EXPECT_NE(m_err.str().find("unknown command \"snd\""), std::string::npos);
    EXPECT_EQ(Run({"sms", "list", "--help"}), 0);
    EXPECT_NE(m_out.str().find("5 outbox"), std::string::npos);
    EXPECT_NE(m_out.str().find("9 deleted (Recycle Bin)"), std::string::npos);
}

TEST_F(KvoSmsCliTest, SessionProblemsSayWhatToDoOnATerminal) {
    // No phone on the port.
    EXPECT_EQ(Run({"sms", "sync"}), 1);
    EXPECT_NE(m_err.str().find("kvo: cannot open port COM3: (Linux device " +
                               (m_device.Root() / "dev" / "COM3").string() +
                               "): no such device (is the phone connected?)"),
              std::string::npos)
        << m_err.str();

    // Another process holds the session lock.
    fs::path lock = ce::MapPath(kvo::InstallPath(u"kvo.lock"));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        int fd = open(lock.c_str(), O_WRONLY | O_CREAT, 0666);
        flock(fd, LOCK_EX);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    StartPhone();
    EXPECT_EQ(Run({"sms", "sync"}), 1);
    EXPECT_EQ(m_out.str(), "Please first stop the Internet connection and try to synchronize again.\n");
    EXPECT_NE(m_err.str().find("kvo: another session holds the lock " + lock.string() +
                               " (process " + std::to_string(holder) + ")"),
              std::string::npos)
        << m_err.str();
    EXPECT_EQ(Run({"sms", "send", "--now", "0171", "x"}), 1);
    EXPECT_NE(m_err.str().find("(process " + std::to_string(holder) + ")"), std::string::npos);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    // An operator the database does not know.
    m_sim.Stop();
    kvo::phone::Scenario odd = kvo::phone::DefaultScenario();
    odd.phone.strOperator = "Nowhere Net";
    odd.phone.strSmsc = "+99999";
    kvo::phone::CPhoneSim nowhere(odd);
    std::string error;
    ASSERT_TRUE(nowhere.Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    EXPECT_EQ(Run({"sms", "sync"}), 1);
    EXPECT_NE(m_out.str().find("Unknown ISP."), std::string::npos);
    EXPECT_NE(m_err.str().find("`kvo settings set smsc NUMBER` and `kvo settings set own-smsc on`"),
              std::string::npos)
        << m_err.str();
    nowhere.Stop();
}

TEST_F(KvoSmsCliTest, AMissingDeviceFolderIsAnError) {
    fs::path missing = m_device.Root() / "no-such-device";
    for (auto cmd : {std::vector<std::string>{"sms", "list"}, {"sms", "sync"}, {"phone", "info"}}) {
        std::vector<std::string> args = {"--device", missing.string()};
        args.insert(args.end(), cmd.begin(), cmd.end());
        EXPECT_EQ(Run(args), 1);
        EXPECT_EQ(m_err.str(), "kvo: the device folder " + missing.string() +
                                   " does not exist; make it with `kvo-device --device " +
                                   missing.string() + " create`, or name another with --device\n");
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(Run({"--device", missing.string(), "sms", "--help"}), 0);
    ce::SetDeviceRoot(m_device.Root());
}

// Writes to regular files fail as on a full disk; the serial line still works.
ssize_t FullDiskWrite(int fd, const void* buf, size_t n) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        errno = ENOSPC;
        return -1;
    }
    return ce::RealSys().write(fd, buf, n);
}

TEST_F(KvoSmsCliTest, OnAFullDiskSendAndSyncFailAndThePhoneKeepsItsMessages) {
    kvo::phone::Scenario full = kvo::phone::DefaultScenario();
    std::string hex, error;
    ASSERT_TRUE(kvo::phone::EncodeDeliver("+491710760000", "+491701234567", "2026-12-08 09:00:00",
                                          "keep me", hex, error));
    kvo::phone::FindStorage(full, "ME")->slots[1] = {1, hex};
    m_sim.Stop();
    kvo::phone::CPhoneSim phone(full);
    ASSERT_TRUE(phone.Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    ASSERT_EQ(Run({"settings", "set", "delete-after-sync", "on"}), 0);
    ASSERT_EQ(Run({"sms", "send", "0171", "queued before"}), 0);

    ce::SysCalls calls = ce::RealSys();
    calls.write = FullDiskWrite;
    {
        ce::ScopedSysOverride disk(calls);
        EXPECT_EQ(Run({"sms", "send", "0172", "does not fit"}), 1);
        EXPECT_NE(m_err.str().find("1 message was not queued: the message store"),
                  std::string::npos)
            << m_err.str();
        EXPECT_EQ(Run({"sms", "sync"}), 1);
        EXPECT_NE(m_out.str().find("Save failed."), std::string::npos) << m_out.str();
        EXPECT_EQ(Run({"sms", "send", "--now", "0173", "sent anyway"}), 1);
        EXPECT_EQ(m_out.str(), "SMS was sent successfully.\n");
        EXPECT_NE(m_err.str().find("kvo: the message was sent, but it could not be filed"),
                  std::string::npos)
            << m_err.str();
    }
    auto state = phone.State();
    EXPECT_EQ(kvo::phone::FindStorage(state, "ME")->slots.size(), 1u);
    auto journal = phone.Journal();
    EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                            [](const std::string& l) { return l.rfind("DEL ", 0) == 0; }),
              0);

    // With room again the next session stores it, then deletes it.
    ASSERT_EQ(Run({"sms", "sync"}), 0) << m_out.str() << m_err.str();
    state = phone.State();
    EXPECT_TRUE(kvo::phone::FindStorage(state, "ME")->slots.empty());
    ASSERT_EQ(Run({"sms", "list", "all"}), 0);
    std::string all = m_out.str();
    EXPECT_NE(all.find("\tkeep me"), std::string::npos);
    EXPECT_EQ(all.find("does not fit"), std::string::npos);
    phone.Stop();
}

TEST_F(KvoSmsCliTest, PhoneInfoTakesThePortOfTheSessions) {
    std::string error;
    fs::path usb = m_device.Root() / "dev" / "USB0";
    ASSERT_TRUE(m_sim.Start(usb.string(), 0, error)) << error;
    EXPECT_EQ(Run({"phone", "info"}), 1);  // nothing on COM3:, the default
    EXPECT_NE(m_err.str().find("cannot open port COM3:"), std::string::npos) << m_err.str();
    ASSERT_EQ(Run({"settings", "set", "user-port", usb.string()}), 0) << m_err.str();
    ASSERT_EQ(Run({"phone", "info"}), 0) << m_err.str();
    EXPECT_NE(m_out.str().find("manufacturer: KVO Mobile"), std::string::npos);
    ASSERT_EQ(Run({"settings", "set", "user-port", ""}), 0);
    ASSERT_EQ(Run({"settings", "set", "modem", "Generic IrDA-modem"}), 0);
    EXPECT_EQ(Run({"phone", "info", "--port", usb.string()}), 0);
    EXPECT_EQ(Run({"phone", "info", "--port"}), 2);
    EXPECT_NE(m_err.str().find("--port needs a PORT"), std::string::npos);
}

TEST(KvoSmsList, EveryMessageStaysOnOneLine) {
    EXPECT_EQ(kvo::cli::ListLine(1, u"+49", "2026-12-08 10:00:00", u"a\r\nb\nc\td\\e"),
              "1\t+49\t2026-12-08 10:00:00\ta\\nb\\nc\\td\\\\e");
}

}  // namespace

namespace {

TEST_F(KvoSmsCliTest, ListShowsSenderNamesUcs2AndLongMessagesJoined) {
    StartPhone();
    std::string hex, error;
    ASSERT_TRUE(kvo::phone::EncodeDeliver("+491710760000", "T-Mobile", "2026-12-08 09:00:00",
                                          "Dzie\xC5\x84 dobry \xF0\x9F\x98\x80", hex, error))
        << error;
    ASSERT_TRUE(m_sim.InjectSms("ME", hex, error)) << error;
    for (int seq : {2, 1}) {
        kvo::phone::DeliverForm form;
        form.nRef = 5;
        form.nSeq = seq;
        form.nCount = 2;
        ASSERT_TRUE(kvo::phone::EncodeDeliver("+491710760000", "+4917", "2026-12-08 09:01:00",
                                              seq == 1 ? "first half, " : "second half", hex,
                                              error, form))
            << error;
        ASSERT_TRUE(m_sim.InjectSms("ME", hex, error)) << error;
    }
    ASSERT_EQ(Run({"sms", "sync"}), 0) << m_err.str();
    ASSERT_EQ(Run({"sms", "list", "inbox"}), 0);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u) << m_out.str();
    EXPECT_EQ(lines[0].substr(0, 11), "0\tT-Mobile\t");
    EXPECT_NE(lines[0].find("\tDzie\xC5\x84 dobry \xF0\x9F\x98\x80"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("\tfirst half, second half"), std::string::npos) << lines[1];
}

}  // namespace
