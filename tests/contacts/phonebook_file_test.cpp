// The ".pb" file, the reply parsers and the entry dialog's rules, without a phone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/narrow.h"
#include "platform/file.h"
#include "telmio/contacts/entry_rules.h"
#include "telmio/contacts/phonebook.h"
#include "telmio/contacts/phonebook_sync.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo;

std::unique_ptr<CPhonebookEntry> Entry(uint32_t id, std::u16string name, std::u16string number,
                                       std::u16string origName = {},
                                       std::u16string origNumber = {}) {
    auto e = std::make_unique<CPhonebookEntry>();
    e->m_nId = id;
    e->m_strName = std::move(name);
    e->m_strNumber = std::move(number);
    e->m_strOrigName = std::move(origName);
    e->m_strOrigNumber = std::move(origNumber);
    return e;
}

std::string U32(uint32_t v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                       char((v >> 24) & 0xFF)};
}
std::string Str(std::u16string_view s) {
    std::string out = U32(static_cast<uint32_t>(s.size()));
    for (char16_t c : s) out += std::string{char(c & 0xFF), char(c >> 8)};
    return out + std::string(2, '\0');
}

TEST(PhonebookFile, ByteLayoutIsHeaderStoragesThenEntryRecords) {
    CPhonebook pb;
    pb.m_nStorageCount = 2;
    pb.m_storages[1] = PhonebookStorage{STORAGE_PHONE, 1, 250, 18, 40};
    auto e = Entry(STORAGE_SIM | 3, u"Anna", u"+4917", u"Ann", u"+49");
    e->m_nTicked = 1;
    pb.Append(std::move(e));
    std::string expected = U32(2) + U32(STORAGE_SIM) + U32(1) + U32(20) + U32(20) + U32(20) +
                           U32(STORAGE_PHONE) + U32(1) + U32(250) + U32(18) + U32(40) + U32(1) +
                           U32(1) + U32(0) + U32(0) + U32(0) + U32(0) + U32(STORAGE_SIM | 3) +
                           Str(u"Anna") + Str(u"+4917") + Str(u"") + Str(u"") + Str(u"") +
                           Str(u"Ann") + Str(u"+49");
    EXPECT_EQ(FormatPhonebook(pb), expected);

    CPhonebook back;
    std::string error;
    ASSERT_TRUE(ParsePhonebook(expected, back, error)) << error;
    EXPECT_EQ(FormatPhonebook(back), expected);
    EXPECT_EQ(back.m_entries[0]->m_strOrigName, u"Ann");
}

TEST(PhonebookFile, DamagedImagesAreRefusedAndLeaveTheListAlone) {
    CPhonebook pb;
    pb.Append(Entry(STORAGE_SIM | 1, u"Anna", u"+4917"));
    std::string good = FormatPhonebook(pb);
    CPhonebook target;
    target.Append(Entry(STORAGE_SIM | 9, u"Keep", u"1"));
    std::string error;
    for (size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(ParsePhonebook(good.substr(0, cut), target, error)) << cut;
    EXPECT_FALSE(ParsePhonebook(good + "x", target, error));
    std::string hugeCount = good;
    hugeCount.replace(44, 4, U32(0x7FFFFFFF));
    EXPECT_FALSE(ParsePhonebook(hugeCount, target, error));
    std::string badFlag = good;
    badFlag.replace(4, 4, U32(0x40000000));
    EXPECT_FALSE(ParsePhonebook(badFlag, target, error));
    ASSERT_EQ(target.m_entries.size(), 1u);
    EXPECT_EQ(target.m_entries[0]->m_strName, u"Keep");
}

TEST(PhonebookFile, FreeIndexCountsDeletedEntriesAndOffersTheLastLocation) {
    CPhonebook pb;
    const PhonebookStorage& sim = pb.m_storages[0];
    for (uint32_t i = 1; i <= 19; ++i) pb.Append(Entry(STORAGE_SIM | i, u"x", u"1"));
    pb.m_entries[4]->m_strName.clear();
    pb.m_entries[4]->m_strNumber.clear();  // deleted, still holds location 5
    pb.Append(Entry(STORAGE_PHONE | 20, u"other storage", u"1"));
    EXPECT_EQ(pb.FindFreeIndex(sim), 20);
    pb.Append(Entry(STORAGE_SIM | 20, u"x", u"1"));
    EXPECT_FALSE(pb.FindFreeIndex(sim));
    EntryPlace place = PlaceNewEntry(pb, STORAGE_SIM | STORAGE_PHONE);
    EXPECT_EQ(place.nId, 0u);
    EXPECT_EQ(place.strMessage, u"Phonebook from Mobile is full.");
    EXPECT_EQ(ChangeEntryStorage(pb, 1).strMessage, u"The memory on Mobile Phone is full.");
}

TEST(PhonebookFile, EntryDialogPlacesLimitsAndChecks) {
    CPhonebook pb;
    pb.m_nStorageCount = 2;
    pb.m_storages[0] = PhonebookStorage{STORAGE_SIM, 1, 250, 18, 40};
    pb.m_storages[1] = PhonebookStorage{STORAGE_PHONE, 1, 100, 30, 50};
    pb.Append(Entry(STORAGE_SIM | 1, u"A", u"1"));
    EntryPlace both = PlaceNewEntry(pb, STORAGE_SIM | STORAGE_PHONE);
    EXPECT_EQ(both.nId, STORAGE_SIM | 2);
    EXPECT_TRUE(both.bChoiceEnabled);
    EXPECT_EQ(both.Choice(), 0);
    EXPECT_EQ(both.nNameLen, 18);
    EXPECT_EQ(both.nNumberLen, 40);
    EntryPlace phoneOnly = PlaceNewEntry(pb, STORAGE_PHONE);
    EXPECT_EQ(phoneOnly.nId, STORAGE_PHONE | 1);
    EXPECT_FALSE(phoneOnly.bChoiceEnabled);
    pb.m_nStorageCount = 1;
    EXPECT_FALSE(PlaceNewEntry(pb, STORAGE_SIM | STORAGE_PHONE).bChoiceEnabled);
    EntryPlace changed = ChangeEntryStorage(pb, 1);
    EXPECT_EQ(changed.nId, STORAGE_PHONE | 1);
    EXPECT_EQ(changed.nNameLen, 30);

    EXPECT_FALSE(CanAcceptEntry(u"A", u"0171 123"));
    EXPECT_TRUE(CanAcceptEntry(u"A", u"+49171;1"));
    EXPECT_EQ(CheckEntry(u"", u"1", STORAGE_SIM | 1), u"Please enter name.");
    EXPECT_EQ(CheckEntry(u"A", u"", STORAGE_SIM | 1), u"Please enter phone number.");
    EXPECT_EQ(CheckEntry(u"A", u"1", 5), u"Please choose your storage place.");
    EXPECT_EQ(CheckEntry(u"A", u"1", STORAGE_SIM | 1), u"");

    pb.Append(Entry(STORAGE_PHONE | 2, u"bert", u"2"));
    pb.Append(Entry(STORAGE_SIM | 4, u"", u""));  // deleted, waiting for the phone
    pb.Append(Entry(STORAGE_SIM | 5, u"Ann", u"3"));
    pb.m_entries[0]->m_nTicked = 1;
    auto rows = PhonebookRows(pb, STORAGE_SIM);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->m_strName, u"A");
    EXPECT_EQ(rows[1]->m_strName, u"Ann");
    EXPECT_EQ(pb.m_entries[0]->m_nTicked, 0);
    EXPECT_EQ(PhonebookRows(pb, STORAGE_SIM | STORAGE_PHONE).size(), 3u);
}

TEST(PhonebookReplies, StorageInfoAndEntryLines) {
    PhonebookStorage s{};
    EXPECT_TRUE(ParseStorageInfo(u"+CPBR: (1-250),40,18", s));
    EXPECT_EQ(s, (PhonebookStorage{0, 1, 250, 18, 40}));
    for (const char16_t* bad : {u"+CPBR: 1,40,18", u"+CPBR: (1-),40,18", u"+CPBR: (5-2),40,18",
                                u"OK", u"+CPBR: (1-20),40,", u"+CPBR: (1-99999999999),4,1"})
        EXPECT_FALSE(ParseStorageInfo(bad, s)) << Narrow(bad);

    std::u16string reply =
        u"+CPBR: 1,\"491711\",145,\"Anna\"\r\n+CPBR: 2,\"+4930\",145,\"B, c\"\r\n"
        u"+CPBR: 3,\"0301\",129,\"Office\"";
    CPhonebookEntry e;
    ASSERT_EQ(ParseNextEntry(STORAGE_PHONE, e, reply), ParsedEntry::entry);
    EXPECT_EQ(e.m_nId, STORAGE_PHONE | 1);
    EXPECT_EQ(e.m_strNumber, u"+491711");
    EXPECT_EQ(e.m_strName, u"Anna");
    ASSERT_EQ(ParseNextEntry(STORAGE_PHONE, e, reply), ParsedEntry::entry);
    EXPECT_EQ(e.m_strNumber, u"+4930");
    EXPECT_EQ(e.m_strName, u"B, c");
    ASSERT_EQ(ParseNextEntry(STORAGE_PHONE, e, reply), ParsedEntry::entry);
    EXPECT_EQ(e.m_strNumber, u"0301");
    EXPECT_EQ(ParseNextEntry(STORAGE_PHONE, e, reply), ParsedEntry::none);

    std::u16string cut = u"+CPBR: 4,\"0301\",129,\"Offi";
    EXPECT_EQ(ParseNextEntry(STORAGE_SIM, e, cut), ParsedEntry::malformed);
    std::u16string zero = u"+CPBR: 0,\"1\",129,\"x\"";
    EXPECT_EQ(ParseNextEntry(STORAGE_SIM, e, zero), ParsedEntry::malformed);
}

// A child saves two phonebooks in turn until it is killed; the file is always one of them.
TEST(PhonebookFile, KillDuringSaveLeavesTheOldOrTheNewFileWhole) {
    test::TempDevice device;
    CPhonebook a, b;
    for (uint32_t i = 1; i <= 200; ++i) {
        a.Append(Entry(STORAGE_SIM | i, u"Name " + Widen(std::to_string(i)), u"+4917"));
        b.Append(Entry(STORAGE_PHONE | i, u"Other " + Widen(std::to_string(i)), u"+4930"));
    }
    const std::u16string path = PhonebookPath(u"\\app\\", u"350000000000001");
    ASSERT_TRUE(SavePhonebookFile(path, a));
    const std::string imageA = FormatPhonebook(a), imageB = FormatPhonebook(b);
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i) SavePhonebookFile(path, i % 2 ? a : b);
        }
        usleep(1000 + (round * 1777) % 9000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string bytes;
        ASSERT_TRUE(ce::ReadFileBytes(path, bytes));
        EXPECT_TRUE(bytes == imageA || bytes == imageB) << "round " << round;
    }
}

}  // namespace
