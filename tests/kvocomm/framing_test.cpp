// Framing and shaping of replies as they come from real phones, without a port.
#include <gtest/gtest.h>

#include "kvocomm/reply_framer.h"
#include "kvocomm/reply_shaper.h"
#include "platform/text.h"

using namespace kvocomm;

namespace {

struct Framed {
    FrameVerdict verdict;
    size_t used;  // characters consumed until the verdict
};

Framed Frame(std::u16string_view bytes, int mode = 0) {
    CReplyFramer framer(mode);
    for (size_t i = 0; i < bytes.size(); ++i) {
        FrameVerdict v = framer.Feed(bytes[i]);
        if (v != FrameVerdict::More)
            return {v, i + 1};
    }
    return {FrameVerdict::More, bytes.size()};
}

}  // namespace

TEST(ReplyFramer, EndsAtOkPromptIndicationOrError) {
    struct Row {
        const char* label;
        std::u16string bytes;
        int mode;
        FrameVerdict verdict;
        size_t used;
    };
    const Row rows[] = {
        {"bare OK, echo off", u"\r\nOK\r\n", 0, FrameVerdict::Complete, 6},
        {"echo on", u"AT\r\r\nOK\r\n", 0, FrameVerdict::Complete, 9},
        {"ERROR", u"\r\nERROR\r\nrest", 0, FrameVerdict::Error, 9},
        {"+CMS ERROR", u"\r\n+CMS ERROR: 500\r\n", 0, FrameVerdict::Error, 19},
        {"ERROR inside a line waits for its end", u"\r\n+CME ERROR: 1", 0, FrameVerdict::More, 15},
        {"prompt with echo, at the '>'", u"AT+CMGS=23\r\r\n> ", 0, FrameVerdict::Complete, 14},
        {"3-character prompt, echo off, never", u"\r\n> ", 0, FrameVerdict::More, 4},
        {"mode 1 runs past '>' to OK", u"\r\n> \r\n+CMGS: 3\r\n\r\nOK\r\n", 1,
         FrameVerdict::Complete, 22},
        {"+CMTI while waiting", u"\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n", 0, FrameVerdict::Complete,
         17},
        {"+CMT with its PDU line", u"\r\n+CMT: ,24\r\n07911234\r\nOK", 0, FrameVerdict::Complete,
         23},
        {"+CMT header alone is not enough", u"\r\n+CMT: ,24\r\n0", 0, FrameVerdict::More, 14},
        {"OK inside a text line does not end it", u"\r\nOK then\r\n", 0, FrameVerdict::More, 11},
    };
    for (const auto& r : rows) {
        Framed f = Frame(r.bytes, r.mode);
        EXPECT_EQ(f.verdict, r.verdict) << r.label;
        EXPECT_EQ(f.used, r.used) << r.label;
    }
}

TEST(ReplyFramer, FirstMarkerCountsAsASearchFromTheFrontWould) {
    // "+CMTI: " then a second one: the text after the first must end in CR LF.
    EXPECT_TRUE(HoldsMessageInfo(u"x+CMTI: a+CMTI: b\r\n"));
    EXPECT_FALSE(HoldsMessageInfo(u"+CMTI: "));
    EXPECT_FALSE(HoldsMessageInfo(u"+CMTI: \r"));
    EXPECT_TRUE(HoldsMessageInfo(u"+CMTI: \r\n"));
    // The PDU line is the line after the first CR LF that follows "+CMT:".
    EXPECT_TRUE(HoldsPduMessage(u"+CMT: ,1\r\nAB\r\n"));
    EXPECT_TRUE(HoldsPduMessage(u"+CMT: ,1\r\n\r\n"));  // a line break alone is long enough
    EXPECT_FALSE(HoldsPduMessage(u"+CMT: ,1\r\n\n"));
    EXPECT_FALSE(HoldsPduMessage(u"\r\n+CMT:"));
    EXPECT_FALSE(HoldsPduMessage(u"+CMTI: \"SM\",1\r\n"));
    CReplyFramer framer(0);
    for (char16_t c : std::u16string(u"+CMT: ,1\r\nAB\r\n")) framer.Feed(c);
    EXPECT_TRUE(framer.PduMessage());
}

TEST(ReplyShaper, PayloadWithoutEchoLineBreaksAndOk) {
    struct Row {
        const char* label;
        std::u16string reply;
        std::u16string command;
        ReplyKind kind;
        int status;
        std::u16string text;
    };
    const Row rows[] = {
        {"bare OK", u"\r\nOK\r\n", u"AT", ReplyKind::Payload, 1, u""},
        {"echoed OK", u"AT\r\r\nOK\r\n", u"AT", ReplyKind::Payload, 1, u""},
        {"echo cut short", u"AT\rOK\r\n", u"AT", ReplyKind::Payload, 1, u""},
        {"manufacturer with echo", u"AT+CGMI\r\r\nNokia\r\n\r\nOK\r\n", u"AT+CGMI",
         ReplyKind::Payload, 1, u"Nokia"},
        {"message read keeps inner line break", u"\r\n+CMGR: 0,,23\r\n07912143\r\n\r\nOK\r\n",
         u"AT+CMGR=1", ReplyKind::Payload, 1, u"+CMGR: 0,,23\r\n07912143"},
        {"4-character payload", u"\r\n1234\r\n\r\nOK\r\n", u"AT+X", ReplyKind::Payload, 1, u"1234"},
        {"2 digits between line breaks", u"\r\n12\r\n\r\nOK\r\n", u"AT+X", ReplyKind::Payload, 1,
         u"12"},
        {"1 to 3 characters left fail", u"12\r\nOK\r\n", u"AT+X", ReplyKind::TooShort, 2, u""},
        {"prompt", u"AT+CMGS=5\r\r\n>", u"AT+CMGS=5", ReplyKind::Prompt, 1, u">"},
        {"indication whole", u"\r\n+CMTI: \"SM\",2\r\n", u"AT", ReplyKind::MessageInfo, 1,
         u"\r\n+CMTI: \"SM\",2\r\n"},
        {"pdu message whole", u"\r\n+CMT: ,3\r\nAB\r\n", u"AT", ReplyKind::PduMessage, 1,
         u"\r\n+CMT: ,3\r\nAB\r\n"},
        {"space left from a prompt leads the next reply", u" \r\n+CMGS: 5\r\n\r\nOK\r\n", u"00\x1a",
         ReplyKind::Payload, 1, u"\n+CMGS: 5"},
    };
    for (const auto& r : rows) {
        ShapedReply s = ShapeReply(r.reply, r.command);
        EXPECT_EQ(s.kind, r.kind) << r.label;
        EXPECT_EQ(s.status, r.status) << r.label;
        if (r.status == 1) {
            EXPECT_EQ(s.text, r.text) << r.label;
        }
    }
}

TEST(ReplyFramer, UnsolicitedLinesAreTakenOutWhereverTheyCome) {
    struct Row {
        std::u16string command;
        std::u16string bytes;
        std::u16string shaped;
        int indications;
    };
    const Row rows[] = {
        {u"AT+CMGF=0", u"AT+CMGF=0\r\r\n^MODE:5,4\r\n\r\nOK\r\n", u"", 0},
        {u"AT", u"\r\n^BOOT:1\r\nAT\r\r\nOK\r\n", u"", 0},
        {u"AT+CGMI", u"\r\n+CMTI: \"SM\",1\r\n\r\nNokia\r\n\r\n^RSSI:9\r\n\r\nOK\r\n", u"Nokia", 1},
        {u"AT+CMGR=1", u"\r\n+CMGR: 1,,3\r\n+CREG: 1\r\n070000\r\n\r\nOK\r\n",
         u"+CMGR: 1,,3\r\n070000", 0},
        {u"AT+CREG?", u"\r\n+CREG: 0,1\r\n\r\nOK\r\n", u"+CREG: 0,1", 0},
        {u"AT+CGMM", u"ATCGMM\r\r\n6310i\r\n\r\nOK\r\n", u"6310i", 0},
        {u"AT+CGMI", u"AT+CGMI\r\r\nKVO\r\n^RSSI:17\r\n\r\nOK\r\n", u"KVO", 0},
        {u"AT+CMGR=1", u"\r\n+CMGR: 1,,3\r\n070000\r\n\r\n^RSSI:17\r\n\r\nOK\r\n",
         u"+CMGR: 1,,3\r\n070000", 0},
    };
    for (const Row& r : rows) {
        CReplyFramer framer(0, r.command);
        FrameVerdict v = FrameVerdict::More;
        for (char16_t c : r.bytes) {
            ASSERT_EQ(v, FrameVerdict::More) << ce::ToUtf8(r.bytes);
            v = framer.Feed(c);
        }
        ASSERT_EQ(v, FrameVerdict::Complete) << ce::ToUtf8(r.bytes);
        ShapedReply shaped = ShapeReply(framer.Reply(), r.command);
        EXPECT_EQ(shaped.status, 1) << ce::ToUtf8(r.bytes);
        EXPECT_EQ(shaped.text, r.shaped) << ce::ToUtf8(r.bytes);
        EXPECT_EQ(framer.MessageIndications(), r.indications);
    }
    CReplyFramer refused(0, u"AT^SYSINFO");
    FrameVerdict v = FrameVerdict::More;
    for (char16_t c : std::u16string(u"\r\nCOMMAND NOT SUPPORT\r\n")) v = refused.Feed(c);
    EXPECT_EQ(v, FrameVerdict::Error);
}

TEST(ReplyFramer, KnownRepliesAreWholeByShapeWithoutOk) {
    const std::pair<std::u16string, std::u16string> whole[] = {
        {u"AT+CGMI", u"\r\nNokia\r\n"},
        {u"AT+CMGR=3", u"\r\n+CMGR: 0,,0\r\n"},
        {u"AT+CMGR=3", u"\r\n+CMGR: 1,,3\r\n070000\r\n"},
        {u"AT+CPMS=\"SM\"", u"AT+CPMS=\"SM\"\r\r\n+CPMS: 1,10,1,10\r\n"},
    };
    for (const auto& [command, bytes] : whole) {
        CReplyFramer framer(0, command);
        for (char16_t c : bytes) framer.Feed(c);
        EXPECT_TRUE(framer.ShapeComplete()) << ce::ToUtf8(bytes);
    }
    const std::pair<std::u16string, std::u16string> partial[] = {
        {u"AT+CMGR=3", u"\r\n+CMGR: 1,,3\r\n"},
        {u"AT+CGMI", u"AT+CGMI\r\r\n"},
        {u"AT+CMGD=1", u"\r\nX\r\n"},
    };
    for (const auto& [command, bytes] : partial) {
        CReplyFramer framer(0, command);
        for (char16_t c : bytes) framer.Feed(c);
        EXPECT_FALSE(framer.ShapeComplete()) << ce::ToUtf8(bytes);
    }
}
