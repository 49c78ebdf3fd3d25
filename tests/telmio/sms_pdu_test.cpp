#include <gtest/gtest.h>

#include <random>

#include "telmio/sms/sms_pdu.h"

using namespace kvo;

namespace {

// A hand-built SMS-DELIVER: no service centre, originator, PID/DCS 0, time stamp, text.
std::string Deliver(std::string_view originatorHex, std::string_view gsmText,
                    std::string_view dcs = "00") {
    CSmsPdu pdu;
    std::vector<uint8_t> ud;
    pdu.PackSeptets(ud, gsmText);
    char udl[3];
    snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(gsmText.size()));
    return "0004" + std::string(originatorHex) + "00" + std::string(dcs) + "20806291731408" + udl +
           pdu.BytesToHex(ud);
}

TEST(SmsPduEncode, AddressFieldsOfCentreAndDestination) {
    CSmsPdu pdu;
    std::string hex;
    int n = pdu.EncodeSubmit(hex, "hellohello", "01234", "+49123", false);
    // Centre counts octets (type + digits), destination counts digits; odd digits pad with F.
    EXPECT_EQ(hex,
              "04919421F3"
              "1100"
              "05811032F4"
              "0000FF"
              "0A"
              "E8329BFD4697D9EC37");
    EXPECT_EQ(n, static_cast<int>(hex.size() / 2 - 5));

    EXPECT_EQ(pdu.EncodeSubmit(hex, "", "+4917", "", false), 6 + 4);
    EXPECT_EQ(hex,
              "00"
              "1100"
              "04919471"
              "0000FF00");
    // An empty destination is one zero octet.
    EXPECT_EQ(pdu.EncodeSubmit(hex, "", "", "", false), 7);
    EXPECT_EQ(hex,
              "00110000"
              "0000FF00");
}

TEST(SmsPduEncode, LengthLimitsFlashAndRejectedInput) {
    CSmsPdu pdu;
    std::string hex;
    std::string text160(160, 'a');
    int n = pdu.EncodeSubmit(hex, text160, "01234", "", false);
    EXPECT_EQ(n, 6 + 5 + 140);
    EXPECT_EQ(hex.substr(2 + 2 * 11 - 2, 2), "A0");  // user-data length 160
    EXPECT_EQ(pdu.EncodeSubmit(hex, std::string(161, 'a'), "01234", "", false), -1);
    EXPECT_TRUE(hex.empty());

    ASSERT_GT(pdu.EncodeSubmit(hex, "x", "1", "", true), 0);
    EXPECT_EQ(hex.substr(14, 2), "F0");  // data coding scheme: class 0

    EXPECT_EQ(pdu.EncodeSubmit(hex, "a\x80", "1", "", false), -1);
    EXPECT_EQ(pdu.EncodeSubmit(hex, "a", "12-3", "", false), -1);
    EXPECT_EQ(pdu.EncodeSubmit(hex, "a", "123", "+49 1", false), -1);
    EXPECT_EQ(pdu.EncodeSubmit(hex, "a", "1+23", "", false), -1);
    // Code 0 is the '@' and travels inside the text.
    ASSERT_GT(pdu.EncodeSubmit(hex, std::string("a\0b", 3), "1", "", false), 0);
    std::string text, number;
    EXPECT_EQ(pdu.DecodeSubmit(hex, text, number), 3);
    EXPECT_EQ(text, std::string("a\0b", 3));
}

TEST(SmsPduPacking, RoundTripsEveryLengthUpTo160) {
    CSmsPdu pdu;
    std::mt19937 rng(7);
    for (size_t len = 0; len <= 160; ++len) {
        std::string codes(len, '\0');
        for (char& c : codes) c = static_cast<char>(rng() % 128);
        std::vector<uint8_t> packed;
        pdu.PackSeptets(packed, codes);
        ASSERT_EQ(packed.size(), CSmsPdu::PackedOctets(len)) << len;
        std::string back;
        ASSERT_TRUE(pdu.UnpackSeptets(packed.data(), packed.size(), len, back)) << len;
        ASSERT_EQ(back, codes) << len;
        if (len > 0) {
            EXPECT_FALSE(pdu.UnpackSeptets(packed.data(), packed.size() - 1, len, back)) << len;
        }
    }
}

TEST(SmsPduHex, OnlyEvenUpperCaseHex) {
    CSmsPdu pdu;
    std::vector<uint8_t> bytes;
    EXPECT_EQ(pdu.HexToBytes("", bytes), 0);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(pdu.HexToBytes("00FFA9", bytes), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0xFF, 0xA9}));
    EXPECT_EQ(pdu.BytesToHex(bytes), "00FFA9");
    EXPECT_EQ(pdu.HexToBytes("0A0", bytes), PDU_ODD_LENGTH);
    EXPECT_EQ(pdu.HexToBytes("0a", bytes), PDU_BAD_HEX);
    EXPECT_EQ(pdu.HexToBytes("0G", bytes), PDU_BAD_HEX);
    EXPECT_EQ(pdu.HexToBytes("0 ", bytes), PDU_BAD_HEX);
}

TEST(SmsPduDecode, DeliverFieldsOfAKnownMessage) {
    CSmsPdu pdu;
    std::string text, number, stamp;
    int n = pdu.DecodeDeliver(
        "07911326040000F0040B911346610089F60000208062917314080CC8329BFD065DDF72363904", text,
        number, stamp);
    EXPECT_EQ(n, 12);
    EXPECT_EQ(text, "Hello World!");
    EXPECT_EQ(number, "+31641600986");
    EXPECT_EQ(stamp, "02082619374180");

    // Type 129 gives no '+'; the digits stop at the length octet, not at the padding.
    EXPECT_EQ(pdu.DecodeDeliver(Deliver("05811032F4", "hi"), text, number, stamp), 2);
    EXPECT_EQ(number, "01234");
    // Lower-case hex is refused.
    std::string lower = Deliver("05811032F4", "hi");
    for (char& c : lower) c = static_cast<char>(tolower(c));
    EXPECT_EQ(pdu.DecodeDeliver(lower, text, number, stamp), PDU_BAD_HEX);
}

TEST(SmsPduDecode, SubmitSkipsTheValidityPeriodItsFormatNames) {
    CSmsPdu pdu;
    std::string text, number;
    std::vector<uint8_t> ud;
    pdu.PackSeptets(ud, "ok");
    std::string tail = "02" + pdu.BytesToHex(ud);
    // No validity period, relative (one octet), absolute (seven octets).
    EXPECT_EQ(pdu.DecodeSubmit("000100038121F30000" + tail, text, number), 2);
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(number, "123");
    EXPECT_EQ(pdu.DecodeSubmit("001100038121F30000AA" + tail, text, number), 2);
    EXPECT_EQ(text, "ok");
    EXPECT_EQ(pdu.DecodeSubmit("001900038121F3000020806291731408" + tail, text, number), 2);
    EXPECT_EQ(text, "ok");
}

TEST(SmsPduDecode, MalformedPdusFailWithoutReadingPastTheEnd) {
    CSmsPdu pdu;
    std::string text, number, stamp;
    std::string good = Deliver("05811032F4", "a message of some length");
    ASSERT_GT(pdu.DecodeDeliver(good, text, number, stamp), 0);
    // Cut inside every field: always a failure, never a read past the end (ASan watches).
    std::string submit;
    ASSERT_GT(pdu.EncodeSubmit(submit, "another message", "+4912345", "+49123", false), 0);
    for (size_t len = 0; len < std::max(good.size(), submit.size()); len += 2) {
        // Heap copies of exact size, so that ASan sees any read past the end.
        std::vector<char> d(good.begin(), good.begin() + std::min(len, good.size()));
        std::vector<char> s(submit.begin(), submit.begin() + std::min(len, submit.size()));
        if (len < good.size()) {
            EXPECT_LT(pdu.DecodeDeliver({d.data(), d.size()}, text, number, stamp), 0) << len;
        }
        if (len < submit.size()) {
            EXPECT_LT(pdu.DecodeSubmit({s.data(), s.size()}, text, number), 0) << len;
        }
    }
    EXPECT_EQ(pdu.DecodeDeliver(good.substr(1), text, number, stamp), PDU_ODD_LENGTH);
    EXPECT_EQ(pdu.DecodeDeliver("FF" + good.substr(2), text, number, stamp), PDU_CENTRE);
    EXPECT_EQ(pdu.DecodeDeliver("000440811032F4", text, number, stamp), PDU_ADDRESS);
    // User-data length larger than the data.
    std::string longUdl = good;
    longUdl.replace(32, 2, "A0");
    EXPECT_EQ(pdu.DecodeDeliver(longUdl, text, number, stamp), PDU_USER_DATA);
}

TEST(SmsPduDecode, OtherCodingSchemesAndHeadersGiveCharactersNotFailures) {
    CSmsPdu pdu;
    std::string text, number, stamp;
    // UDHI set, user-data length 0: nothing after it.
    EXPECT_EQ(pdu.DecodeDeliver("004405811032F4000020806291731408"
                                "00",
                                text, number, stamp),
              0);
    // UDHI with a concatenation header, 7-bit.
    EXPECT_EQ(pdu.DecodeDeliver("004405811032F4000020806291731408"
                                "0A"
                                "050003010201C2",
                                text, number, stamp),
              PDU_USER_DATA);
    EXPECT_EQ(pdu.DecodeDeliver("004405811032F4000020806291731408"
                                "0A"
                                "050003010201616263",
                                text, number, stamp),
              10);
    // UCS2 with an odd octet count, and 8-bit data: read as septets, wrong characters only.
    EXPECT_EQ(pdu.DecodeDeliver("000405811032F4000820806291731408"
                                "03"
                                "004100",
                                text, number, stamp),
              3);
    EXPECT_EQ(pdu.DecodeDeliver("000405811032F4000420806291731408"
                                "04"
                                "FF00FF00",
                                text, number, stamp),
              4);
    for (char c : text) EXPECT_LT(static_cast<uint8_t>(c), 128);
}

// An SMS-DELIVER from "1234" with the given first octet, coding scheme and user data.
std::string Delivered(std::string_view firstOctet, std::string_view dcs, std::string_view udl,
                      std::string_view ud) {
    return "00" + std::string(firstOctet) + "04812143" + "00" + std::string(dcs) +
           "20806291731408" + std::string(udl) + std::string(ud);
}

TEST(SmsPduHeader, ConcatenationElementsAndWhatDoesNotFit) {
    CSmsPdu pdu;
    CDecodedSms d;
    // 8-bit and 16-bit references; the text follows the header.
    ASSERT_EQ(pdu.DecodeMessage(Delivered("44", "08", "08",
                                          "050003070302"
                                          "0041"),
                                false, d),
              1);
    EXPECT_EQ(d.m_part, (CSmsPart{7, 3, 2}));
    EXPECT_EQ(d.m_strText, u"A");
    ASSERT_EQ(pdu.DecodeMessage(Delivered("44", "04", "09",
                                          "060804ABCD0303"
                                          "6869"),
                                false, d),
              2);
    EXPECT_EQ(d.m_part, (CSmsPart{0xABCD, 3, 3}));
    EXPECT_EQ(d.m_strText, u"hi");
    EXPECT_EQ(d.m_strNumber, u"1234");
    // Count 255 is a long message like any other; count 0 and a part past the count are
    // ignored, the text still read.
    ASSERT_EQ(pdu.DecodeMessage(Delivered("44", "08", "08",
                                          "050003FFFFFF"
                                          "0042"),
                                false, d),
              1);
    EXPECT_EQ(d.m_part, (CSmsPart{255, 255, 255}));
    for (const char* header : {"050003010001", "050003010203", "050003010200"}) {
        ASSERT_EQ(
            pdu.DecodeMessage(Delivered("44", "08", "08", std::string(header) + "0043"), false, d),
            1)
            << header;
        EXPECT_FALSE(d.m_part.IsPart()) << header;
        EXPECT_EQ(d.m_strText, u"C");
    }
    // An element running past its header ends the header walk, not the message.
    ASSERT_EQ(pdu.DecodeMessage(Delivered("44", "04", "04",
                                          "020003"
                                          "41"),
                                false, d),
              1);
    EXPECT_FALSE(d.m_part.IsPart());
    // A header longer than the user data, or no room for the header in 7-bit, fails.
    EXPECT_EQ(pdu.DecodeMessage(Delivered("44", "04", "03", "050003"), false, d), PDU_USER_DATA);
    EXPECT_TRUE(d.m_strNumber.empty());
    EXPECT_EQ(pdu.DecodeMessage(Delivered("44", "08", "00", ""), false, d), PDU_USER_DATA);
    EXPECT_EQ(pdu.DecodeMessage(Delivered("44", "00", "02", "0500"), false, d), PDU_USER_DATA);
    // UCS2 of odd length: the dangling octet is dropped; a lone surrogate shows as U+FFFD.
    ASSERT_EQ(pdu.DecodeMessage(Delivered("04", "08", "03", "004100"), false, d), 1);
    EXPECT_EQ(d.m_strText, u"A");
    ASSERT_EQ(pdu.DecodeMessage(Delivered("04", "08", "04", "D83D0041"), false, d), 2);
    EXPECT_EQ(d.m_strText, u"\uFFFDA");
    // 8-bit data: text when it is printable, hex otherwise.
    ASSERT_GE(pdu.DecodeMessage(Delivered("04", "F4", "03", "4F4B0A"), false, d), 0);
    EXPECT_EQ(d.m_strText, u"OK\n");
    EXPECT_FALSE(d.m_bBinary);
    ASSERT_GE(pdu.DecodeMessage(Delivered("04", "04", "02", "00FF"), false, d), 0);
    EXPECT_EQ(d.m_strText, u"00FF");
    EXPECT_TRUE(d.m_bBinary);
}

TEST(SmsPduEncode, Ucs2SubmitReadsBack) {
    CSmsPdu pdu;
    std::string hex;
    std::u16string text = u"Za\u017C\u00F3\u0142\u0107 \U0001F600";
    int n = pdu.EncodeSubmitUcs2(hex, text, "+4917", "", true);
    ASSERT_GT(n, 0);
    EXPECT_EQ(hex.substr(0, 18),
              "0011000491947100"
              "18");  // flash UCS2
    CDecodedSms d;
    ASSERT_GE(pdu.DecodeMessage(hex, true, d), 0);
    EXPECT_EQ(d.m_strText, text);
    EXPECT_EQ(d.m_strNumber, u"+4917");
    EXPECT_GT(pdu.EncodeSubmitUcs2(hex, std::u16string(70, u'\u0142'), "1", "", false), 0);
    EXPECT_EQ(pdu.EncodeSubmitUcs2(hex, std::u16string(71, u'\u0142'), "1", "", false), -1);
    EXPECT_EQ(pdu.EncodeSubmitUcs2(hex, u"x", "12a", "", false), -1);
}

TEST(GsmAlphabet, MessageTextsUseTheExtensionTable) {
    CSmsPdu pdu;
    // An escape before a code the extension table lacks shows that code (27 36 is the '¤').
    std::u16string codes = {0, 9, 27, 36, 27, 0x65, 'A', 27};
    pdu.SeptetsToUnicode(codes);
    EXPECT_EQ(codes, u"@\u00E7\u00A4\u20ACA ");

    // Each character of the extension table travels as the escape and its code.
    std::u16string extended = u"[\\]^{|}~\u20AC\f";
    EXPECT_TRUE(pdu.FitsGsm(extended));
    EXPECT_EQ(pdu.GsmSeptets(extended), 20u);
    pdu.UnicodeToSeptets(extended);
    EXPECT_EQ(extended, (std::u16string{27, 0x3C, 27, 0x2F, 27, 0x3E, 27, 0x14, 27, 0x28,
                                        27, 0x40, 27, 0x29, 27, 0x3D, 27, 0x65, 27, 0x0A}));
    pdu.SeptetsToUnicode(extended);
    EXPECT_EQ(extended, u"[\\]^{|}~\u20AC\f");
    std::u16string plain = u"@$_\u00C4\u0394";
    EXPECT_TRUE(pdu.FitsGsm(plain));
    pdu.UnicodeToSeptets(plain);
    EXPECT_EQ(plain, (std::u16string{0, 2, 17, 91, 16}));
    // Outside the alphabet: such texts go as UCS2.
    for (std::u16string_view t : {u"`", u"\u00C7", u"\u0142", u"\U0001F600"})
        EXPECT_FALSE(pdu.FitsGsm(t));
}

TEST(GsmAlphabet, MapsBothWaysWithTheHandheldsExceptions) {
    CSmsPdu pdu;
    std::u16string codes = {0, 2, 9, 17, 27, 36, 64, 91, 95, 96, 127, 'A', 0xE9};
    pdu.GsmToUnicode(codes);
    EXPECT_EQ(codes, (std::u16string{u'@', u'$', u'\u00E7', u'_', u' ', u'\u00A4', u'\u00A1',
                                     u'\u00C4', u'\u00A7', u'\u00BF', u'\u00E0', u'A', 0xE9}));

    std::u16string text = u"@$_\u00C4\u00A1\u00A4\u00A7\u00BF\u00E0\u00E7\u0394";
    pdu.UnicodeToGsm(text);
    EXPECT_EQ(text, (std::u16string{0, 2, 17, 91, 64, 36, 95, 96, 127, 9, 16}));
    // Not in the table: kept when the low byte is 7-bit, else a space.
    std::u16string other = u"[\\]^`{|}~\u20AC\u00C7";
    pdu.UnicodeToGsm(other);
    EXPECT_EQ(other, u"[\\]^`{|}~  ");
    pdu.GsmToUnicode(other);
    EXPECT_EQ(other, u"\u00C4\u00D6\u00D1\u00DC\u00BF\u00E4\u00F6\u00F1\u00FC  ");

    // Every code of the alphabet but the escape survives a round trip.
    for (char16_t code = 0; code < 128; ++code) {
        if (code == 27)
            continue;
        std::u16string s(1, code);
        pdu.GsmToUnicode(s);
        pdu.UnicodeToGsm(s);
        EXPECT_EQ(s[0], code) << int(code);
    }

    std::u16string lines = u"a\nb\r\n";
    pdu.ExpandLineBreaks(lines);
    EXPECT_EQ(lines, u"a\r\nb\r\r\n");
}

}  // namespace
