#include <gtest/gtest.h>

#include <tuple>

#include "common/narrow.h"
#include "platform/text.h"
#include "telmio/sms/cmgr_reply.h"
#include "telmio/sms/sms_message.h"
#include "telmio/sms/sms_pdu.h"

using namespace kvo;

namespace {

struct CImported {
    std::u16string number, text, storage;
    std::string stamp;
    char status;
    int index;
};

class CRecordingImport : public ISmsImport {
public:
    void ImportMessage(const std::u16string& number, const std::string& timestamp,
                       const std::u16string& text, char status, const std::u16string& storage,
                       int index) override {
        m_items.push_back({number, text, storage, timestamp, status, index});
    }
    std::vector<CImported> m_items;
};

class CFixedClock : public ce::Clock {
public:
    ce::SYSTEMTIME LocalTime() override {
        ce::SYSTEMTIME st;
        st.wYear = 2026, st.wMonth = 3, st.wDay = 4, st.wHour = 5, st.wMinute = 6;
        return st;
    }
    uint32_t TickCount() override { return 0; }
    void Sleep(uint32_t) override {}
};

std::u16string DeliverReply(char status, std::string_view gsmText) {
    CSmsPdu pdu;
    std::vector<uint8_t> ud;
    pdu.PackSeptets(ud, gsmText);
    char udl[3];
    snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(gsmText.size()));
    std::string hex = "07911326040000F0040B911346610089F6000020806291731408" + std::string(udl) +
                      pdu.BytesToHex(ud);
    return u"+CMGR: " + std::u16string(1, status) + u",,40\r\n" + Widen(hex);
}

TEST(CmgrReply, ImportsTheMappedTrimmedTextWithItsOrigin) {
    CSmsPdu pdu;
    CRecordingImport import;
    std::string text = std::string("  Hi ") + '\0' + '\x40' + "\nyou\x09  ";
    EXPECT_EQ(pdu.ParseCmgrReply(DeliverReply('1', text), u"SM", 7, CMGR_IMPORT, &import, nullptr),
              CMGR_DONE);
    ASSERT_EQ(import.m_items.size(), 1u);
    const CImported& m = import.m_items[0];
    EXPECT_EQ(m.text, u"Hi @\u00A1\r\nyou\u00E7");  // code 9 is a c with cedilla, not a tab
    EXPECT_EQ(m.number, u"+31641600986");
    EXPECT_EQ(m.stamp, "02082619374180");
    EXPECT_EQ(m.status, '1');
    EXPECT_EQ(m.storage, u"SM");
    EXPECT_EQ(m.index, 7);
}

TEST(CmgrReply, ResultCodes) {
    CSmsPdu pdu;
    CRecordingImport import;
    auto parse = [&](std::u16string_view reply) {
        return pdu.ParseCmgrReply(reply, u"ME", 1, CMGR_IMPORT, &import, nullptr);
    };
    EXPECT_EQ(parse(u"+CMTI: \"SM\",1\r\n00"), CMGR_NOT_CMGR);
    EXPECT_EQ(parse(u""), CMGR_NOT_CMGR);
    EXPECT_EQ(parse(u"+CMGR:"), CMGR_NO_LINE_BREAK);
    EXPECT_EQ(parse(u"+CMGR: 0,,24"), CMGR_NO_LINE_BREAK);
    // A stored unsent message is skipped before anything else is looked at.
    EXPECT_EQ(parse(u"+CMGR: 2,,24"), CMGR_DONE);
    EXPECT_EQ(parse(u"+CMGR: 0,,24\r\n" + std::u16string(901, u'0')), CMGR_PDU_TOO_LONG);
    EXPECT_EQ(parse(u"+CMGR: 0,,24\r\n00" + std::u16string(898, u'x')), CMGR_UNDECODABLE);
    std::u16string lower = DeliverReply('0', "hello");
    for (char16_t& c : lower) c = static_cast<char16_t>(towlower(c));
    lower.replace(0, 6, u"+CMGR:");
    EXPECT_EQ(parse(lower), CMGR_UNDECODABLE);
    EXPECT_EQ(parse(DeliverReply('0', " \n  ")), CMGR_EMPTY_TEXT);
    EXPECT_EQ(parse(DeliverReply('0', "")), CMGR_EMPTY_TEXT);
    EXPECT_TRUE(import.m_items.empty());
    // A line break after the PDU ends it.
    EXPECT_EQ(parse(DeliverReply('0', "x") + u"\r\n"), CMGR_DONE);
    EXPECT_EQ(import.m_items.size(), 1u);
}

TEST(CmgrReply, CompareModeBuildsTheMessage) {
    CSmsPdu pdu;
    CFixedClock clock;
    ce::SetClock(&clock);
    CSmsMessage msg;
    EXPECT_EQ(pdu.ParseCmgrReply(DeliverReply('0', "hello"), u"ME", 3, CMGR_COMPARE, nullptr, &msg),
              CMGR_DONE);
    EXPECT_EQ(msg.m_strText, u"hello");
    EXPECT_EQ(msg.m_nStorage, STORAGE_ME);
    EXPECT_EQ(msg.m_nIndex, 3);
    EXPECT_EQ(msg.m_nFilePos, -1);
    EXPECT_EQ(msg.m_nState, SMS_UNREAD);
    EXPECT_DOUBLE_EQ(msg.m_time.m_dt, ce::OleDate::FromParts(2002, 8, 26, 19, 37, 41).m_dt);

    // A stored sent message is an SMS-SUBMIT without a time stamp: it gets the current time.
    std::string hex;
    ASSERT_GT(pdu.EncodeSubmit(hex, "sent one", "+4912", "+49123", false), 0);
    EXPECT_EQ(
        pdu.ParseCmgrReply(u"+CMGR: 3,,20\r\n" + Widen(hex), u"XX", 9, CMGR_COMPARE, nullptr, &msg),
        CMGR_DONE);
    EXPECT_EQ(msg.m_strNumber, u"+4912");
    EXPECT_EQ(msg.m_strText, u"sent one");
    EXPECT_EQ(msg.m_nStorage, STORAGE_SM);
    EXPECT_EQ(msg.m_nState, SMS_SENT_ON_PHONE);
    EXPECT_DOUBLE_EQ(msg.m_time.m_dt, ce::OleDate::FromParts(2026, 3, 4, 5, 6, 0).m_dt);
    ce::SetClock(nullptr);
}

TEST(CmgrReply, TimeFromStampFallsBackOnInvalidDates) {
    CFixedClock clock;
    ce::SetClock(&clock);
    double now = ce::OleDate::FromParts(2026, 3, 4, 5, 6, 0).m_dt;
    EXPECT_DOUBLE_EQ(TimeFromStamp("00000000000000").m_dt, now);
    EXPECT_DOUBLE_EQ(TimeFromStamp("02133119374100").m_dt, now);  // month 13
    EXPECT_DOUBLE_EQ(TimeFromStamp("0202:819374100").m_dt, now);
    EXPECT_DOUBLE_EQ(TimeFromStamp("040229235959").m_dt,
                     ce::OleDate::FromParts(2004, 2, 29, 23, 59, 59).m_dt);
    ce::SetClock(nullptr);
}

}  // namespace

namespace kvo {
namespace {

// Headers real phones write: no blank, an empty or named alpha field, no status at all.
TEST(CmgrReplyDialects, HeaderVariantsAndEmptySlots) {
    CSmsPdu pdu;
    std::u16string body = DeliverReply('1', "hi").substr(std::u16string(u"+CMGR: 1,,40").size());
    const std::pair<std::u16string, char> headers[] = {
        {u"+CMGR:1,,40", '1'}, {u"+CMGR: 1,\"\",40", '1'}, {u"+CMGR: 0,\"Anna\",40", '0'},
        {u"+CMGR: ,,40", '0'}, {u"+CMGR:  1 ,,40", '1'},
    };
    for (const auto& [header, status] : headers) {
        CRecordingImport import;
        EXPECT_EQ(pdu.ParseCmgrReply(header + body, u"ME", 0, CMGR_IMPORT, &import, nullptr),
                  CMGR_DONE)
            << ce::ToUtf8(header);
        ASSERT_EQ(import.m_items.size(), 1u);
        EXPECT_EQ(import.m_items[0].status, status) << ce::ToUtf8(header);
        EXPECT_EQ(import.m_items[0].text, u"hi");
        EXPECT_EQ(import.m_items[0].index, 0);
    }
    CRecordingImport none;
    for (const char16_t* empty :
         {u"+CMGR: 0,,0", u"+CMGR:0,,0\r\n", u"+CMGR: ,,0", u"+CMGR: 0,\"\",0"}) {
        EXPECT_EQ(pdu.ParseCmgrReply(empty, u"ME", 1, CMGR_IMPORT, &none, nullptr), CMGR_EMPTY_SLOT)
            << ce::ToUtf8(empty);
    }
    EXPECT_TRUE(none.m_items.empty());
    // A stored sent message without a status is known by its PDU type.
    CSmsMessage msg;
    EXPECT_EQ(pdu.ParseCmgrReply(u"+CMGR: ,,20\r\n0011000C919471113254760000FF05C8329BFD06", u"SM",
                                 2, CMGR_COMPARE, nullptr, &msg),
              CMGR_DONE);
    EXPECT_EQ(msg.m_nState, StateFromStatus('3'));
}

TEST(CmgrReplyDialects, CpmsCountsInEveryForm) {
    const std::tuple<std::u16string, int, int> good[] = {
        {u"+CPMS: 3,20,3,20,3,20", 3, 20},
        {u"+CPMS: 3,20,3,20", 3, 20},
        {u"+CPMS:0,1000,0,1000", 0, 1000},
        {u"+CPMS: 12 , 255", 12, 255},
        {u"+CPMS: \"ME\",4,150,\"SM\",0,30,\"ME\",4,150", 4, 150},
    };
    for (const auto& [reply, used, total] : good) {
        int u = -1, t = -1;
        EXPECT_TRUE(ParseCpmsCounts(reply, u, t)) << ce::ToUtf8(reply);
        EXPECT_EQ(u, used);
        EXPECT_EQ(t, total);
    }
    int u, t;
    for (const char16_t* bad :
         {u"", u"+CPMS:", u"+CPMS: 3", u"+CPMS: \"ME", u"+CPMS: x,1", u"+CPMS: 3,", u"CPMS: 1,2"}) {
        EXPECT_FALSE(ParseCpmsCounts(bad, u, t)) << ce::ToUtf8(bad);
    }
}

}  // namespace
}  // namespace kvo
