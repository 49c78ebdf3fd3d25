// The client's sessions against the simulated phone on a real pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "kvocomm/kvocomm.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/session/handoff.h"
#include "telmio/session/telmio_doc.h"
#include "telmio/sms/sms_pdu.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"
#include "tools/kvophone/sms_pdu.h"

namespace fs = std::filesystem;

namespace {

using namespace kvo;

const char kScenario[] = R"([phone]
manufacturer = KVO Mobile
model = SP-1
serial = 350000000000001
operator = T-Mobile D
smsc = +491710760000
echo = on
[sms ME]
size = 6
1 = 1,+491701234567,2026-12-07 18:42:10+01:00,Are we still on for dinner tonight?
2 = 0,+4930123456,2026-12-08 07:05:00+01:00,"Meeting moved to 10:00.\nRoom 2.14"
4 = 3,+491701234567,,See you at eight!
5 = 2,+491701234567,,Not sent yet
[sms SM]
size = 3
2 = 0,+491711234567,2026-12-08 08:30:00+01:00,Good morning from Anna
)";

struct Decoded {
    std::u16string number, text;
};

Decoded DecodeSubmitted(const std::string& hex) {
    CSmsPdu pdu;
    std::string gsm, number;
    EXPECT_GE(pdu.DecodeSubmit(hex, gsm, number), 0) << hex;
    std::u16string text = Widen(gsm);
    pdu.GsmToUnicode(text);
    return {Widen(number), text};
}

class PhoneSessionTest : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        fs::path bin = fs::path(KVO_BINARY_DIR) / "bin";
        ASSERT_TRUE(device::CreateDevice(bin, error)) << error;
        ce::SetAppName(u"telmio");
        ASSERT_TRUE(phone::ParseScenario(kScenario, m_scenario, error)) << error;
    }
    void TearDown() override {
        m_doc.reset();
        if (m_sim) m_sim->Stop();
    }
    void StartPhone() {
        m_sim = std::make_unique<phone::CPhoneSim>(m_scenario);
        std::string error;
        ASSERT_TRUE(m_sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    CTelmioDoc& Doc() {
        if (!m_doc) {
            m_doc = std::make_unique<CTelmioDoc>(m_ui);
            EXPECT_TRUE(m_doc->OnNewDocument(false));
        }
        return *m_doc;
    }
    std::vector<CSmsMessage*> InState(int state) {
        std::vector<CSmsMessage*> out;
        for (auto& m : Doc().Store().Messages())
            if (m->m_nState == state) out.push_back(m.get());
        return out;
    }
    std::vector<std::string> Submitted() {
        std::vector<std::string> out;
        for (const auto& line : m_sim->Journal())
            if (line.rfind("SMS ", 0) == 0) out.push_back(line.substr(4));
        return out;
    }
    void ExpectLockFree() {
        ce::File lock = ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::CREATE_ALWAYS);
        EXPECT_TRUE(lock.IsOpen()) << "the session kept kvo.lock";
        EXPECT_EQ(Doc().Comm().Running(), 0) << "the session kept its worker";
        EXPECT_FALSE(Doc().Comm().PortOpen()) << "the session kept the port";
    }

    phone::Scenario m_scenario;
    std::unique_ptr<phone::CPhoneSim> m_sim;
    CRecordingUi m_ui;
    std::unique_ptr<CTelmioDoc> m_doc;
};

TEST_F(PhoneSessionTest, SendNowReachesThePhoneAndFilesTheMessageAsSent) {
    StartPhone();
    EXPECT_EQ(Doc().SendNow(u"+491711234567", u"Hello from the road", false),
              u"SMS was sent successfully.");
    auto pdus = Submitted();
    ASSERT_EQ(pdus.size(), 1u);
    Decoded d = DecodeSubmitted(pdus[0]);
    EXPECT_EQ(d.number, u"+491711234567");
    EXPECT_EQ(d.text, u"Hello from the road");
    auto sent = InState(SMS_SENT);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->m_strText, u"Hello from the road");
    EXPECT_GE(sent[0]->m_nFilePos, 0);  // written to the store at once
    ExpectLockFree();
}

TEST_F(PhoneSessionTest, SyncSendsTheOutboxReadsBothStoragesAndImportsOnce) {
    StartPhone();
    std::u16string longText(155, u'x');
    EXPECT_EQ(Doc().QueueMessage(u"+491711111111;;0301234", longText, true), 2);
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");

    auto pdus = Submitted();
    ASSERT_EQ(pdus.size(), 4u);  // two recipients, two parts each
    EXPECT_EQ(DecodeSubmitted(pdus[0]).text, u"1/2:" + std::u16string(154, u'x'));
    EXPECT_EQ(DecodeSubmitted(pdus[1]).text, u"2/2:x");
    EXPECT_EQ(DecodeSubmitted(pdus[3]).number, u"0301234");
    CSmsPdu pdu;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(pdu.HexToBytes(pdus[1], bytes), 0);
    EXPECT_NE(std::find(bytes.begin(), bytes.end(), 0xF0), bytes.end());  // flash on every part
    EXPECT_EQ(InState(SMS_SENT).size(), 2u);
    EXPECT_TRUE(InState(SMS_OUTBOX_FLASH).empty());

    // Inbox: ME 1 and 2, SM 2; the sent message in ME 4 as state 3; the unsent one skipped.
    EXPECT_EQ(InState(SMS_READ).size(), 1u);
    ASSERT_EQ(InState(SMS_UNREAD).size(), 2u);
    auto sentOnPhone = InState(SMS_SENT_ON_PHONE);
    ASSERT_EQ(sentOnPhone.size(), 1u);
    EXPECT_EQ(sentOnPhone[0]->m_nIndex, 4);
    auto unread = InState(SMS_UNREAD);
    auto meeting = std::find_if(unread.begin(), unread.end(),
                                [](auto* m) { return m->m_strNumber == u"+4930123456"; });
    ASSERT_NE(meeting, unread.end());
    EXPECT_EQ((*meeting)->m_strText, u"Meeting moved to 10:00.\r\nRoom 2.14");
    EXPECT_EQ((*meeting)->m_nStorage, STORAGE_ME);
    size_t total = Doc().Store().Messages().size();

    // The store was saved whole and reloads with everything.
    CSmsStore reloaded(m_ui);
    ASSERT_TRUE(reloaded.LoadStore());
    EXPECT_EQ(reloaded.Messages().size(), total);

    // The same phone again imports nothing new, also not a message moved to a user folder.
    ASSERT_TRUE(Doc().Store().MoveMessage(**meeting, 5));
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    EXPECT_EQ(Doc().Store().Messages().size(), total);
    ExpectLockFree();
}

TEST_F(PhoneSessionTest, RefusedSubmitKeepsTheMessageQueuedAndStillReads) {
    m_scenario.quirks.errorFor = {"AT+CMGS"};
    StartPhone();
    Doc().QueueMessage(u"+491711111111", u"stays", false);
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"Error sending SMS message.");
    EXPECT_EQ(InState(SMS_OUTBOX).size(), 1u);
    EXPECT_TRUE(Submitted().empty());
    EXPECT_EQ(InState(SMS_UNREAD).size(), 2u);  // reading went on
}

TEST_F(PhoneSessionTest, StorageReportsOfZeroAndPlainOk) {
    m_scenario.quirks.bCpmsTotalZero = true;
    StartPhone();
    Doc().SynchronizeSms();
    // The model's fallback size is used: ME slots beyond the real 6 read as empty.
    EXPECT_EQ(Doc().Errors().Text(), u"");
    EXPECT_EQ(InState(SMS_UNREAD).size(), 2u);
    EXPECT_GT(Doc().Phone().m_nMemoryFallback, 0);

    m_sim->UpdateQuirks([](phone::Quirks& q) {
        q.bCpmsTotalZero = false;
        q.bCpmsEmpty = true;
    });
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");  // a plain OK ends the read successfully
}

TEST_F(PhoneSessionTest, DeleteAfterSyncKeepsTheUnsentMessageItDoesNotImport) {
    StartPhone();
    Doc().Settings().m_ini.m_bDeleteAfterSync = true;
    Doc().SynchronizeSms();
    auto state = m_sim->State();
    // Only what is in the store leaves the phone.
    auto& me = phone::FindStorage(state, "ME")->slots;
    ASSERT_EQ(me.size(), 1u);
    EXPECT_EQ(me.begin()->first, 5);
    EXPECT_TRUE(phone::FindStorage(state, "SM")->slots.empty());
    for (auto& m : Doc().Store().Messages()) EXPECT_NE(m->m_strText, u"Not sent yet");
}

TEST_F(PhoneSessionTest, DeletionsOnThePhoneCheckTheSlotFirst) {
    StartPhone();
    Doc().SynchronizeSms();
    auto read = InState(SMS_READ);
    ASSERT_EQ(read.size(), 1u);
    ASSERT_TRUE(Doc().DeleteMessage(*read[0], 1));  // phone only: a hidden copy in state 10
    EXPECT_EQ(InState(SMS_DELETE_ON_PHONE).size(), 1u);
    EXPECT_EQ(InState(SMS_READ).size(), 1u);

    // Anna's SIM message is marked too, but its slot now holds another message.
    auto unread = InState(SMS_UNREAD);
    auto anna = *std::find_if(unread.begin(), unread.end(),
                              [](auto* m) { return m->m_nStorage == STORAGE_SM; });
    ASSERT_TRUE(Doc().DeleteMessage(*anna, 2));
    std::string error;
    m_sim->Stop();
    auto state = m_sim->State();
    phone::FindStorage(state, "SM")->slots[2].strPdu.clear();
    std::string hex;
    ASSERT_TRUE(phone::EncodeDeliver("+491710760000", "+491700000000", "2026-12-08 09:00:00",
                                     "Something else", hex, error));
    phone::FindStorage(state, "SM")->slots[2] = {0, hex};
    m_scenario = state;
    StartPhone();

    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    auto journal = m_sim->Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "DEL ME 1"), journal.end());
    EXPECT_EQ(std::find(journal.begin(), journal.end(), "DEL SM 2"), journal.end());
    EXPECT_TRUE(InState(SMS_DELETE_ON_PHONE).empty());
    EXPECT_EQ(InState(SMS_DELETED).size(), 3u);  // both copies and Anna's message
}

TEST_F(PhoneSessionTest, DeleteAllRequestIsClearedBeforeItRuns) {
    m_scenario.quirks.hangupIn = {"AT+CMGD"};
    StartPhone();
    Doc().RequestDeleteAll(false);
    Doc().RequestDeleteAll(true);
    Doc().SynchronizeSms();
    std::u16string errors = Doc().Errors().Text();
    EXPECT_NE(errors.find(u"Deleting ALL SMS messages from Phone - failed."), std::u16string::npos);
    EXPECT_NE(errors.find(u"Deleting ALL SMS messages from SIM - failed."), std::u16string::npos);
    EXPECT_FALSE(Doc().DeleteAllPending(false));
    EXPECT_FALSE(Doc().DeleteAllPending(true));
    ExpectLockFree();
}

TEST_F(PhoneSessionTest, ASessionWhileAnotherProcessHoldsTheLockDoesNothing) {
    StartPhone();
    Doc();
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        ce::File lock = ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::CREATE_ALWAYS);
        char c = lock ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    Doc().QueueMessage(u"+491711111111", u"waits", false);
    Doc().SynchronizeSms();
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(Doc().Errors().Text(),
              u"Please first stop the Internet connection and try to synchronize again.");
    EXPECT_TRUE(m_sim->Journal().empty());
    EXPECT_EQ(InState(SMS_OUTBOX).size(), 1u);
}

TEST_F(PhoneSessionTest, AnIndicationAnsweringTheHandshakeFailsTheAttempt) {
    StartPhone();
    m_sim->AddScriptRule("AT\r", "AT\r\r\n+CMTI: \"ME\",3\r\n");
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(),
              u"There is no connection possible to your device. Please check the 'Hardware' "
              u"settings in setup and try again.\n---\nSynchronization failed.");
    int handshakes = 0;
    for (const auto& line : m_sim->Journal()) handshakes += line.rfind("RULE AT", 0) == 0;
    EXPECT_EQ(handshakes, 3);
    ExpectLockFree();
}

TEST_F(PhoneSessionTest, NoUsableDeviceAndNoUserPortIsAnUnknownConnectionMethod) {
    StartPhone();
    Doc().Settings().m_ini.m_strModemDevice = u"Bluetooth modem";  // no such device
    Doc().SynchronizeSms();
    EXPECT_EQ(m_ui.Messages().back(),
              u"Unknown connection method\nMove into setup an choose for Hardware "
              u"'Generic IrDA-modem'.");
    EXPECT_EQ(Doc().Errors().Text(), u"Synchronization failed.");

    // A user port goes straight to the line.
    Doc().Settings().m_bUserPort = true;
    Doc().Settings().m_strUserPort = ce::FromUtf8((m_device.Root() / "dev" / "COM3").string());
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
}

TEST_F(PhoneSessionTest, HandOffDuringASynchronisationIsDropped) {
    StartPhone();
    ASSERT_TRUE(WriteHandoffFile(Doc().AppDir(), u"+49 171 / 1234"));
    Doc().Flags().m_bBusy = true;
    EXPECT_FALSE(Doc().TakeHandoff());
    EXPECT_FALSE(ce::FileExists(Doc().AppDir() + u"newsms.tmp"));
    EXPECT_EQ(m_ui.Messages().back(),
              u"New SMS could not be created, because of the synchronization is still in progress.");
    Doc().Flags().m_bBusy = false;
    ASSERT_TRUE(WriteHandoffFile(Doc().AppDir(), u"+49 171 / 1234"));
    EXPECT_EQ(Doc().TakeHandoff().value_or(u""), u"+491711234");
}

// Unplugging the phone in the middle never loses or doubles an outbox message.
TEST_F(PhoneSessionTest, UnpluggedDuringSendingOrReadingLosesNothing) {
    for (const char* when : {"sending", "listing", "reading slots"}) {
        SCOPED_TRACE(when);
        const bool duringSend = when == std::string("sending");
        if (when == std::string("listing")) m_scenario.quirks.hangupIn = {"AT+CMGL=4"};
        if (when == std::string("reading slots")) {
            m_scenario.quirks.hangupIn = {"AT+CMGR=2"};
            m_scenario.dialect.strCmgl = "error";
        }
        StartPhone();
        Doc().QueueMessage(u"+491711111111", u"first", false);
        Doc().QueueMessage(u"+491722222222", u"second", false);
        std::thread unplug;
        if (duringSend)
            unplug = std::thread([this] {
                if (m_sim->WaitForJournal("SMS ", 10000)) m_sim->HangUp();
            });
        Doc().SynchronizeSms();
        if (unplug.joinable()) unplug.join();
        EXPECT_NE(Doc().Errors().Text().find(u"Synchronization failed."), std::u16string::npos);
        for (auto* text : {u"first", u"second"}) {
            int copies = 0;
            for (auto& m : Doc().Store().Messages())
                if (m->m_strText == text &&
                    (m->m_nState == SMS_OUTBOX || m->m_nState == SMS_SENT))
                    ++copies;
            EXPECT_EQ(copies, 1) << ce::ToUtf8(text);
        }
        // What the file holds agrees.
        CSmsStore onDisk(m_ui);
        onDisk.LoadStore();
        int queuedOrSent = 0;
        for (auto& m : onDisk.Messages())
            queuedOrSent += m->m_nState == SMS_OUTBOX || m->m_nState == SMS_SENT;
        EXPECT_EQ(queuedOrSent, 2);
        ExpectLockFree();
        m_sim->Stop();
        m_doc.reset();
        ce::DeleteFile(InstallPath(u"kvo.sms"));
    }
}

TEST_F(PhoneSessionTest, StoppingTheAutomaticWorkerWaitsForItsSession) {
    m_scenario.quirks.nReplyDelayMs = 20;
    StartPhone();
    Doc().Settings().m_ini.m_nInterval = 0;  // the first countdown ends at once
    Doc().StartAutoSync();
    ASSERT_TRUE(m_sim->WaitForJournal("> AT+CPMS", 10000));
    EXPECT_TRUE(Doc().Flags().m_bSessionRunning);
    Doc().StopAutoSync();
    EXPECT_FALSE(Doc().Flags().m_bSessionRunning);
    ExpectLockFree();
}

}  // namespace

namespace {

using namespace kvo;

std::vector<std::pair<std::u16string, int>> OnFile(IUserInterface& ui) {
    CSmsStore store(ui);
    EXPECT_TRUE(store.LoadStore());
    std::vector<std::pair<std::u16string, int>> out;
    for (auto& m : store.Messages()) out.emplace_back(m->m_strText, m->m_nState);
    return out;
}

TEST_F(PhoneSessionTest, AReadFailingHalfWayDeletesOnlyWhatIsOnFile) {
    m_scenario.quirks.hangupIn = {"AT+CMGR=4"};
    m_scenario.dialect.strCmgl = "error";  // slot by slot
    StartPhone();
    Doc().Settings().m_ini.m_bDeleteAfterSync = true;
    Doc().SynchronizeSms();
    EXPECT_NE(Doc().Errors().Text().find(u"Synchronization failed."), std::u16string::npos);
    auto state = m_sim->State();
    // ME 1 and 2 were read, stored and deleted; the read ended at 4; the SIM was not reached.
    std::vector<int> left;
    for (auto& [slot, _] : phone::FindStorage(state, "ME")->slots) left.push_back(slot);
    EXPECT_EQ(left, (std::vector<int>{4, 5}));
    EXPECT_EQ(phone::FindStorage(state, "SM")->slots.size(), 1u);
    auto file = OnFile(m_ui);
    ASSERT_EQ(file.size(), 2u);
    EXPECT_EQ(file[0].first, u"Are we still on for dinner tonight?");
    EXPECT_EQ(file[1].first, u"Meeting moved to 10:00.\r\nRoom 2.14");

    // The next session finds them stored and imports nothing twice.
    m_sim->Stop();
    m_scenario = m_sim->State();
    m_scenario.quirks = {};
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    EXPECT_EQ(OnFile(m_ui).size(), 4u);  // plus the sent one in ME 4 and Anna's
}

// The listing read with deletion: the line goes while slot 2 is deleted; what is gone from
// the phone is on file, and the next session imports nothing twice.
TEST_F(PhoneSessionTest, AListingReadFailingWhileDeletingImportsNothingTwice) {
    m_scenario.quirks.hangupIn = {"AT+CMGD=2"};
    StartPhone();
    Doc().Settings().m_ini.m_bDeleteAfterSync = true;
    Doc().SynchronizeSms();
    EXPECT_NE(Doc().Errors().Text().find(u"Synchronization failed."), std::u16string::npos);
    auto state = m_sim->State();
    // 1 and 2 went (the line closed after 2); 4 was filed but its deletion never arrived;
    // the unsent message in 5 is never deleted.
    std::vector<int> left;
    for (auto& [slot, _] : phone::FindStorage(state, "ME")->slots) left.push_back(slot);
    EXPECT_EQ(left, (std::vector<int>{4, 5}));
    EXPECT_EQ(phone::FindStorage(state, "SM")->slots.size(), 1u);
    EXPECT_EQ(OnFile(m_ui).size(), 3u);

    m_sim->Stop();
    m_scenario = m_sim->State();
    m_scenario.quirks = {};
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    EXPECT_EQ(OnFile(m_ui).size(), 4u);
    std::vector<int> after;
    phone::Scenario now = m_sim->State();
    for (auto& [slot, _] : phone::FindStorage(now, "ME")->slots) after.push_back(slot);
    EXPECT_EQ(after, (std::vector<int>{5}));
}

// Every way a phone answers the listing: those it gives whole are used, the rest send the
// read slot by slot; either way each message arrives once, with delete-after-sync on.
TEST_F(PhoneSessionTest, EveryListingFormReadsEachMessageOnce) {
    struct Form {
        const char* name;
        void (*apply)(phone::Scenario&);
        bool listed;  // the listing was used, no slot read
    };
    const Form forms[] = {
        {"plain", [](phone::Scenario&) {}, true},
        {"without final OK", [](phone::Scenario& s) { s.dialect.noFinalOk = {"AT+CMGL"}; }, true},
        {"names and no blanks",
         [](phone::Scenario& s) {
             s.dialect.strCmgrHeader = "alpha";
             s.dialect.bNoSpace = true;
         },
         true},
        {"counted from 0, status lines inside",
         [](phone::Scenario& s) {
             s.dialect.nFirstIndex = 0;
             s.dialect.unsolicited = {"+CMTI: \"SM\",1", "^RSSI:17"};
             s.dialect.strUnsolicitedAt = "inside";
         },
         true},
        // A phone reading each entry from its SIM pauses between them; the listing is not
        // cut there, or its rest would answer the slot reads in their stead.
        {"pausing between entries",
         [](phone::Scenario& s) {
             s.dialect.nCmglPauseMs = 600;
             s.dialect.noFinalOk = {"AT+CMGL"};
         },
         true},
        {"refused", [](phone::Scenario& s) { s.dialect.strCmgl = "error"; }, false},
        {"refused by code", [](phone::Scenario& s) { s.dialect.strCmgl = "cms302"; }, false},
        {"garbled", [](phone::Scenario& s) { s.dialect.strCmgl = "cut"; }, false},
        {"short", [](phone::Scenario& s) { s.dialect.nCmglMax = 1; }, false},
    };
    const phone::Scenario original = m_scenario;
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        m_scenario = original;
        form.apply(m_scenario);
        StartPhone();
        Doc().Settings().m_ini.m_bDeleteAfterSync = true;
        Doc().SynchronizeSms();
        EXPECT_EQ(Doc().Errors().Text(), u"");
        std::vector<std::u16string> texts;
        for (auto& m : Doc().Store().Messages()) texts.push_back(m->m_strText);
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, (std::vector<std::u16string>{u"Are we still on for dinner tonight?",
                                                      u"Good morning from Anna",
                                                      u"Meeting moved to 10:00.\r\nRoom 2.14",
                                                      u"See you at eight!"}));
        EXPECT_EQ(OnFile(m_ui).size(), 4u);
        // Only the unsent message stays on the phone.
        phone::Scenario now = m_sim->State();
        EXPECT_EQ(phone::FindStorage(now, "ME")->slots.size(), 1u);
        EXPECT_TRUE(phone::FindStorage(now, "SM")->slots.empty());
        bool slotRead = false;
        for (const std::string& line : m_sim->Journal())
            slotRead |= line.rfind("> AT+CMGR", 0) == 0;
        EXPECT_EQ(slotRead, !form.listed);
        m_sim->Stop();
        m_doc.reset();
        ce::DeleteFile(InstallPath(u"kvo.sms"));
    }
}

// A phone that never finishes its listing (it hangs, as some do): after the time-out the
// read goes slot by slot, and what the phone still sends does not spoil the next replies.
TEST_F(PhoneSessionTest, AListingThatNeverEndsFallsBackAfterItsTimeOut) {
    m_scenario.quirks.silentFor = {"AT+CMGL"};
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    EXPECT_EQ(Doc().Store().Messages().size(), 4u);
    int listings = 0;
    for (const std::string& line : m_sim->Journal()) listings += line == "> AT+CMGL=4";
    EXPECT_EQ(listings, 1);  // not asked again for the SIM
}

TEST_F(PhoneSessionTest, AStoreThatDidNotLoadStartsNoSession) {
    // Something the store cannot be read from: a folder in its place.
    fs::create_directory(ce::MapPath(InstallPath(u"kvo.sms")));
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"Error reading datafile.\n---\nSynchronization failed.");
    EXPECT_TRUE(m_sim->Journal().empty());  // the phone was never asked
    EXPECT_NE(Doc().SendNow(u"+491711234567", u"x", false), u"SMS was sent successfully.");
    EXPECT_TRUE(m_sim->Journal().empty());
    EXPECT_TRUE(fs::is_directory(ce::MapPath(InstallPath(u"kvo.sms"))));
}

TEST_F(PhoneSessionTest, TextsNoPhoneCanTakeAreRefusedWholeAndNeverSentInPart) {
    StartPhone();
    // Part 10 of 100 would need 161 characters.
    const std::u16string text(99 * 154 + 1, u'a');
    EXPECT_FALSE(Doc().CanSend(u"+491711234567", text, false));
    EXPECT_EQ(Doc().QueueMessage(u"+491711234567", text, false), 0);
    EXPECT_EQ(m_ui.Messages().back(), u"Can not create SMS message");
    EXPECT_TRUE(Doc().CanSend(u"+491711234567", std::u16string(98 * 154, u'a'), false));
    EXPECT_TRUE(InState(SMS_OUTBOX).empty());

    // One queued by an older program is not sent in part either, session after session.
    Doc().Store().AddMessage([] {
        auto m = std::make_unique<CSmsMessage>();
        m->m_nState = SMS_OUTBOX;
        m->m_strNumber = u"+491711234567";
        m->m_strText = std::u16string(99 * 154 + 1, u'a');
        return m;
    }());
    for (int round = 0; round < 2; ++round) {
        Doc().SynchronizeSms();
        EXPECT_EQ(Doc().Errors().Text(),
                  u"Can not create SMS message\n---\nError sending SMS message.");
    }
    EXPECT_TRUE(Submitted().empty());
    EXPECT_EQ(InState(SMS_OUTBOX).size(), 1u);
    EXPECT_NE(Doc().SendNow(u"+491711234567", text, false),
              u"SMS was sent successfully.");
    EXPECT_TRUE(Submitted().empty());
}

TEST_F(PhoneSessionTest, MessagesQueuedElsewhereBeforeOrDuringASyncAreKept) {
    m_scenario.quirks.nReplyDelayMs = 5;
    StartPhone();
    Doc().QueueMessage(u"+491711111111", u"queued here", false);
    auto queue = [this](const std::u16string& text) {
        CSilentUi silent;
        CSmsStore other(silent);
        ASSERT_TRUE(other.LoadStore());
        auto m = std::make_unique<CSmsMessage>();
        m->m_nState = SMS_OUTBOX;
        m->m_strNumber = u"+491722222222";
        m->m_strText = text;
        ASSERT_GE(other.AddMessage(std::move(m)).m_nFilePos, 0);
    };
    // Another program queues after this one read the store, then while the session reads
    // the phone, after it took its outbox.
    queue(u"queued before");
    std::thread during([&] {
        if (m_sim->WaitForJournal("> AT+CMGL=4", 10000)) queue(u"queued during");
    });
    Doc().SynchronizeSms();
    during.join();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    auto file = OnFile(m_ui);
    auto has = [&](const std::u16string& text, int state) {
        return std::count(file.begin(), file.end(), std::make_pair(text, state));
    };
    EXPECT_EQ(has(u"queued here", SMS_SENT), 1);
    EXPECT_EQ(has(u"queued before", SMS_SENT), 1);
    EXPECT_EQ(has(u"queued during", SMS_OUTBOX), 1);
    // The next session sends it.
    Doc().SynchronizeSms();
    file = OnFile(m_ui);
    EXPECT_EQ(has(u"queued during", SMS_SENT), 1);
    EXPECT_EQ(has(u"queued during", SMS_OUTBOX), 0);
    EXPECT_EQ(Submitted().size(), 3u);
}

}  // namespace

namespace {

// A phone holding what networks really deliver, in the scenario's slot forms: a sender name
// with the extension table, UCS2 with an emoji, 8-bit data to a port, and a long message whose
// third part lies before its first and whose second has not arrived yet.
const char kNetworkScenario[] = R"([phone]
smsc = +491710760000
[sms ME]
size = 10
1 = 0,T-Mobile,2026-12-08 09:00:00+01:00,Your balance: 12.50 € [prepaid]
2 = 0,+48601234567,2026-12-08 09:01:00+01:00,Zażółć gęślą jaźń 😀
3 = 1 data port=2948,+491711234567,2026-12-08 09:02:00+01:00,00FF1020
4 = 0 part=3/3 ref=200,+491709999999,2026-12-08 09:03:00+01:00,the third.
6 = 0 part=1/3 ref=200,+491709999999,2026-12-08 09:03:00+01:00,"This is the first, "
[sms SM]
size = 3
)";

class NetworkFormsTest : public PhoneSessionTest {
protected:
    void SetUp() override {
        PhoneSessionTest::SetUp();
        std::string error;
        ASSERT_TRUE(phone::ParseScenario(kNetworkScenario, m_scenario, error)) << error;
    }
    CSmsMessage* From(const std::u16string& number, int state) {
        for (auto* m : InState(state))
            if (m->m_strNumber == number) return m;
        return nullptr;
    }
};

TEST_F(NetworkFormsTest, EveryFormReadsBackAndALongMessageRejoinsWhenItsLastPartArrives) {
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    CSmsMessage* name = From(u"T-Mobile", SMS_UNREAD);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->m_strText, u"Your balance: 12.50 \u20AC [prepaid]");
    CSmsMessage* polish = From(u"+48601234567", SMS_UNREAD);
    ASSERT_NE(polish, nullptr);
    EXPECT_EQ(polish->m_strText, ce::FromUtf8("Zażółć gęślą jaźń 😀"));
    CSmsMessage* data = From(u"+491711234567", SMS_READ);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->m_strText, u"00FF1020");
    // Two of three parts: each shown as it came, nothing joined yet.
    std::vector<CSmsMessage*> parts;
    for (auto* m : InState(SMS_UNREAD))
        if (m->m_strNumber == u"+491709999999") parts.push_back(m);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_TRUE(InState(SMS_JOINED_PART).empty());

    // The missing part arrives before the next sync; the parts become one message.
    std::string hex, error;
    phone::DeliverForm form;
    form.nRef = 200;
    form.nSeq = 2;
    form.nCount = 3;
    ASSERT_TRUE(phone::EncodeDeliver("+491710760000", "+491709999999", "2026-12-08 09:04:00",
                                     "then the second; ", hex, error, form))
        << error;
    int slot = 0;
    ASSERT_TRUE(m_sim->InjectSms("ME", hex, error, &slot)) << error;
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    CSmsMessage* joined = From(u"+491709999999", SMS_UNREAD);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(joined->m_strText, u"This is the first, then the second; the third.");
    EXPECT_EQ(joined->m_nIndex, 6);  // where part 1 is
    EXPECT_EQ(InState(SMS_JOINED_PART).size(), 3u);
    size_t total = Doc().Store().Messages().size();

    // Reloaded from the store, it is still one message made of its parts.
    CSmsStore reloaded(m_ui);
    ASSERT_TRUE(reloaded.LoadStore());
    ASSERT_EQ(reloaded.Messages().size(), total);
    int hidden = 0;
    for (const auto& m : reloaded.Messages()) {
        if (m->m_nState == SMS_JOINED_PART) {
            ++hidden;
            EXPECT_EQ(m->m_part.m_nReference, 200);
            EXPECT_EQ(m->m_part.m_nCount, 3);
        }
    }
    EXPECT_EQ(hidden, 3);

    // A third read imports nothing; deleting it on the phone empties every part's slot.
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Store().Messages().size(), total);
    ASSERT_TRUE(Doc().DeleteMessage(*joined, 1));
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    phone::Scenario state = m_sim->State();
    const phone::SmsStorage* me = phone::FindStorage(state, "ME");
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(me->slots.count(4), 0u);
    EXPECT_EQ(me->slots.count(6), 0u);
    EXPECT_EQ(me->slots.count(slot), 0u);
    EXPECT_EQ(me->slots.count(1), 1u);
    EXPECT_NE(From(u"+491709999999", SMS_UNREAD), nullptr);  // still on the handheld
}

TEST_F(NetworkFormsTest, TextsOutsideTheGsmAlphabetLeaveAsUcs2AndArriveAsWritten) {
    StartPhone();
    std::u16string text = ce::FromUtf8("Zażółć gęślą jaźń 😀 €");
    EXPECT_EQ(Doc().SendNow(u"+48601234567", text, false), u"SMS was sent successfully.");
    std::u16string longText = std::u16string(100, u'\u0436');
    EXPECT_EQ(Doc().SendNow(u"+48601234567", longText, false), u"SMS was sent successfully.");
    auto pdus = Submitted();
    ASSERT_EQ(pdus.size(), 3u);
    CSmsPdu pdu;
    CDecodedSms d;
    ASSERT_GE(pdu.DecodeMessage(pdus[0], true, d), 0);
    EXPECT_EQ(d.m_strText, text);
    ASSERT_GE(pdu.DecodeMessage(pdus[2], true, d), 0);
    EXPECT_EQ(d.m_strText, u"2/2:" + std::u16string(34, u'\u0436'));
    // The phone's journal shows what it was given.
    auto journal = m_sim->Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(),
                        "TEXT +48601234567 Zażółć gęślą jaźń 😀 €"),
              journal.end());
}

TEST_F(NetworkFormsTest, TheDemoInboxShowsTheOperatorsNameAndTheJoinedMessage) {
    std::ifstream in(std::string(KVO_SOURCE_DIR) + "/tools/kvophone/scenarios/demo.scn");
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    ASSERT_TRUE(phone::ParseScenario(text.str(), m_scenario, error)) << error;
    StartPhone();
    Doc().SynchronizeSms();
    EXPECT_EQ(Doc().Errors().Text(), u"");
    CSmsMessage* operatorMessage = From(u"T-Mobile", SMS_READ);
    ASSERT_NE(operatorMessage, nullptr);
    EXPECT_EQ(operatorMessage->m_strText,
              u"Your balance is 12.50 \u20AC. Top up at [www.t-mobile.de].");
    CSmsMessage* joined = From(u"+491709876543", SMS_UNREAD);
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(joined->m_strText, u"The client shows the parts of a long message, joined.");
}

}  // namespace
