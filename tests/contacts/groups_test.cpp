// Group files, member resolution and the group dialogs' rules.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/install_dir.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "telmio/contacts/address_book.h"
#include "telmio/contacts/groups.h"
#include "telmio/session/telmio_doc.h"
#include "tests/support/temp_device.h"

namespace {

using namespace kvo;

std::unique_ptr<CGroupMember> Member(std::u16string source, uint32_t id, std::u16string name) {
    auto m = std::make_unique<CGroupMember>();
    m->m_strSource = std::move(source);
    m->m_nId = id;
    m->m_strName = std::move(name);
    return m;
}

class GroupsTest : public test::DeviceTest {
protected:
    void SetUp() override {
        ce::SetAppName(u"telmio");
        ce::CreateDirectories(m_dir + u"groups");
        m_doc = std::make_unique<CTelmioDoc>(m_ui, m_dir);
        m_book = std::make_unique<CAddressBook>(*m_doc, m_ui);
        m_doc->Settings().m_pb.m_strName = u"111";
    }
    std::unique_ptr<CPhonebookEntry> Entry(uint32_t id, std::u16string name,
                                           std::u16string number) {
        auto e = std::make_unique<CPhonebookEntry>();
        e->m_nId = id;
        e->m_strName = std::move(name);
        e->m_strNumber = std::move(number);
        return e;
    }
    std::u16string m_dir = u"\\app\\";
    CRecordingUi m_ui;
    std::unique_ptr<CTelmioDoc> m_doc;
    std::unique_ptr<CAddressBook> m_book;
};

TEST_F(GroupsTest, ANewGroupIsFourZeroBytesAndListedWithItsCount) {
    std::vector<CSmsGroup> groups;
    EXPECT_EQ(CheckNewGroupName(groups, u""), u"You have to assign a name to your group.");
    ASSERT_EQ(CheckNewGroupName(groups, u"Team"), u"");
    ASSERT_TRUE(CreateGroup(m_dir, u"Team"));
    std::string bytes;
    ASSERT_TRUE(ce::ReadFileBytes(GroupPath(m_dir, u"Team"), bytes));
    EXPECT_EQ(bytes, std::string(4, '\0'));

    CGroupMemberList members;
    members.push_back(Member(u"Contacts", 7, u"Miller Anna"));
    members.push_back(Member(u"350", STORAGE_SIM | 3, u"Office"));
    ASSERT_EQ(WriteGroup(members, GroupPath(m_dir, u"Family")), 1);
    LoadGroupNames(groups, m_book->GroupsFolder());
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].m_strName, u"Family");
    EXPECT_EQ(groups[0].m_nCount, 2);
    EXPECT_EQ(groups[1].m_nCount, 0);
    EXPECT_EQ(CheckNewGroupName(groups, u"Team"), u"Group name still exists!");
    EXPECT_EQ(CheckNewGroupName(groups, u"team"), u"");  // letter case makes another name
    EXPECT_NE(CheckNewGroupName(groups, u"../evil"), u"");

    CGroupMemberList back;
    ASSERT_EQ(ReadGroup(back, GroupPath(m_dir, u"Family")), 1);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1]->m_nId, STORAGE_SIM | 3);
    EXPECT_EQ(FormatGroup(back), FormatGroup(members));

    // A short file: failure, the members before the damage stay.
    std::string image = FormatGroup(members);
    CGroupMemberList partial;
    EXPECT_FALSE(ParseGroup(image.substr(0, image.size() - 3), partial));
    EXPECT_EQ(partial.size(), 1u);
    EXPECT_EQ(ReadGroupCount(GroupPath(m_dir, u"missing")), 0);
    EXPECT_TRUE(DeleteGroup(m_dir, u"Family"));
    EXPECT_TRUE(DeleteGroup(m_dir, u"Family"));  // already gone
}

TEST_F(GroupsTest, MembersResolveByIdAndNameInTheirOwnSource) {
    auto contact = std::make_unique<CBookEntry>();
    contact->m_nId = 7;
    contact->m_strName = u"Miller Anna";
    contact->m_strNumber = u"+49 (171) 1";
    m_book->m_contacts.push_back(std::move(contact));
    m_book->m_phonebook.Append(Entry(STORAGE_SIM | 3, u"Office", u"030 1"));
    // Another phone's stored phonebook.
    CPhonebook other;
    other.Append(Entry(STORAGE_PHONE | 5, u"Far away", u"+33 1"));
    ASSERT_TRUE(SavePhonebookFile(PhonebookPath(m_dir, u"222"), other));

    CGroupMemberList members;
    members.push_back(Member(u"Contacts", 7, u"Miller Anna"));
    members.push_back(Member(u"111", STORAGE_SIM | 3, u"Office"));
    members.push_back(Member(u"222", STORAGE_PHONE | 5, u"Far away"));
    members.push_back(Member(u"333", STORAGE_SIM | 1, u"No such phone"));
    ASSERT_EQ(WriteGroup(members, GroupPath(m_dir, u"Mixed")), 1);
    std::vector<std::u16string> numbers;
    ASSERT_TRUE(m_book->ExpandGroup(u"Mixed", numbers));
    EXPECT_EQ(numbers, (std::vector<std::u16string>{u"+491711", u"0301", u"+331"}));

    // Renamed on the phone: the member no longer resolves and is skipped.
    m_book->m_phonebook.FindEntryById(STORAGE_SIM | 3)->m_strName = u"Office Berlin";
    EXPECT_EQ(m_book->ResolveMember(*members[1]), u"");
    numbers.clear();
    ASSERT_TRUE(m_book->ExpandGroup(u"Mixed", numbers));
    EXPECT_EQ(numbers, (std::vector<std::u16string>{u"+491711", u"+331"}));
}

TEST_F(GroupsTest, DefineGroupRefusesMissingNumbersAndDuplicates) {
    CGroupMemberList members;
    CBookEntry e;
    e.m_nId = 9;
    e.m_strName = u"Anna";
    e.m_strNumber = u"n/a";
    EXPECT_EQ(AddMember(members, e, u"Contacts", u"Team"),
              u"Can not add contact Anna. The Phone number is missing.");
    e.m_strNumber = u"+4917";
    EXPECT_EQ(AddMember(members, e, u"Contacts", u"Team"), u"");
    EXPECT_EQ(AddMember(members, e, u"111", u"Team"), u"Contact already added to group Team.");
    ASSERT_EQ(members.size(), 1u);
    EXPECT_FALSE(RemoveMember(members, u"Bernd"));
    EXPECT_TRUE(RemoveMember(members, u"Anna"));
    EXPECT_TRUE(members.empty());
}

TEST_F(GroupsTest, KillDuringAGroupWriteLeavesTheOldOrTheNewFileWhole) {
    CGroupMemberList small, large;
    small.push_back(Member(u"Contacts", 1, u"One"));
    for (uint32_t i = 1; i <= 400; ++i)
        large.push_back(Member(u"Contacts", i, u"Member number " + std::u16string(20, u'x')));
    const std::u16string path = GroupPath(m_dir, u"Busy");
    ASSERT_EQ(WriteGroup(small, path), 1);
    const std::string a = FormatGroup(small), b = FormatGroup(large);
    for (int round = 0; round < 20; ++round) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            for (int i = 0;; ++i) WriteGroup(i % 2 ? small : large, path);
        usleep(1000 + (round * 1777) % 9000);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::string bytes;
        ASSERT_TRUE(ce::ReadFileBytes(path, bytes));
        EXPECT_TRUE(bytes == a || bytes == b) << "round " << round;
    }
}

}  // namespace
