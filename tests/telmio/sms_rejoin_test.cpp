// Parts of long messages joined in the list, and the part fields of a store record.
#include <gtest/gtest.h>

#include "common/binio.h"
#include "telmio/sms/sms_rejoin.h"

using namespace kvo;

namespace {

std::unique_ptr<CSmsMessage> Part(const std::u16string& number, int ref, int count, int seq,
                                  const std::u16string& text, int state = SMS_READ, int index = 1) {
    auto m = std::make_unique<CSmsMessage>();
    m->m_nState = state;
    m->m_strNumber = number;
    m->m_strText = text;
    m->m_nStorage = STORAGE_ME;
    m->m_nIndex = index;
    m->m_part = CSmsPart{ref, count, seq};
    return m;
}

int Count(const CSmsStore::List& list, int state) {
    int n = 0;
    for (const auto& m : list) n += m->m_nState == state;
    return n;
}

TEST(Rejoin, JoinsOnlyCompleteSetsInPartOrder) {
    CSmsStore::List list;
    list.push_back(Part(u"+4917", 9, 3, 3, u"three.", SMS_READ, 5));
    list.push_back(Part(u"+4917", 9, 3, 1, u" one ", SMS_READ, 7));
    // Same reference from another sender, and another count: other messages.
    list.push_back(Part(u"+4930", 9, 3, 2, u"x"));
    list.push_back(Part(u"+4917", 9, 2, 2, u"y"));
    EXPECT_TRUE(RejoinParts(list).empty());
    EXPECT_EQ(list.size(), 4u);

    list.push_back(Part(u"+4917", 9, 3, 2, u"two, ", SMS_UNREAD, 2));
    list.push_back(Part(u"+4917", 9, 3, 2, u"two, ", SMS_READ, 3));  // delivered twice
    auto changed = RejoinParts(list);
    ASSERT_EQ(changed.size(), 5u);  // four parts and the joined message
    const CSmsMessage& joined = *list.back();
    EXPECT_EQ(joined.m_strText, u"one two, three.");
    EXPECT_EQ(joined.m_nState, SMS_UNREAD);  // a part was unread
    EXPECT_EQ(joined.m_nIndex, 7);           // part 1's slot
    EXPECT_EQ(joined.m_part, (CSmsPart{9, 3, 0}));
    EXPECT_EQ(Count(list, SMS_JOINED_PART), 4);
    EXPECT_EQ(PartsOf(list, joined).size(), 4u);
    EXPECT_TRUE(PartsOf(list, *list[2]).empty());  // a part is no joined message
    // Nothing more to join.
    EXPECT_TRUE(RejoinParts(list).empty());

    // Received parts and sent ones are never mixed; deleted parts do not count.
    list.push_back(Part(u"+4917", 1, 2, 1, u"a", SMS_SENT_ON_PHONE));
    list.push_back(Part(u"+4917", 1, 2, 2, u"b", SMS_READ));
    list.push_back(Part(u"+4917", 1, 2, 2, u"b", SMS_DELETED));
    EXPECT_TRUE(RejoinParts(list).empty());
}

TEST(Rejoin, PartFieldsSurviveTheRecordAndStayOutOfOldFields) {
    CSmsMessage m;
    m.m_strNumber = u"Vodafone";
    m.m_strText = u"part";
    m.m_bFlash = true;
    m.m_part = CSmsPart{0xABCD, 255, 255};
    MemWriter w;
    ASSERT_TRUE(WriteSmsRecord(w, m));
    EXPECT_EQ(w.Bytes().size(), m.RecordSize());
    MemReader r(w.Bytes());
    CSmsMessage back;
    ASSERT_EQ(ReadSmsRecord(r, back), RecordResult::ok);
    EXPECT_EQ(back.m_part, m.m_part);
    EXPECT_EQ(back.m_nFolder, 0);
    EXPECT_TRUE(back.m_bFlash);
    EXPECT_FALSE(back.m_bMarked);

    // In a user folder the folder field is the folder's: the part's place is given up.
    m.m_nState = SMS_USER_FOLDER;
    m.m_nFolder = 4;
    MemWriter w2;
    ASSERT_TRUE(WriteSmsRecord(w2, m));
    MemReader r2(w2.Bytes());
    ASSERT_EQ(ReadSmsRecord(r2, back), RecordResult::ok);
    EXPECT_EQ(back.m_nFolder, 4);
    EXPECT_FALSE(back.m_part.IsPart());

    // Part bits that make no sense leave the record as it was: no part, the folder kept.
    MemWriter w4;
    CSmsMessage odd;
    odd.m_nFolder = 77;
    ASSERT_TRUE(WriteSmsRecord(w4, odd));
    std::string bytes = w4.Bytes();
    size_t flagsAt = bytes.size() - 16;  // flags, storage, folder, index
    bytes[flagsAt] = 4;                  // the part flag with count 0
    MemReader r4(bytes);
    ASSERT_EQ(ReadSmsRecord(r4, back), RecordResult::ok);
    EXPECT_FALSE(back.m_part.IsPart());
    EXPECT_EQ(back.m_nFolder, 77);

    // A record without part fields reads as a whole message.
    CSmsMessage plain;
    MemWriter w3;
    ASSERT_TRUE(WriteSmsRecord(w3, plain));
    MemReader r3(w3.Bytes());
    ASSERT_EQ(ReadSmsRecord(r3, back), RecordResult::ok);
    EXPECT_EQ(back.m_part, CSmsPart{});
}

}  // namespace
