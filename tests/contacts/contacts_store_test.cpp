// The vdir contacts store and the client's access to it.
#include <gtest/gtest.h>

#include "platform/contacts.h"
#include "platform/text.h"
#include "telmio/contacts/contacts_access.h"
#include "tests/support/temp_device.h"

namespace fs = std::filesystem;

namespace {

using namespace kvo;

class ContactsStoreTest : public test::DeviceTest {
protected:
    fs::path Folder() { return m_device.Root() / "contacts"; }
    void Card(const std::string& file, const std::string& body) {
        test::WriteHostFile(Folder() / file,
                            "BEGIN:VCARD\r\nVERSION:3.0\r\n" + body + "END:VCARD\r\n");
    }
    std::map<std::string, uint32_t> OidsByLastName() {
        ce::ContactsFolder f;
        EXPECT_TRUE(f.Logon());
        std::map<std::string, uint32_t> m;
        for (size_t i = 1; i <= f.Count(); ++i) m[ce::ToUtf8(f.Item(i).LastName)] = f.Item(i).Oid;
        return m;
    }
    CRecordingUi m_ui;
};

TEST_F(ContactsStoreTest, OidsStayPerUidAcrossRunsAndEditsAndAreNeverReused) {
    Card("a.vcf", "UID:uid-a\r\nN:Alpha;;;;\r\n");
    Card("b.vcf", "UID:uid-b\r\nN:Beta;;;;\r\n");
    auto first = OidsByLastName();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_NE(first["Alpha"], 0u);
    EXPECT_NE(first["Alpha"], first["Beta"]);
    EXPECT_EQ(OidsByLastName(), first);

    // Another program rewrites a card under a new file name and deletes the other one.
    fs::remove(Folder() / "a.vcf");
    Card("renamed-by-khard.vcf", "UID:uid-a\r\nN:Alpha Edited;;;;\r\nTEL;TYPE=CELL:1\r\n");
    fs::remove(Folder() / "b.vcf");
    Card("c.vcf", "UID:uid-c\r\nN:Gamma;;;;\r\n");
    auto second = OidsByLastName();
    EXPECT_EQ(second["Alpha Edited"], first["Alpha"]);
    EXPECT_NE(second["Gamma"], first["Beta"]);  // the deleted card's Oid stays its own
    EXPECT_NE(second["Gamma"], 0u);

    // Back again: the old Oid.
    Card("b.vcf", "UID:uid-b\r\nN:Beta;;;;\r\n");
    EXPECT_EQ(OidsByLastName()["Beta"], first["Beta"]);
}

TEST_F(ContactsStoreTest, AddSaveImportExportAndAnotherFolder) {
    fs::path other = m_device.Root() / "elsewhere" / "cards";
    ASSERT_TRUE(ce::SetContactsFolderPath("elsewhere/cards"));
    EXPECT_EQ(ce::ContactsFolderPath(), other);
    ce::ContactsFolder f;
    ASSERT_TRUE(f.Logon());
    ce::ContactItem item = f.Add();
    item.LastName = u"Neu";
    item.MobileTelephoneNumber = u"+4917";
    ASSERT_TRUE(f.Save(item));
    EXPECT_NE(item.Oid, 0u);
    EXPECT_TRUE(fs::exists(other / item.strFile));

    std::vector<std::string> problems;
    EXPECT_EQ(f.Import("BEGIN:VCARD\nVERSION:2.1\nN:Eins\nTEL;CELL:1\nEND:VCARD\n"
                       "BEGIN:VCARD\nVERSION:3.0\nbroken\nEND:VCARD\n"
                       "BEGIN:VCARD\nVERSION:3.0\nUID:" +
                           item.strUid + "\nN:Neu Ersetzt;;;;\nEND:VCARD\n",
                       problems),
              2u);
    EXPECT_EQ(problems.size(), 1u);
    ce::ContactsFolder again;
    ASSERT_TRUE(again.Logon());
    ASSERT_EQ(again.Count(), 2u);
    const ce::ContactItem* replaced = again.GetItemFromOid(item.Oid);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->LastName, u"Neu Ersetzt");
    std::string all = again.Export();
    EXPECT_NE(all.find("N:Eins;;;;"), std::string::npos);
    EXPECT_NE(all.find("N:Neu Ersetzt;;;;"), std::string::npos);
}

TEST_F(ContactsStoreTest, LoadContactsBuildsNamesAndNumbersAndReportsDamagedCards) {
    Card("1.vcf",
         "UID:1\r\nN:Miller;Anna;;;\r\nTEL;TYPE=CELL: +49 (171) 123-4 \r\nTEL;TYPE=HOME:030\r\n");
    Card("2.vcf", "UID:2\r\nN:;;;;\r\nORG:Acme GmbH\r\nTEL;TYPE=WORK:0301\r\n");
    Card("3.vcf", "UID:3\r\nN:;;;;\r\nTEL;TYPE=CAR:0172\r\n");
    test::WriteHostFile(Folder() / "4.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lost\r\n");
    CBookList list;
    ASSERT_TRUE(LoadContacts(list, m_ui));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->m_strName, u"Miller Anna");
    EXPECT_EQ(list[0]->m_strNumber, u"+49 (171) 123-4");
    EXPECT_EQ(NumberKinds(*list[0]), u"M H");
    EXPECT_EQ(list[1]->m_strName, u"Acme GmbH");
    EXPECT_EQ(list[2]->m_strName, u"");
    EXPECT_EQ(NumberKinds(*list[2]), u"A");
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_NE(m_ui.Messages()[0].find(u"4.vcf"), std::u16string::npos);

    auto rows = SelectContactsRows(list);
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(list[0]->m_strNumber, u"+491711234");
    std::u16string letters = u"abc";
    EXPECT_FALSE(CleanNumber(letters));
}

TEST_F(ContactsStoreTest, RecipientsImportAndExport) {
    CBookList contacts;
    auto c = std::make_unique<CBookEntry>();
    c->m_nId = 7;
    c->m_strName = u"Miller Anna";
    c->m_strNumber = u"+49171";
    c->m_strCar = u"0172";
    c->m_nTicked = 1;
    contacts.push_back(std::move(c));
    CPhonebook pb;
    auto p = std::make_unique<CPhonebookEntry>();
    p->m_strNumber = u"(030) 1";
    p->m_nTicked = 1;
    pb.Append(std::move(p));
    EXPECT_EQ(BuildRecipients({u"+111", u""}, contacts, pb.m_entries), u"+111;+49171;0301");
    contacts[0]->m_nTicked = 0;
    pb.m_entries[0]->m_nTicked = 0;
    EXPECT_EQ(BuildRecipients({}, contacts, pb.m_entries), u"");

    // Never synchronised phone memory: no place to go.
    int saves = 0;
    ImportOutcome none =
        ImportIntoPhonebook(pb, {contacts[0].get()}, STORAGE_PHONE, [&] { ++saves; });
    EXPECT_EQ(none.strMessage, kSyncFirst);
    // The SIM (1 to 20, names up to 20): mobile and car, each with its letter.
    pb.m_entries.clear();
    ImportOutcome two = ImportIntoPhonebook(pb, {contacts[0].get()}, STORAGE_SIM, [&] { ++saves; });
    EXPECT_EQ(two.nCreated, 2);
    EXPECT_TRUE(two.strMessage.empty());
    ASSERT_EQ(pb.m_entries.size(), 2u);
    EXPECT_EQ(pb.m_entries[0]->m_strName, u"Miller Anna/M");
    EXPECT_EQ(pb.m_entries[0]->m_nId, STORAGE_SIM | 1);
    EXPECT_EQ(pb.m_entries[1]->m_strName, u"Miller Anna/A");
    EXPECT_EQ(pb.m_entries[1]->m_strNumber, u"0172");
    // A large storage that is full.
    pb.m_storages[0].m_nLast = 2;
    pb.m_storages[1] = PhonebookStorage{STORAGE_SIM, 1, 2, 10, 20};
    pb.m_storages[0].m_nLast = 21;
    for (int i = 3; i <= 21; ++i) {
        auto f = std::make_unique<CPhonebookEntry>();
        f->m_nId = STORAGE_SIM | static_cast<uint32_t>(i);
        pb.Append(std::move(f));
    }
    EXPECT_EQ(ImportIntoPhonebook(pb, {contacts[0].get()}, STORAGE_SIM, {}).strMessage,
              u"Phonebook from Mobile is full.");

    std::vector<const CPhonebookEntry*> out = {pb.m_entries[0].get()};
    EXPECT_EQ(ExportToContacts(out), kExported);
    CBookList back;
    ASSERT_TRUE(LoadContacts(back, m_ui));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->m_strName, u"Miller Anna/M");
    EXPECT_EQ(back[0]->m_strNumber, u"+49171");
}

}  // namespace
