// Every named phone profile through a whole SMS synchronisation: the outbox goes out, every
// message on the phone is imported once, the phone and its operator are detected.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/narrow.h"
#include "platform/device.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/contacts/address_book.h"
#include "telmio/session/telmio_doc.h"
#include "telmio/sms/sms_message.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;

namespace {

using namespace kvo;

class CRecordingUi : public IUserInterface {
public:
    void SetStatus(const std::u16string&) override {}
    void SetProgress(int, int) override {}
    void MessageBox(const std::u16string& text, const std::u16string& = {}) override {
        m_boxes.push_back(text);
    }
    bool Ask(const std::u16string&) override { return false; }
    std::vector<std::u16string> m_boxes;
};

std::vector<std::string> Profiles() {
    std::vector<std::string> out;
    for (const auto& e :
         fs::directory_iterator(fs::path(KVO_SOURCE_DIR) / "tools/kvophone/scenarios/profiles")) {
        if (e.path().extension() == ".scn")
            out.push_back(e.path().stem().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

class CProfileTest : public test::DeviceTest, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetAppName(u"telmio");
        fs::path file =
            fs::path(KVO_SOURCE_DIR) / "tools/kvophone/scenarios/profiles" / (GetParam() + ".scn");
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        ASSERT_TRUE(phone::ParseScenario(text.str(), m_scenario, error)) << file << ": " << error;
        m_sim = std::make_unique<phone::CPhoneSim>(m_scenario);
        ASSERT_TRUE(m_sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    void TearDown() override {
        m_doc.reset();
        if (m_sim)
            m_sim->Stop();
    }

    phone::Scenario m_scenario;
    std::unique_ptr<phone::CPhoneSim> m_sim;
    CRecordingUi m_ui;
    std::unique_ptr<CTelmioDoc> m_doc;
};

TEST_P(CProfileTest, WholeSynchronisationImportsEveryMessageOnceAndSends) {
    m_doc = std::make_unique<CTelmioDoc>(m_ui);
    ASSERT_TRUE(m_doc->OnNewDocument(false));
    EXPECT_EQ(m_doc->QueueMessage(u"+491711111111", u"Hello from the profile test", false), 1);
    m_doc->SynchronizeSms();
    EXPECT_EQ(m_doc->Errors().Text(), u"") << GetParam();
    EXPECT_TRUE(m_ui.m_boxes.empty()) << ce::ToUtf8(m_ui.m_boxes.empty() ? u"" : m_ui.m_boxes[0]);

    // What the client reads: ME and SM, received and sent messages (stored unsent ones stay).
    size_t expected = 0;
    for (const phone::SmsStorage& st : m_scenario.smsStorages) {
        if (m_scenario.dialect.bNoSmsStorage)
            break;  // the phone sends over AT but lets nothing be read
        if (st.strName != "ME" && st.strName != "SM")
            continue;
        for (const auto& [index, slot] : st.slots)
            expected += slot.nStatus != phone::SMS_STO_UNSENT;
    }
    size_t imported = 0, sent = 0;
    for (const auto& m : m_doc->Store().Messages()) {
        if (m->m_nState == SMS_SENT)
            ++sent;
        else
            ++imported;
    }
    EXPECT_EQ(imported, expected) << GetParam();
    EXPECT_EQ(sent, 1u);
    EXPECT_EQ(m_sim->State().submitted.size(), 1u);
    // Operator detection found the network the phone names; a phone our database knows is
    // named by it.
    EXPECT_FALSE(m_doc->CentreNumber().empty());
    if (GetParam() == "nokia-n79") {
        EXPECT_EQ(m_doc->Phone().m_strName, u"Nokia N79");
    }

    // A second synchronisation finds nothing new.
    m_doc->SynchronizeSms();
    EXPECT_EQ(m_doc->Store().Messages().size(), imported + sent);
}

TEST_P(CProfileTest, PhonebookReadsEveryEntry) {
    m_doc = std::make_unique<CTelmioDoc>(m_ui);
    ASSERT_TRUE(m_doc->OnNewDocument(false));
    CAddressBook book(*m_doc, m_ui);
    book.LoadPhonebook();
    book.m_nReadTimeout = 5;
    std::u16string result = book.SynchronizePhonebook();
    std::string log;
    for (const std::string& line : m_sim->Journal()) log += line + "\n";
    for (const std::u16string& box : m_ui.m_boxes) log += ce::ToUtf8(box) + "\n";
    ASSERT_EQ(result, kSyncCompleted) << GetParam() << "\n" << log;
    for (const auto& [name, flag] :
         {std::pair{"SM", STORAGE_SIM}, std::pair{"ME", STORAGE_PHONE}}) {
        // A phone without this phonebook syncs the one it has.
        const phone::Phonebook* pb = phone::FindPhonebook(m_scenario, name);
        if (!pb) {
            EXPECT_EQ(book.m_phonebook.m_storages[flag == STORAGE_SIM ? 0 : 1].m_nFlag, 0u);
            continue;
        }
        for (const auto& [location, entry] : pb->entries) {
            CPhonebookEntry* got = book.m_phonebook.FindEntryById(flag | location);
            ASSERT_NE(got, nullptr) << GetParam() << " location " << location;
            EXPECT_EQ(got->m_strName, ce::FromUtf8(entry.strName));
            EXPECT_EQ(got->m_strNumber, ce::FromUtf8(entry.strNumber));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, CProfileTest, ::testing::ValuesIn(Profiles()),
                         [](const auto& info) {
                             std::string name;
                             for (char c : info.param)
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace

namespace {

// A phone another program left in text mode and UCS2, numbering slots from 0, answering
// empty slots with "+CMGR: 0,,0", its SIM still busy, status lines everywhere.
const char kLeftBehind[] = R"([phone]
operator = T-Mobile D
smsc = +491710760000
echo = on
[sms ME]
size = 10
1 = 1,+491701234567,2026-12-07 18:42:10+01:00,Slot zero as the phone counts
5 = 0,+4930123456,2026-12-08 07:05:00+01:00,Slot four
[sms SM]
size = 5
[dialect]
cmgf = 1
charset = UCS2
ucs2_replies = yes
first_index = 0
empty_slot = cmgr0
sim_busy_ms = 1200
no_space = yes
unsolicited = ^RSSI:17
unsolicited = +CREG: 1
unsolicited_at = inside
)";

class CLeftBehindTest : public test::DeviceTest {};

TEST_F(CLeftBehindTest, TextModeUcs2ZeroBasedPhoneStillReadsAndSends) {
    std::string error;
    ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
    ce::SetAppName(u"telmio");
    phone::Scenario s;
    ASSERT_TRUE(phone::ParseScenario(kLeftBehind, s, error)) << error;
    phone::CPhoneSim sim(s);
    ASSERT_TRUE(sim.Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    CRecordingUi ui;
    {
        CTelmioDoc doc(ui);
        ASSERT_TRUE(doc.OnNewDocument(false));
        EXPECT_EQ(doc.QueueMessage(u"+491711111111", u"Sent in PDU mode", false), 1);
        doc.SynchronizeSms();
        EXPECT_EQ(doc.Errors().Text(), u"");
        std::vector<std::u16string> texts;
        for (const auto& m : doc.Store().Messages()) texts.push_back(m->m_strText);
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(texts, (std::vector<std::u16string>{u"Sent in PDU mode", u"Slot four",
                                                      u"Slot zero as the phone counts"}));
        // The operator came through in plain text, not UCS2 hex.
        EXPECT_FALSE(doc.CentreNumber().empty());
    }
    ASSERT_EQ(sim.State().submitted.size(), 1u);
    for (const std::string& line : sim.Journal()) EXPECT_NE(line.rfind("SMSTEXT", 0), 0u) << line;
    sim.Stop();
}

}  // namespace
