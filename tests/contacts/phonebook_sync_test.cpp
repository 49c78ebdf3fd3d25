// Phonebook synchronisation against the simulated phone on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/install_dir.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "telmio/contacts/address_book.h"
#include "telmio/contacts/entry_rules.h"
#include "telmio/session/telmio_doc.h"
#include "tests/support/temp_device.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace fs = std::filesystem;

namespace {

using namespace kvo;

const char kPhoneA[] = R"([phone]
serial = 350000000000001
[phonebook SM]
range = 1-20
number_length = 20
name_length = 18
1 = +491711,145,Same
2 = +491712,145,Gone here
3 = +491713,145,Gone here too
4 = +491714,145,Edit here
5 = +491715,145,Edit there
6 = +491716,145,Edit both
7 = +491717,145,Gone there
10 = 4930123,145,No plus
11 = 0301234,129,Local
[phonebook ME]
range = 1-100
number_length = 40
name_length = 30
)";

class PhonebookSyncTest : public test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) << error;
        ce::SetAppName(u"telmio");
    }
    void TearDown() override {
        m_book.reset();
        m_doc.reset();
        if (m_sim)
            m_sim->Stop();
    }
    void StartPhone(const char* scenarioText,
                    const std::function<void(phone::Scenario&)>& edit = {}) {
        if (m_sim)
            m_sim->Stop();
        phone::Scenario s;
        std::string error;
        ASSERT_TRUE(phone::ParseScenario(scenarioText, s, error)) << error;
        if (edit)
            edit(s);
        m_sim = std::make_unique<phone::CPhoneSim>(s);
        ASSERT_TRUE(m_sim->Start((m_device.Root() / "dev" / "COM3").string(), 0, error)) << error;
    }
    CAddressBook& Book() {
        if (!m_book) {
            m_doc = std::make_unique<CTelmioDoc>(m_ui);
            EXPECT_TRUE(m_doc->OnNewDocument(false));
            m_book = std::make_unique<CAddressBook>(*m_doc, m_ui);
            m_book->LoadPhonebook();
            m_book->m_nReadTimeout = 2;
        }
        return *m_book;
    }
    // A fresh client, as the next start of the program would load it.
    CAddressBook& Restart() {
        m_book.reset();
        m_doc.reset();
        return Book();
    }
    CPhonebookEntry* At(uint32_t id) { return Book().m_phonebook.FindEntryById(id); }
    phone::Phonebook PhoneBook(const std::string& name) {
        phone::Scenario s = m_sim->State();
        return *phone::FindPhonebook(s, name);
    }
    int Count(const std::string& prefix) {
        auto j = m_sim->Journal();
        return static_cast<int>(std::count_if(
            j.begin(), j.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
    }

    CRecordingUi m_ui;
    std::unique_ptr<phone::CPhoneSim> m_sim;
    std::unique_ptr<CTelmioDoc> m_doc;
    std::unique_ptr<CAddressBook> m_book;
};

TEST_F(PhonebookSyncTest, EveryDecisionOverTwoSynchronisationsWithChangesOnBothSides) {
    StartPhone(kPhoneA);
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted)
        << (m_ui.Messages().empty() ? "" : ce::ToUtf8(m_ui.Messages()[0]));
    EXPECT_EQ(Book().PhoneId(), u"350000000000001");
    ASSERT_EQ(Book().m_phonebook.m_entries.size(), 9u);
    // New on the phone: taken with the agreed values; type 145 gains its plus, 129 does not.
    EXPECT_EQ(At(STORAGE_SIM | 10)->m_strNumber, u"+4930123");
    EXPECT_EQ(At(STORAGE_SIM | 11)->m_strNumber, u"0301234");
    EXPECT_EQ(At(STORAGE_SIM | 1)->m_strOrigName, u"Same");
    EXPECT_EQ(Book().m_phonebook.m_nStorageCount, 2);
    EXPECT_EQ(Book().m_phonebook.m_storages[1], (PhonebookStorage{STORAGE_PHONE, 1, 100, 30, 40}));

    // Changes on the handheld, saved, then a new start of the client.
    CAddressBook& book = Book();
    for (uint32_t i : {2u, 3u}) {
        At(STORAGE_SIM | i)->m_strName.clear();
        At(STORAGE_SIM | i)->m_strNumber.clear();
    }
    At(STORAGE_SIM | 4)->m_strName = u"Edited here";
    At(STORAGE_SIM | 6)->m_strNumber = u"+4900";
    auto fresh = std::make_unique<CPhonebookEntry>();
    fresh->m_nId = STORAGE_SIM | 8;
    fresh->m_strName = u"New here";
    fresh->m_strNumber = u"+4988";
    book.m_phonebook.Append(std::move(fresh));
    auto gone = std::make_unique<CPhonebookEntry>();  // made and deleted before any sync
    gone->m_nId = STORAGE_SIM | 12;
    book.m_phonebook.Append(std::move(gone));
    ASSERT_TRUE(book.SavePhonebook());
    // Changes on the phone.
    ASSERT_TRUE(m_sim->EditPhonebook("SM", [](phone::Phonebook& pb) {
        pb.entries[3].strName = "Changed there";
        pb.entries[5].strName = "Edited there";
        pb.entries[6].strName = "Phone wins";
        pb.entries.erase(7);
        pb.entries[9] = phone::PhonebookEntry{"+4999", 145, "New there"};
    }));

    CAddressBook& again = Restart();
    ASSERT_EQ(again.SynchronizePhonebook(), kSyncCompleted);
    phone::Phonebook sm = PhoneBook("SM");
    // 4: unchanged.
    EXPECT_EQ(sm.entries.at(1).strName, "Same");
    // 2 and 3: deleted on the handheld, deleted on the phone (3 although the phone changed it).
    EXPECT_FALSE(sm.entries.count(2));
    EXPECT_FALSE(sm.entries.count(3));
    EXPECT_FALSE(At(STORAGE_SIM | 2));
    EXPECT_FALSE(At(STORAGE_SIM | 3));
    // 5: changed on the handheld, written to the phone.
    EXPECT_EQ(sm.entries.at(4).strName, "Edited here");
    EXPECT_EQ(At(STORAGE_SIM | 4)->m_strOrigName, u"Edited here");
    // 6: changed on the phone, taken.
    EXPECT_EQ(At(STORAGE_SIM | 5)->m_strName, u"Edited there");
    // 7: changed on both sides: the phone's version stays.
    EXPECT_EQ(At(STORAGE_SIM | 6)->m_strName, u"Phone wins");
    EXPECT_EQ(At(STORAGE_SIM | 6)->m_strNumber, u"+491716");
    EXPECT_EQ(sm.entries.at(6).strNumber, "+491716");
    // Empty on the phone: deleted there, so gone here; never on the phone, so written there.
    EXPECT_FALSE(At(STORAGE_SIM | 7));
    EXPECT_EQ(sm.entries.at(8).strName, "New here");
    EXPECT_EQ(At(STORAGE_SIM | 8)->m_strOrigNumber, u"+4988");
    EXPECT_FALSE(sm.entries.count(12));
    EXPECT_FALSE(At(STORAGE_SIM | 12));
    // 1: new on the phone.
    EXPECT_EQ(At(STORAGE_SIM | 9)->m_strName, u"New there");

    // What the file holds is what the client holds.
    CPhonebook onDisk;
    ASSERT_TRUE(LoadPhonebookFile(again.PhonebookFile(), onDisk));
    EXPECT_EQ(FormatPhonebook(onDisk), FormatPhonebook(again.m_phonebook));
    // A third run finds nothing to carry.
    int writes = Count("PBW"), deletes = Count("PBD");
    ASSERT_EQ(Restart().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_EQ(Count("PBW"), writes);
    EXPECT_EQ(Count("PBD"), deletes);
    // The lock and the port are free again.
    EXPECT_TRUE(ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE, ce::FILE_SHARE_NONE,
                               ce::CREATE_ALWAYS));
}

TEST_F(PhonebookSyncTest, TwoHundredFiftyLocationsAreReadInTwentyFiveChunks) {
    StartPhone(kPhoneA, [](phone::Scenario& s) {
        phone::Phonebook& sm = *phone::FindPhonebook(s, "SM");
        sm.nLast = 250;
        sm.nNumberLength = 40;
        sm.entries[250] = phone::PhonebookEntry{"+4925", 145, "Last one"};
    });
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    // 25 chunks of SM, 10 of ME, and the two range queries.
    EXPECT_EQ(Count("> AT+CPBR="), 25 + 10 + 2);
    EXPECT_EQ(At(STORAGE_SIM | 250)->m_strName, u"Last one");
    EntryPlace place = PlaceNewEntry(Book().m_phonebook, STORAGE_SIM);
    EXPECT_EQ(place.nNameLen, 18);
    EXPECT_EQ(place.nNumberLen, 40);
}

TEST_F(PhonebookSyncTest, ASecondPhoneGetsItsOwnPhonebookAndTheFirstComesBack) {
    StartPhone(kPhoneA);
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    At(STORAGE_SIM | 1)->m_strName = u"Edited for A";
    ASSERT_TRUE(Book().SavePhonebook());

    const char kPhoneB[] = R"([phone]
serial = 490000000000002
[phonebook SM]
range = 1-10
1 = +3311,145,Only on B
[phonebook ME]
range = 1-10
)";
    StartPhone(kPhoneB);
    ASSERT_EQ(Restart().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_EQ(Book().PhoneId(), u"490000000000002");
    ASSERT_EQ(Book().m_phonebook.m_entries.size(), 1u);
    EXPECT_EQ(At(STORAGE_SIM | 1)->m_strName, u"Only on B");
    EXPECT_TRUE(ce::FileExists(PhonebookPath(Book().AppDir(), u"350000000000001")));

    // Phone A again, without a restart: its own copy with the change made meanwhile.
    StartPhone(kPhoneA);
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_EQ(Book().PhoneId(), u"350000000000001");
    EXPECT_EQ(At(STORAGE_SIM | 1)->m_strName, u"Edited for A");
    EXPECT_EQ(PhoneBook("SM").entries.at(1).strName, "Edited for A");
    EXPECT_FALSE(At(STORAGE_SIM | 1)->m_strName == u"Only on B");
    CPhonebook b;
    ASSERT_TRUE(LoadPhonebookFile(PhonebookPath(Book().AppDir(), u"490000000000002"), b));
    EXPECT_EQ(b.m_entries.size(), 1u);
}

TEST_F(PhonebookSyncTest, ThreeFailedReadsOfAChunkFailTheStorageAndKeepItsEntries) {
    StartPhone(kPhoneA);
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    m_sim->UpdateQuirks([](phone::Quirks& q) { q.silentFor.push_back("AT+CPBR=11,20"); });
    int before = Count("> AT+CPBR=11,20");
    Restart().m_nReadTimeout = 1;
    ASSERT_EQ(Book().SynchronizePhonebook(), kPhonebookSyncFailed);
    EXPECT_EQ(Count("> AT+CPBR=11,20") - before, 3 + 3);  // three for each storage
    EXPECT_TRUE(At(STORAGE_SIM | 10));
    EXPECT_TRUE(At(STORAGE_SIM | 11));
    CPhonebook onDisk;
    ASSERT_TRUE(LoadPhonebookFile(Book().PhonebookFile(), onDisk));
    EXPECT_EQ(onDisk.m_entries.size(), 9u);
}

TEST_F(PhonebookSyncTest, AStorageThatCannotBeSelectedStillLetsTheOtherSync) {
    // The phone refuses the phone memory; the selection stays on the SIM, whose entries
    // must not come back a second time under the phone memory's flag.
    StartPhone(kPhoneA, [](phone::Scenario& s) { s.quirks.errorFor.push_back("AT+CPBS=\"ME\""); });
    EXPECT_EQ(Book().SynchronizePhonebook(), kPhonebookSyncFailed);
    EXPECT_EQ(Book().m_phonebook.m_nStorageCount, 2);
    EXPECT_EQ(Book().m_phonebook.m_entries.size(), 9u);
    for (const auto& e : Book().m_phonebook.m_entries) EXPECT_EQ(e->Storage(), STORAGE_SIM);
    CPhonebook onDisk;
    ASSERT_TRUE(LoadPhonebookFile(Book().PhonebookFile(), onDisk));
    EXPECT_EQ(onDisk.m_entries.size(), 9u);
}

// A phone that has the SIM's phonebook only (its +CPBS=? list names no "ME"): what it has is
// read and written, the missing one is no failure, and no entry can be placed there.
TEST_F(PhonebookSyncTest, APhoneWithoutPhoneMemoryPhonebookSyncsItsSim) {
    StartPhone(R"([phone]
serial = 490000000000003
[phonebook SM]
range = 1-10
1 = +3311,145,On the SIM
)");
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    ASSERT_TRUE(At(STORAGE_SIM | 1));
    EXPECT_EQ(At(STORAGE_SIM | 1)->m_strName, u"On the SIM");
    EXPECT_EQ(Book().m_phonebook.m_entries.size(), 1u);
    EXPECT_EQ(Book().m_phonebook.m_nStorageCount, 1);
    EXPECT_EQ(Book().m_phonebook.m_storages[1].m_nFlag, 0u);

    // A change on the handheld still reaches the SIM.
    At(STORAGE_SIM | 1)->m_strName = u"Renamed";
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_EQ(PhoneBook("SM").entries.at(1).strName, "Renamed");
}

TEST_F(PhonebookSyncTest, AnEntryMadeBeforeTheFirstSyncIsNotOverwrittenByThePhones) {
    StartPhone(kPhoneA);
    // Placed at SM 1 by the entry rules, where the phone has an entry of its own.
    EntryPlace place = PlaceNewEntry(Book().m_phonebook, Book().Storages());
    ASSERT_EQ(place.nId, STORAGE_SIM | 1);
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_nId = place.nId;
    e->m_strName = u"Mine";
    e->m_strNumber = u"+4900";
    Book().m_phonebook.Append(std::move(e));
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_EQ(At(STORAGE_SIM | 1)->m_strName, u"Same");
    phone::Phonebook sm = PhoneBook("SM");
    auto mine = std::find_if(sm.entries.begin(), sm.entries.end(),
                             [](const auto& kv) { return kv.second.strName == "Mine"; });
    ASSERT_NE(mine, sm.entries.end());
    EXPECT_EQ(At(STORAGE_SIM | static_cast<uint32_t>(mine->first))->m_strOrigName, u"Mine");
    EXPECT_EQ(Book().m_phonebook.m_entries.size(), 10u);
}

TEST_F(PhonebookSyncTest, AnEntryBeyondTheStorageTheCopyExpectedMovesIntoIt) {
    // The copy still assumes 1 to 20; this SIM has 1 to 15.
    StartPhone(kPhoneA, [](phone::Scenario& s) { phone::FindPhonebook(s, "SM")->nLast = 15; });
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_nId = STORAGE_SIM | 18;
    e->m_strName = u"Late";
    e->m_strNumber = u"+4918";
    Book().m_phonebook.Append(std::move(e));
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    EXPECT_FALSE(At(STORAGE_SIM | 18));
    phone::Phonebook sm = PhoneBook("SM");
    auto late = std::find_if(sm.entries.begin(), sm.entries.end(),
                             [](const auto& kv) { return kv.second.strName == "Late"; });
    ASSERT_NE(late, sm.entries.end());
    EXPECT_LE(late->first, 15);
    EXPECT_EQ(At(STORAGE_SIM | static_cast<uint32_t>(late->first))->m_strOrigName, u"Late");
}

TEST_F(PhonebookSyncTest, AWriteThePhoneRefusesKeepsTheEntryOnTheHandheld) {
    StartPhone(kPhoneA, [](phone::Scenario& s) { phone::FindPhonebook(s, "SM")->nNameLength = 8; });
    ASSERT_EQ(Book().SynchronizePhonebook(), kSyncCompleted);
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_nId = STORAGE_SIM | 8;
    e->m_strName = u"Far too long for it";
    e->m_strNumber = u"+4988";
    Book().m_phonebook.Append(std::move(e));
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(Book().SynchronizePhonebook(), kPhonebookSyncFailed);
        ASSERT_TRUE(At(STORAGE_SIM | 8)) << "run " << run;
        EXPECT_EQ(At(STORAGE_SIM | 8)->m_strName, u"Far too long for it");
        EXPECT_TRUE(At(STORAGE_SIM | 8)->NeverOnPhone());
    }
}

TEST_F(PhonebookSyncTest, BusyLockOrNoPhoneEndsBeforeAnyStorageIsTouched) {
    StartPhone(kPhoneA);
    {
        ce::File held = ce::File::Open(InstallPath(u"kvo.lock"), ce::GENERIC_WRITE,
                                       ce::FILE_SHARE_NONE, ce::CREATE_ALWAYS);
        ASSERT_TRUE(held);
        EXPECT_EQ(Book().SynchronizePhonebook(), kPhonebookSyncFailed);
        ASSERT_FALSE(m_ui.Messages().empty());
        EXPECT_EQ(m_ui.Messages().back(),
                  u"Please first stop the Internet connection and try to synchronize again.");
    }
    m_sim->Stop();
    EXPECT_EQ(Book().SynchronizePhonebook(), kPhonebookSyncFailed);
    EXPECT_EQ(m_ui.Messages().back(),
              u"Kommunikationsport konnte nicht ge\u00f6ffnet werden.\nKontrollieren Sie Ihr Handy "
              u"und Beenden Sie den SMS Client.");
    EXPECT_FALSE(ce::FileExists(Book().PhonebookFile()));
}

}  // namespace
