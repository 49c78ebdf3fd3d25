// Command -> reply over a real pseudo-terminal, as a client on the slave sees it.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/kvophone/sim_fixture.h"

namespace kvo::phone::test {
namespace {

struct Row {
    const char* command;
    std::string reply;
};

std::string Hello() { return kHelloPdu; }

// One session: rows run in order, so later rows see what earlier ones changed.
TEST_F(SimTest, EveryCommandTheSuiteSendsGetsThePhonesReply) {
    StartPhone();
    const Row rows[] = {
        {"AT\r", "\r\nOK\r\n"},
        {"ATZ\r", "\r\nOK\r\n"},
        {"AT+CGMI\r", "\r\nKVO Mobile\r\n\r\nOK\r\n"},
        {"AT+CGMM\r", "\r\nSP-1\r\n\r\nOK\r\n"},
        {"AT+CGSN\r", "\r\n350000000000001\r\n\r\nOK\r\n"},
        {"AT+COPS?\r", "\r\n+COPS: 0,0,\"T-Mobile D\"\r\n\r\nOK\r\n"},
        {"AT+CSCA?\r", "\r\n+CSCA: \"+491710760000\",145\r\n\r\nOK\r\n"},
        {"AT+CSCS=\"GSM\"\r", "\r\nOK\r\n"},
        {"AT+CSCS=\"KOI8-R\"\r", "\r\n+CME ERROR: 4\r\n"},
        {"AT+CPMS=\"ME\"\r", "\r\n+CPMS: 3,20,3,20,3,20\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"XX\"\r", "\r\n+CMS ERROR: 302\r\n"},
        {"AT+CMGR=1\r", "\r\n+CMGR: 1,,24\r\n" + Hello() + "\r\n\r\nOK\r\n"},
        // Reading the unread message makes it read.
        {"AT+CMGR=2\r", "\r\n+CMGR: 0,,24\r\n" + Hello() + "\r\n\r\nOK\r\n"},
        {"AT+CMGR=2\r", "\r\n+CMGR: 1,,24\r\n" + Hello() + "\r\n\r\nOK\r\n"},
        {"AT+CMGR=3\r", "\r\n+CMGR: 3,,18\r\n0011000C919471917856340000FF04D3B29B0E\r\n\r\nOK\r\n"},
        {"AT+CMGR=4\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGR=21\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGD=3\r", "\r\nOK\r\n"},
        {"AT+CMGR=3\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGD=21\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CPMS=\"SM\"\r", "\r\n+CPMS: 0,10,2,20,2,20\r\n\r\nOK\r\n"},
        {"AT+CMGR=1\r", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CPMS?\r", "\r\n+CPMS: \"SM\",0,10,\"ME\",2,20,\"ME\",2,20\r\n\r\nOK\r\n"},
        {"AT+CPMS=?\r", "\r\n+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")\r\n\r\nOK\r\n"},
        {"AT+CPBS=\"SM\"\r", "\r\nOK\r\n"},
        {"AT+CPBS=\"ME\"\r", "\r\n+CME ERROR: 3\r\n"},
        {"AT+CPBS?\r", "\r\n+CPBS: \"SM\",2,20\r\n\r\nOK\r\n"},
        {"AT+CPBR=?\r", "\r\n+CPBR: (1-20),20,18\r\n\r\nOK\r\n"},
        {"AT+CPBR=1,20\r",
         "\r\n+CPBR: 1,\"+491711234567\",145,\"Anna Miller\"\r\n"
         "+CPBR: 2,\"0301234567\",129,\"Bob\"\r\n\r\nOK\r\n"},
        {"AT+CPBR=2,3\r", "\r\n+CPBR: 2,\"0301234567\",129,\"Bob\"\r\n\r\nOK\r\n"},
        {"AT+CPBR=5,9\r", "\r\nOK\r\n"},
        {"AT+CPBR=0,5\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPBR=5,21\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
        {"at+cpin=\"0000\"\r", "\r\n+CME ERROR: 3\r\n"},
        {"AT+CLCK=\"SC\",2\r", "\r\n+CLCK: 0\r\n\r\nOK\r\n"},
        {"at+clck=\"SC\",0,\"1111\"\r", "\r\n+CME ERROR: 16\r\n"},
        {"ATD+491711234567;\r", "\r\nOK\r\n"},
        {"ATH\r", "\r\nOK\r\n"},
        {"ATDxyz;\r", "\r\n+CME ERROR: 27\r\n"},
        {"AT+CGDCONT=1,\"IP\",\"internet.t-mobile\"\r", "\r\nOK\r\n"},
        {"AT+CGDCONT?\r", "\r\n+CGDCONT: 1,\"IP\",\"internet.t-mobile\",\"\",0,0\r\n\r\nOK\r\n"},
        {"AT+CGDCONT=4,\"IP\",\"x\"\r", "\r\n+CME ERROR: 21\r\n"},
        {"AT+CBST=71,0,1\r", "\r\nOK\r\n"},
        {"AT+CBST?\r", "\r\n+CBST: 71,0,1\r\n\r\nOK\r\n"},
        {"AT+CMGF=1\r", "\r\nOK\r\n"},
        {"AT+CMGF?\r", "\r\n+CMGF: 1\r\n\r\nOK\r\n"},
        {"AT+CMGF=0\r", "\r\nOK\r\n"},
        {"AT+CMGF=2\r", "\r\nERROR\r\n"},
        {"AT&FE0V1&D2&C1S0=0\r", "\r\nOK\r\n"},
        {"ATS0?\r", "\r\n000\r\n\r\nOK\r\n"},
        {"AT+CGMI;+CGMM\r", "\r\nKVO Mobile\r\n\r\nSP-1\r\n\r\nOK\r\n"},
        {"AT+CGMI;+BOGUS;+CGMM\r", "\r\nKVO Mobile\r\n\r\nERROR\r\n"},
        {"AT+BOGUS\r", "\r\nERROR\r\n"},
        {"AT+CGMI=5\r", "\r\nERROR\r\n"},
        {"ATV0\r", "\r\nERROR\r\n"},
        {"AT+CMEE=0\r", "\r\nOK\r\n"},
        {"AT+CPBR=0\r", "\r\nERROR\r\n"},
        {"AT+CMEE=2\r", "\r\nOK\r\n"},
        {"AT+CPBR=0\r", "\r\n+CME ERROR: invalid index\r\n"},
        {"AT+CMEE=1\r", "\r\nOK\r\n"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(m_client.Exchange(row.command), row.reply) << row.command;
    }
    EXPECT_EQ(m_sim->BytesOut() > 0, true);
    std::vector<std::string> journal = m_sim->Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "DEL ME 3"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "DIAL +491711234567;"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "> at+clck=\"SC\",0,\"1111\""),
              journal.end());
    Scenario state = m_sim->State();
    EXPECT_EQ(FindStorage(state, "ME")->slots.at(2).nStatus, SMS_REC_READ);
    EXPECT_EQ(FindStorage(state, "ME")->slots.count(3), 0u);
}

TEST_F(SimTest, EchoIsOnByDefaultAndFollowsAte) {
    StartPhone("");
    EXPECT_EQ(m_client.Exchange("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("at+cgmm\r"), "at+cgmm\r\r\nSP-1\r\n\r\nOK\r\n");
    // The command that switches echo off is still echoed; the next is not.
    EXPECT_EQ(m_client.Exchange("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT\r"), "AT\r\r\nOK\r\n");
    // ATZ restores the scenario's echo; a bare CR and CR LF line ends are not echoed.
    EXPECT_EQ(m_client.Exchange("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("ATZ\r\n"), "\r\nOK\r\n");
    m_client.Send("\r");
    EXPECT_EQ(m_client.Exchange("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(SimTest, NoEchoQuirkIgnoresAte) {
    StartPhone("[quirks]\nno_echo = yes\n");
    EXPECT_EQ(m_client.Exchange("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT\r"), "\r\nOK\r\n");
    m_sim->UpdateQuirks([](Quirks& q) { q.bNoEcho = false; });
    EXPECT_EQ(m_client.Exchange("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(SimTest, CmgsPromptPduAndConfirmation) {
    StartPhone("");
    EXPECT_EQ(m_client.Exchange("AT+CMGS=19\r"), "AT+CMGS=19\r\r\n> ");
    // The PDU is echoed as typed; the CR the engine puts after Ctrl-Z is not answered.
    EXPECT_EQ(m_client.Exchange(std::string(kSubmitPdu) + "\x1a\r"),
              std::string(kSubmitPdu) + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CMGS=19\r"), "\r\n> ");
    EXPECT_EQ(m_client.Exchange(std::string(kSubmitPdu) + "\x1a"), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    // Escape cancels: nothing is sent.
    EXPECT_EQ(m_client.Exchange("AT+CMGS=19\r"), "\r\n> ");
    EXPECT_EQ(m_client.Exchange("0011\x1b"), "\r\nOK\r\n");
    // A length that does not match the PDU, and a PDU that is not a submit.
    EXPECT_EQ(m_client.Exchange("AT+CMGS=18\r"), "\r\n> ");
    EXPECT_EQ(m_client.Exchange(std::string(kSubmitPdu) + "\x1a"), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CMGS=24\r"), "\r\n> ");
    EXPECT_EQ(m_client.Exchange(std::string(kHelloPdu) + "\x1a"), "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CMGS=0\r"), "\r\n+CMS ERROR: 304\r\n");

    std::vector<std::string> journal = m_sim->Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), std::string("SMS ") + kSubmitPdu), 2);
    EXPECT_NE(std::find(journal.begin(), journal.end(), "ESC"), journal.end());
    Scenario state = m_sim->State();
    ASSERT_EQ(state.submitted.size(), 2u);
    EXPECT_EQ(state.submitted[0], kSubmitPdu);
    // Sending does not store.
    EXPECT_TRUE(FindStorage(state, "ME")->slots.empty());
}

TEST_F(SimTest, PhonebookWriteDeleteAndCharset) {
    StartPhone();
    EXPECT_EQ(m_client.Exchange("AT+CPBW=3,\"+4930123\",,\"Carl\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBR=3\r"), "\r\n+CPBR: 3,\"+4930123\",145,\"Carl\"\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=3\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBR=3\r"), "\r\nOK\r\n");
    // Without a location the first free one is taken; GSM codes carry the umlaut.
    EXPECT_EQ(m_client.Exchange("AT+CPBW=,\"0171\",129,\"J~rgen\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBR=3\r"), "\r\n+CPBR: 3,\"0171\",129,\"J~rgen\"\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CSCS=\"UCS2\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBR=3\r"),
              "\r\n+CPBR: 3,\"0171\",129,\"004A00FC007200670065006E\"\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CSCS=\"GSM\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=21,\"1\",,\"x\"\r"), "\r\n+CME ERROR: 21\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=4,\"123456789012345678901\",,\"x\"\r"),
              "\r\n+CME ERROR: 26\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=4,\"12a\",,\"x\"\r"), "\r\n+CME ERROR: 27\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=4,\"1\",,\"Nineteen characters\"\r"),
              "\r\n+CME ERROR: 24\r\n");

    std::vector<std::string> journal = m_sim->Journal();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "PBW SM 3 +4930123,145,Carl"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "PBD SM 3"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "PBW SM 3 0171,129,J\xC3\xBCrgen"),
              journal.end());
    Scenario state = m_sim->State();
    const Phonebook* pb = FindPhonebook(state, "SM");
    ASSERT_EQ(pb->entries.size(), 3u);
    EXPECT_EQ(pb->entries.at(3).strName, "J\xC3\xBCrgen");
}

TEST_F(SimTest, FullPhonebookAndDeleteAllMessages) {
    StartPhone(
        "[sms ME]\nsize = 3\n1 = 1,+4917,2026-01-02 03:04:05,a\n2 = 0,+4917,2026-01-02 "
        "03:04:05,b\n3 = 3,+4917,,c\n[phonebook SM]\nrange = 1-1\n1 = 110,129,Police\n");
    EXPECT_EQ(m_client.Exchange("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBW=,\"112\",,\"SOS\"\r"), "\r\n+CME ERROR: 20\r\n");
    // Flag 2 deletes the read and the sent ones, not the unread.
    EXPECT_EQ(m_client.Exchange("AT+CMGD=1,2\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPMS=\"ME\"\r"), "\r\n+CPMS: 1,3,1,3,1,3\r\n\r\nOK\r\n");
    EXPECT_TRUE(m_sim->WaitForJournal("DEL ME 3", 1000));
}

}  // namespace
}  // namespace kvo::phone::test
