// The dialects of real phones, driven through the simulator's core byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tools/kvophone/phone_core.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone {
namespace {

constexpr char kBase[] = R"([phone]
echo = off
smsc = +491710760000
[sms ME]
size = 5
1 = 1,+491711234567,2026-12-08 10:15:00+01:00,Hello
3 = 0,+491719876543,2026-12-08 11:00:00,Second one
[phonebook SM]
range = 1-10
1 = +491711234567,145,Anna
)";

class CDialectTest : public ::testing::Test {
protected:
    void Start(const std::string& dialect) {
        Scenario s;
        std::string error;
        ASSERT_TRUE(ParseScenario(std::string(kBase) + "[dialect]\n" + dialect, s, error)) << error;
        m_core = std::make_unique<CPhoneCore>(s);
    }
    std::string Say(const std::string& line) {
        m_core->Receive(line);
        std::string out;
        for (const OutputChunk& c : m_core->TakeOutput()) out += c.strBytes;
        return out;
    }
    std::unique_ptr<CPhoneCore> m_core;
};

TEST_F(CDialectTest, TextModeAndUcs2LeftByAnotherProgram) {
    Start("cmgf = 1\ncharset = UCS2\nucs2_replies = yes\n");
    EXPECT_EQ(Say("AT+CMGF?\r"), "\r\n+CMGF: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CMGR=1\r"),
              "\r\n+CMGR: \"REC READ\",\"+491711234567\",,\"26/12/08,10:15:00+04\"\r\nHello\r\n"
              "\r\nOK\r\n");
    // "T-Mobile D" and the centre in UCS2 hex while the character set is UCS2.
    EXPECT_EQ(Say("AT+COPS?\r"),
              "\r\n+COPS: 0,0,\"0054002D004D006F00620069006C006500200044\"\r\n\r\nOK\r\n");
    EXPECT_NE(Say("AT+CSCA?\r").find("\"002B0034"), std::string::npos);
    // A PDU length taken as a recipient: the hex goes out as text.
    EXPECT_EQ(Say("AT+CMGS=19\r"), "\r\n> ");
    Say("0011000C919471113254760000FF05C8329BFD06\x1A");
    bool bText = false;
    for (const std::string& j : m_core->TakeJournal()) bText |= j.rfind("SMSTEXT 19 ", 0) == 0;
    EXPECT_TRUE(bText);
    EXPECT_TRUE(m_core->State().submitted.empty());
    // Set back, the phone speaks PDU and GSM again.
    EXPECT_EQ(Say("AT+CMGF=0;+CSCS=\"GSM\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(Say("AT+COPS?\r"), "\r\n+COPS: 0,0,\"T-Mobile D\"\r\n\r\nOK\r\n");
}

TEST_F(CDialectTest, CfunAnsweredAsRealPhonesDo) {
    Start("");
    EXPECT_EQ(Say("AT+CFUN?\r"), "\r\n+CFUN: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CFUN=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CFUN=4\r"), "\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CFUN?\r"), "\r\n+CFUN: 4\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CFUN=7\r"), "\r\n+CME ERROR: 4\r\n");
    EXPECT_EQ(Say("AT+CFUN=1,1\r"), "\r\nOK\r\n");
}

TEST_F(CDialectTest, EveryEmptySlotForm) {
    const std::pair<const char*, const char*> forms[] = {
        {"ok", "\r\nOK\r\n"},
        {"cmgr0", "\r\n+CMGR: 0,,0\r\n\r\nOK\r\n"},
        {"cms320", "\r\n+CMS ERROR: 320\r\n"},
        {"cms321", "\r\n+CMS ERROR: 321\r\n"},
        {"cms500", "\r\n+CMS ERROR: 500\r\n"},
        {"error", "\r\nERROR\r\n"},
    };
    for (const auto& [form, reply] : forms) {
        Start(std::string("empty_slot = ") + form + "\n");
        EXPECT_EQ(Say("AT+CMGR=2\r"), reply) << form;
        EXPECT_EQ(Say("AT+CMGR=6\r"), reply) << form << " (beyond the storage)";
    }
}

TEST_F(CDialectTest, ZeroBasedIndexesHeadersAndCpmsForms) {
    Start(
        "first_index = 0\ncmgr_header = quoted\nno_space = yes\ncpms_numbers = 4\n"
        "cpms_test = plain\n");
    EXPECT_EQ(Say("AT+CMGR=0\r").substr(0, 19), "\r\n+CMGR:1,\"\",24\r\n07");
    EXPECT_EQ(Say("AT+CMGR=5\r"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(Say("AT+CPMS=\"ME\"\r"), "\r\n+CPMS:2,5,2,5\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CPMS=?\r"), "\r\n+CPMS:\"ME\",\"ME\",\"ME\"\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CMGD=2\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_core->State().smsStorages[0].slots.count(3), 0u);

    Start("cmgr_header = nostat\ncpms_test = empty\n");
    EXPECT_EQ(Say("AT+CMGR=1\r").substr(0, 15), "\r\n+CMGR: ,,24\r\n");
    EXPECT_EQ(Say("AT+CPMS=?\r"), "\r\n+CPMS: (),(),()\r\n\r\nOK\r\n");
    Start("cmgr_header = alpha\n");
    EXPECT_EQ(Say("AT+CMGR=1\r").substr(0, 22), "\r\n+CMGR: 1,\"Anna\",24\r\n");
}

TEST_F(CDialectTest, ListingsAsPhonesGiveThem) {
    Start("first_index = 0\ncmgr_header = alpha\n");
    std::string all = Say("AT+CMGL=4\r");
    EXPECT_EQ(all.rfind("\r\n+CMGL: 0,1,\"Anna\",24\r\n07", 0), 0u) << all;
    EXPECT_NE(all.find("\r\n+CMGL: 2,0,\"\","), std::string::npos);
    EXPECT_EQ(all.substr(all.size() - 6), "\r\nOK\r\n");
    // The listing read the unread message: it is listed as read from now on.
    EXPECT_EQ(Say("AT+CMGL=0\r"), "\r\nOK\r\n");

    Start("cmgl = cms302\n");
    EXPECT_EQ(Say("AT+CMGL=4\r"), "\r\n+CMS ERROR: 302\r\n");
    Start("cmgl = error\n");
    EXPECT_EQ(Say("AT+CMGL=4\r"), "\r\nERROR\r\n");
    Start("cmgl_max = 1\n");
    std::string one = Say("AT+CMGL=4\r");
    EXPECT_EQ(one.find("+CMGL: 3"), std::string::npos);
    EXPECT_NE(one.find("+CMGL: 1,1,,24"), std::string::npos);
    // Cut: the last PDU line is shorter than its header's length says.
    Start("cmgl = cut\n");
    std::string cut = Say("AT+CMGL=4\r");
    size_t last = cut.rfind("+CMGL: 3,0,,");
    ASSERT_NE(last, std::string::npos);
    size_t pdu = cut.find("\r\n", last) + 2;
    EXPECT_LT(cut.find("\r\n", pdu) - pdu, 2 * 24u);

    // A phone that reads no messages over AT still sends them.
    Start("no_sms_storage = yes\n");
    EXPECT_EQ(Say("AT+CPMS=?\r"), "\r\n+CPMS: (),(),()\r\n\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CPMS?\r"), "\r\n+CPMS: ,,,,,,,,\r\n\r\nOK\r\n");
    for (const char* refused :
         {"AT+CPMS=\"SM\",\"SM\"\r", "AT+CMGR=1\r", "AT+CMGL=4\r", "AT+CNMI=2,1,0,2\r"})
        EXPECT_EQ(Say(refused), "\r\nERROR\r\n") << refused;
    EXPECT_EQ(Say("AT+CMGS=5\r"), "\r\n> ");
}

TEST_F(CDialectTest, UnsolicitedLinesWhereverTheyArrive) {
    Start("unsolicited = ^RSSI:17\nunsolicited = +CREG: 1\n");
    EXPECT_EQ(Say("AT\r"), "\r\n^RSSI:17\r\n\r\nOK\r\n");
    Start("unsolicited = ^RSSI:17\nunsolicited_at = inside\n");
    EXPECT_EQ(Say("AT+CGMI\r"), "\r\nKVO Mobile\r\n^RSSI:17\r\n\r\nOK\r\n");
    Start("unsolicited = +CMTI: \"ME\",4\nunsolicited_at = prompt\nunsolicited_every = 2\n");
    EXPECT_EQ(Say("AT+CMGS=19\r"), "\r\n> \r\n+CMTI: \"ME\",4\r\n");
    Say("\x1B");
    EXPECT_EQ(Say("AT+CMGS=19\r"), "\r\n> ");
}

TEST_F(CDialectTest, UnsolicitedLineComesAheadOfTheEcho) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario("[phone]\necho = on\n[dialect]\nunsolicited = ^BOOT:1\n", s, error));
    CPhoneCore core(s);
    core.Receive("AT\r");
    std::string out;
    for (const OutputChunk& c : core.TakeOutput()) out += c.strBytes;
    EXPECT_EQ(out, "\r\n^BOOT:1\r\nAT\r\r\nOK\r\n");
}

TEST_F(CDialectTest, SimBusyAfterPowerOnThenReady) {
    Start("sim_busy_ms = 150\n");
    EXPECT_EQ(Say("AT+CPMS=\"ME\"\r"), "\r\n+CMS ERROR: 314\r\n");
    EXPECT_EQ(Say("AT+CPBR=1\r"), "\r\n+CME ERROR: 14\r\n");
    EXPECT_EQ(Say("AT+CGMI\r"), "\r\nKVO Mobile\r\n\r\nOK\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Say("AT+CPMS=\"ME\"\r").substr(0, 9), "\r\n+CPMS: ");
    EXPECT_EQ(Say("AT+CFUN=0\r"), "\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CFUN=1\r"), "\r\nOK\r\n");
    EXPECT_EQ(Say("AT+CMGR=1\r"), "\r\n+CMS ERROR: 314\r\n");
}

TEST_F(CDialectTest, OddEndingsAndRefusals) {
    Start(
        "no_final_ok = AT+CGMI\nunknown = not_support\nphonebook_empty = cme22\n"
        "cmgs_delay_ms = 1500\n");
    EXPECT_EQ(Say("AT+CGMI\r"), "\r\nKVO Mobile\r\n");
    EXPECT_EQ(Say("AT^SYSINFO\r"), "\r\nCOMMAND NOT SUPPORT\r\n");
    EXPECT_EQ(Say("AT+CPBR=2\r"), "\r\n+CME ERROR: 22\r\n");
    EXPECT_EQ(Say("AT+CMGS=19\r"), "\r\n> ");
    m_core->Receive("0011000C919471113254760000FF05C8329BFD06\x1A");
    std::vector<OutputChunk> out = m_core->TakeOutput();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back().nDelayMs, 1500);
    EXPECT_EQ(out.back().strBytes, "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    Start("unknown = cme\n");
    EXPECT_EQ(Say("AT*RADIOPOWER?\r"), "\r\n+CME ERROR: 4\r\n");
}

TEST_F(CDialectTest, DamagedEchoLosesAByte) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario("[phone]\necho = on\n[dialect]\ndamaged_echo = yes\n", s, error));
    CPhoneCore core(s);
    core.Receive("AT+CGMM\r");
    std::string out;
    for (const OutputChunk& c : core.TakeOutput()) out += c.strBytes;
    EXPECT_EQ(out, "ATCGMM\r\r\nSP-1\r\n\r\nOK\r\n");
}

TEST(DialectScenario, ReadsWritesAndRefuses) {
    Scenario s;
    std::string error;
    const char* text =
        "[dialect]\ncmgf = 1\ncharset = ucs2\nunsolicited = ^MODE:5,4\n"
        "unsolicited = *RADIOPOWER: 1\nempty_slot = cmgr0\nfirst_index = 0\n"
        "no_final_ok = AT+CSCA?\nsim_busy_ms = 3000\ncmgl = cut\ncmgl_max = 7\n"
        "cmgl_pause_ms = 250\n"
        "no_sms_storage = yes\n[sms ME]\nsize = 1000\n";
    ASSERT_TRUE(ParseScenario(text, s, error)) << error;
    EXPECT_EQ(s.dialect.strCharset, "UCS2");
    EXPECT_EQ(s.dialect.unsolicited.size(), 2u);
    Scenario again;
    ASSERT_TRUE(ParseScenario(FormatScenario(s), again, error)) << error;
    EXPECT_EQ(again, s);
    for (const char* bad :
         {"[dialect]\ncmgf = 2\n", "[dialect]\nempty_slot = maybe\n",
          "[dialect]\ncpms_numbers = 5\n", "[dialect]\nbogus = 1\n", "[dialect]\ncharset = KOI8\n",
          "[sms ME]\nsize = 1001\n", "[dialect]\ncmgl = maybe\n", "[dialect]\ncmgl_max = -1\n"}) {
        EXPECT_FALSE(ParseScenario(bad, s, error)) << bad;
    }
    Dialect d;
    EXPECT_TRUE(ApplyDialectSetting("first_index=0", d, error));
    EXPECT_EQ(d.nFirstIndex, 0);
    EXPECT_FALSE(ApplyDialectSetting("first_index", d, error));
    EXPECT_FALSE(ApplyDialectSetting("unknown=maybe", d, error));
}

}  // namespace
}  // namespace kvo::phone
