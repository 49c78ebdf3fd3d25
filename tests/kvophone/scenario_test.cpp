// The scenario text form, and the PDUs the phone makes from readable messages.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tools/kvophone/scenario.h"
#include "tools/kvophone/sms_pdu.h"
#include "tools/kvophone/text_codec.h"

namespace kvo::phone {
namespace {

constexpr char kHello[] = "0791947101670000040C9194711132547600006221800151000005C8329BFD06";

TEST(Scenario, AcceptsTheFormOtherToolsWrite) {
    std::string text = std::string(R"([phone]
manufacturer = KVO Mobile
model = SP-1
serial = 350000000000001
operator = T-Mobile D
smsc = +491710760000
echo = on
[sms ME]
size = 20
1 = 1,)") + kHello + R"(   ; slot = status,PDU hex as +CMGR shows it
[sms SM]
size = 10
[phonebook SM]
range = 1-20
number_length = 20
name_length = 18
1 = +491711234567,145,Anna Miller            ; location = number,type,name
)";
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, s, error)) << error;
    EXPECT_EQ(s.phone.strOperator, "T-Mobile D");
    ASSERT_EQ(s.smsStorages.size(), 2u);
    EXPECT_EQ(s.smsStorages[0].strName, "ME");
    EXPECT_EQ(s.smsStorages[0].slots.at(1), (SmsSlot{1, kHello}));
    EXPECT_EQ(s.smsStorages[1].nSize, 10);
    ASSERT_EQ(s.phonebooks.size(), 1u);
    EXPECT_EQ(s.phonebooks[0].entries.at(1), (PhonebookEntry{"+491711234567", 145, "Anna Miller"}));
    // This very text describes the default phone.
    s.smsStorages[0].slots.clear();
    s.phonebooks[0].entries.clear();
    EXPECT_EQ(s, DefaultScenario());
}

TEST(Scenario, DefaultPhone) {
    Scenario s = DefaultScenario();
    EXPECT_EQ(s.phone.strManufacturer, "KVO Mobile");
    EXPECT_EQ(s.phone.strModel, "SP-1");
    EXPECT_EQ(s.phone.strSerial, "350000000000001");
    EXPECT_EQ(s.phone.strSmsc, "+491710760000");
    EXPECT_TRUE(s.phone.bEcho);
    EXPECT_EQ(FindStorage(s, "ME")->nSize, 20);
    EXPECT_EQ(FindStorage(s, "SM")->nSize, 10);
    EXPECT_EQ(FindPhonebook(s, "SM")->nLast, 20);
    Scenario parsed;
    std::string error;
    ASSERT_TRUE(ParseScenario("", parsed, error));
    EXPECT_EQ(parsed, s);
}

TEST(Scenario, ReadableMessagesBecomePdus) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"([sms ME]
size = 5
1 = 0,+491711234567,2026-12-08 10:15:00,Hello
2 = 1,+4917,2026-12-08 10:15:00+02:00,"two\nlines; and a \"quote\""
3 = 3,+491719876543,,Sent
4 = 0,Info,2026-01-01 00:00:00,€
[phone]
smsc = +491710760000
)",
                              s, error))
        << error;
    const SmsStorage& me = s.smsStorages.at(0);
    EXPECT_EQ(me.slots.at(1).strPdu, kHello);  // the centre comes from [phone], even below
    // Zone +02:00 is 8 quarter hours; the text keeps its line feed (GSM 10).
    std::string pdu2 = me.slots.at(2).strPdu;
    EXPECT_EQ(pdu2.substr(16, 16), "0404919471000062");
    EXPECT_EQ(pdu2.substr(42, 2), "80");
    EXPECT_EQ(me.slots.at(3).strPdu, "0011000C919471917856340000FF04D3B29B0E");
    EXPECT_EQ(me.slots.at(3).nStatus, SMS_STO_SENT);
    // An alphanumeric sender and a character of the extension table (escape + 0x65).
    EXPECT_EQ(me.slots.at(4).strPdu.substr(18, 12), "07D049B7F90D");
    EXPECT_EQ(me.slots.at(4).strPdu.substr(48), "029B32");
}

TEST(Scenario, SlotWordsShapeWhatNetworksDeliver) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(
        ParseScenario("[sms ME]\nsize = 5\n"
                      "1 = 0 part=2/3 ref=7,+4917,2026-01-01 00:00:00,hi\n"
                      "2 = 1 ref16=300 part=1/2,+4917,2026-01-01 00:00:00,\xE4\xB8\xAD\n"
                      "3 = 0 data port=2948,+4917,2026-01-01 00:00:00,00FF\n"
                      "4 = 0,Bank,2026-01-01 00:00:00,\xC5\x81\n",
                      s, error))
        << error;
    const SmsStorage& me = s.smsStorages.at(0);
    // Centre and sender, then first octet with the header indicator, coding scheme, user data.
    const std::string head = "0791947101670000";
    auto ud = [&](int slot) {
        return me.slots.at(slot).strPdu.substr(head.size() + 2 + 8 + 4 + 14);
    };
    EXPECT_EQ(me.slots.at(1).strPdu.substr(0, head.size()), head);
    EXPECT_EQ(me.slots.at(1).strPdu.substr(head.size(), 2), "44");
    // 7-bit after a 6-octet header: 7 septets of header (one fill bit), then "hi".
    EXPECT_EQ(ud(1), "09050003070302D069");
    EXPECT_EQ(me.slots.at(2).strPdu.substr(head.size() + 2 + 8 + 2, 2), "08");
    EXPECT_EQ(ud(2), "09060804012C02014E2D");
    EXPECT_EQ(me.slots.at(3).strPdu.substr(head.size() + 2 + 8 + 2, 2), "04");
    EXPECT_EQ(ud(3), "090605040B84000000FF");
    // A text the GSM alphabet lacks goes as UCS2 without a header.
    EXPECT_EQ(me.slots.at(4).strPdu.substr(head.size(), 2), "04");
    EXPECT_EQ(me.slots.at(4).strPdu.substr(me.slots.at(4).strPdu.size() - 6), "020141");
}

TEST(Scenario, SubmittedTextsDecodeForTheJournal) {
    std::string to, text;
    ASSERT_TRUE(DecodeSubmitText("0011000C919471917856340008FF044E2D0041", to, text));
    EXPECT_EQ(to, "+491719876543");
    EXPECT_EQ(text,
              "\xE4\xB8\xAD"
              "A");
    ASSERT_TRUE(DecodeSubmitText("0051000C919471917856340000FF09050003070302D069", to, text));
    EXPECT_EQ(text, "hi");
    ASSERT_TRUE(DecodeSubmitText("0011000C919471917856340000FF04D3B29B0E", to, text));
    EXPECT_EQ(text, "Sent");
    ASSERT_TRUE(DecodeSubmitText("0011000C919471917856340004FF0200FF", to, text));
    EXPECT_EQ(text, "00FF");
    EXPECT_FALSE(DecodeSubmitText("0011000C919471917856340008FF08", to, text));    // cut short
    EXPECT_FALSE(DecodeSubmitText(kHello, to, text));                              // a deliver
    EXPECT_FALSE(DecodeSubmitText("0051000C919471917856340000FF0109", to, text));  // header past
}

TEST(Scenario, SeptetPackingAndAddresses) {
    EXPECT_EQ(BytesToHex(PackSeptets(std::string("hellohello"))), "E8329BFD4697D9EC37");
    std::string octets, error;
    ASSERT_TRUE(EncodeAddress("+31641600986", false, octets, error));
    EXPECT_EQ(BytesToHex(octets), "0B911346610089F6");
    ASSERT_TRUE(EncodeServiceCentre("+49123", octets, error));
    EXPECT_EQ(BytesToHex(octets), "04919421F3");
    EXPECT_FALSE(EncodeAddress("12a", false, octets, error));
    EXPECT_EQ(TpduLength(kHello), 24);
    EXPECT_EQ(TpduLength("07"), -1);
    EXPECT_EQ(TpduLength("0791"), -1);
    EXPECT_EQ(TpduLength("00A"), -1);
    EXPECT_EQ(TpduType(kHello), 0);
}

TEST(Scenario, RejectsMalformedLinesNamingTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"[phone]\nmodel\n", "line 2: expected key = value"},
        {"[phone]\ncolour = red\n", "line 2: unknown key 'colour' in [phone]"},
        {"\n\n[telly]\n", "line 3: unknown section [telly]"},
        {"[phone\n", "line 1: section header without ']'"},
        {"model = x\n", "line 1: key outside a section"},
        {"[phone]\necho = maybe\n", "line 2: echo must be on or off"},
        {"[phone]\nsmsc = +49-171\n", "line 2: smsc must be digits with an optional leading '+'"},
        {"[sms ME]\n1 = 0,07\n", "line 2: slot 1 outside 1..0 (size comes first)"},
        {"[sms ME]\nsize = 2\n1 = 0,0791\n", "line 3: not a PDU in hex"},
        {"[sms ME]\nsize = 2\n1 = 0,00XY\n", "line 3: not a PDU in hex"},
        {"[sms ME]\nsize = 2\n1 = 4,0011000100\n", "line 3: status must be 0..3"},
        {"[sms ME]\nsize = 2\n1 = 1,0011000100\n1 = 1,0011000100\n", "line 4: slot 1 given twice"},
        {"[sms ME]\nsize = 2\n2 = 0,+4917,2026-13-01 00:00:00,x\n", "line 3: bad time"},
        {"[sms ME]\nsize = 2\n2 = 3,+4917,,\xE4\xB8\xAD\n",
         "line 3: character U+4E2D is not in the GSM alphabet"},
        {"[sms ME]\nsize = 2\n2 = 0 part=2/3,+4917,2026-01-01 00:00:00,x\n",
         "line 3: part and ref come together"},
        {"[sms ME]\nsize = 2\n2 = 0 part=4/3 ref=1,+4917,2026-01-01 00:00:00,x\n",
         "line 3: part wants I/N with 1 <= I <= N <= 255"},
        {"[sms ME]\nsize = 2\n2 = 0 ref=300 part=1/2,+4917,2026-01-01 00:00:00,x\n",
         "line 3: ref must be 0..255"},
        {"[sms ME]\nsize = 2\n2 = 3 data,+4917,,00\n",
         "line 3: data, part, ref and port shape received messages given as text"},
        {"[sms ME]\nsize = 2\n2 = 0 colour,+4917,2026-01-01 00:00:00,x\n",
         "line 3: unknown word 'colour' after the status"},
        {"[sms ME]\nsize = 2\n2 = 0 data,+4917,2026-01-01 00:00:00,0F0\n",
         "line 3: data must be hex octets"},
        {"[sms ME]\nsize = 2\n2 = 0 part=1/2 ref=1,+4917,2026-01-01 00:00:00,"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD"
         "\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\xE4\xB8\xAD\n",
         "line 3: UCS2 text longer than 67 characters"},
        {"[sms ME]\nsize = 2\n2 = 0,+4917,2026-01-01 00:00:00\n",
         "line 3: slot wants status,PDU or status,number,time,text"},
        {"[sms me]\n", "line 1: storage name must be 1-4 capitals or digits"},
        {"[sms ME]\n[sms ME]\n", "line 2: section repeated"},
        {"[phonebook SM]\nrange = 5-1\n", "line 2: range must read first-last"},
        {"[phonebook SM]\n21 = 1,129,x\n", "line 2: location 21 outside the range"},
        {"[phonebook SM]\n1 = 12a,129,x\n", "line 2: bad number '12a'"},
        {"[phonebook SM]\n1 = 1,129,Nineteen characters\n", "line 2: name too long"},
        {"[phonebook SM]\n1 = 1\n", "line 2: entry wants number,type,name"},
        {"[quirks]\nno_echo = perhaps\n", "line 2: no_echo must be yes or no"},
        {"[quirks]\ngarbage = \"\\q\"\n", "line 2: unknown escape \\q"},
        {"[quirks]\nerror = \"AT\n", "line 2: unterminated quoted text"},
        {"[script]\n\"AT\\r\" = OK\n", "line 2: script response must be quoted"},
        {"[script]\nAT = \"OK\"\n", "line 2: script rule wants \"bytes in\" = \"bytes out\""},
        {"[submitted]\n2 = 0011000100\n", "line 2: submitted messages are numbered 1, 2, 3 ..."},
    };
    for (const Case& c : cases) {
        Scenario s;
        std::string error;
        EXPECT_FALSE(ParseScenario(c.text, s, error)) << c.text;
        EXPECT_EQ(error.substr(0, std::string(c.error).size()), c.error) << c.text;
    }
}

TEST(Scenario, FormatThenParseGivesTheSameScenario) {
    Scenario s = DefaultScenario();
    s.phone.strOperator = " spaced ; odd \"name\" ";
    s.phone.bPinRequired = true;
    s.phone.strPin = "1234";
    FindStorage(s, "ME")->slots[3] = SmsSlot{0, kHello};
    FindStorage(s, "SM")->slots[10] = SmsSlot{3, "0011000C919471917856340000FF04D3B29B0E"};
    FindPhonebook(s, "SM")->entries[7] = PhonebookEntry{"0301234", 129, "M\xC3\xBCller, Jo"};
    s.quirks.bNoEcho = true;
    s.quirks.errorFor = {"AT+CGMM", "AT+CPMS=\"SM\""};
    s.quirks.strGarbage = std::string("\0\xFF\r", 3);
    s.quirks.nReplyDelayMs = 250;
    s.script.push_back(ScriptRule{"AT\r", "\r\nOK\r\n"});
    s.submitted = {"0011000C919471917856340000FF04D3B29B0E"};
    std::string text = FormatScenario(s);
    Scenario back;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, back, error)) << error << "\n" << text;
    EXPECT_EQ(back, s) << text;
    EXPECT_EQ(FormatScenario(back), text);
}

TEST(Scenario, DemoScenarioParses) {
    std::ifstream in(std::string(KVO_SOURCE_DIR) + "/tools/kvophone/scenarios/demo.scn");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(text.str(), s, error)) << error;
    EXPECT_FALSE(FindStorage(s, "ME")->slots.empty());
    EXPECT_FALSE(FindStorage(s, "SM")->slots.empty());
    EXPECT_FALSE(FindPhonebook(s, "SM")->entries.empty());
}

TEST(TextCodec, EscapesAndCharsets) {
    std::string out, error;
    ASSERT_TRUE(UnescapeBytes("a\\r\\n\\x1A\\\\\\\"", out, error));
    EXPECT_EQ(out, "a\r\n\x1A\\\"");
    EXPECT_FALSE(UnescapeBytes("\\x1", out, error));
    EXPECT_FALSE(UnescapeBytes("\\", out, error));
    EXPECT_EQ(EscapeBytes(std::string("\x00\x7F\"ok", 5)), "\\x00\\x7F\\\"ok");
    EXPECT_EQ(EncodeCharset("J\xC3\xBCrgen @", "GSM"), std::string("J~rgen \0", 8));
    EXPECT_EQ(EncodeCharset("J\xC3\xBCrgen", "IRA"), "J?rgen");
    ASSERT_TRUE(DecodeCharset("004A00FC", "UCS2", out));
    EXPECT_EQ(out, "J\xC3\xBC");
    EXPECT_FALSE(DecodeCharset("004", "UCS2", out));
    EXPECT_FALSE(DecodeCharset("\xFC", "IRA", out));
}

}  // namespace
}  // namespace kvo::phone
