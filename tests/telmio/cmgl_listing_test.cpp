#include <gtest/gtest.h>

#include "platform/text.h"
#include "telmio/sms/cmgl_listing.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/sms_pdu.h"

using namespace kvo;

namespace {

// A Huawei stick's answer (its slots count from 0), as the engine hands it over.
const char16_t kPdu[] = u"07913366003051F5040B913366304381F900005180719120348004D4F29C0E";

class CCollect : public ISmsImport {
public:
    void ImportMessage(const std::u16string& number, const std::string&, const std::u16string& text,
                       char status, const std::u16string&, int index) override {
        m_items.push_back({number, text, status, index});
    }
    struct Item {
        std::u16string number, text;
        char status;
        int index;
    };
    std::vector<Item> m_items;
};

std::u16string Entry(const std::u16string& header) {
    return header + u"\r\n" + kPdu;
}

TEST(CmglListing, EachListedSlotReadsAsItsOwnCmgrReply) {
    std::vector<CListedSlot> slots;
    ASSERT_TRUE(ParseCmglListing(Entry(u"+CMGL: 0,0,,23") + u"\r\n", slots));
    ASSERT_EQ(slots.size(), 1u);
    EXPECT_EQ(slots[0].m_nIndex, 0);
    CCollect c;
    EXPECT_EQ(CSmsPdu().ParseCmgrReply(slots[0].m_strReply, u"ME", slots[0].m_nIndex, CMGR_IMPORT,
                                       &c, nullptr),
              CMGR_DONE);
    ASSERT_EQ(c.m_items.size(), 1u);
    EXPECT_EQ(c.m_items[0].number, u"+33660334189");
    EXPECT_EQ(c.m_items[0].text, u"Test");
    EXPECT_EQ(c.m_items[0].status, '0');

    // Header forms of other phones, blank lines between entries, the listed order kept.
    std::u16string many = Entry(u"+CMGL:7,1,,23") + u"\r\n\r\n" +
                          Entry(u"+CMGL: 3, 3 ,\"Anna, home\",23") + u"\r\n" +
                          Entry(u"+CMGL: 12,2,\"\",23");
    ASSERT_TRUE(ParseCmglListing(many, slots));
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_EQ(slots[0].m_nIndex, 7);
    EXPECT_EQ(slots[1].m_nIndex, 3);
    EXPECT_EQ(slots[1].m_strReply.substr(0, 28), u"+CMGR: 3 ,\"Anna, home\",23\r\n0");
    EXPECT_EQ(slots[2].m_nIndex, 12);

    ASSERT_TRUE(ParseCmglListing(u"", slots));
    EXPECT_TRUE(slots.empty());
}

// Anything that does not fit makes the whole listing unusable, so the caller reads slot by
// slot instead of trusting a part of it.
TEST(CmglListing, AListingThatDoesNotFitIsRefusedWhole) {
    const std::u16string good = Entry(u"+CMGL: 1,1,,23") + u"\r\n";
    std::u16string pdu(kPdu);
    const std::u16string bad[] = {
        good + u"+CMGL: 2,1,,23",                                      // cut after a header
        good + u"+CMGL: 2,1,,23\r\n" + pdu.substr(0, pdu.size() / 2),  // cut inside the PDU
        good + u"+CMGL: 2,1,,22\r\n" + pdu,                            // length disagrees
        good + u"+CMGL: 2,1,,23\r\n" + pdu.substr(0, 20) + u"G" + pdu.substr(21),
        good + Entry(u"+CMGL: 1,0,,23"),  // a slot listed twice
        Entry(u"+CMGL: 10000,1,,23"),     // index out of range
        Entry(u"+CMGL: -1,1,,23"),
        Entry(u"+CMGL: 1,7,,23"),        // no such status
        Entry(u"+CMGL: 1,1,\"Anna,23"),  // open quote
        Entry(u"+CMGL: 1,1,23"),         // no alpha field
        good + u"ERROR",                 // a stray line
        u"+CMGL: 1,\"REC READ\",\"+491701234567\",,\"26/12/08,10:15:00+04\"\r\nHello",
        pdu,  // a PDU without header
    };
    for (const std::u16string& listing : bad) {
        std::vector<CListedSlot> slots{CListedSlot{}};
        EXPECT_FALSE(ParseCmglListing(listing, slots)) << ce::ToUtf8(listing);
        EXPECT_TRUE(slots.empty());
    }
}

}  // namespace
