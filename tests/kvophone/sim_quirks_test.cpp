// Faults, injected messages, the byte script, the SIM PIN and data calls, over a real pty.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <thread>

#include "tests/kvophone/sim_fixture.h"

namespace kvo::phone::test {
namespace {

TEST_F(SimTest, ReplyQuirks) {
    StartPhone();
    m_sim->UpdateQuirks([](Quirks& q) { q.bCpmsTotalZero = true; });
    EXPECT_EQ(m_client.Exchange("AT+CPMS=\"ME\"\r"), "\r\n+CPMS: 3,0,3,0,3,0\r\n\r\nOK\r\n");
    m_sim->UpdateQuirks([](Quirks& q) {
        q.bCpmsTotalZero = false;
        q.bCpmsEmpty = true;
    });
    EXPECT_EQ(m_client.Exchange("AT+CPMS=\"SM\"\r"), "\r\nOK\r\n");
    // The selection still happened.
    EXPECT_EQ(m_client.Exchange("AT+CMGR=1\r"), "\r\n+CMS ERROR: 321\r\n");

    Quirks q;
    q.errorFor = {"AT+CGMM"};
    q.silentFor = {"+cgsn"};
    m_sim->SetQuirks(q);
    EXPECT_EQ(m_client.Exchange("AT+CGMM\r"), "\r\nERROR\r\n");
    m_client.Send("AT+CGSN\r");
    EXPECT_EQ(m_client.ReadFor(300), "");
    m_sim->UpdateQuirks([](Quirks& q) { q.bCmtiInReply = true; });
    EXPECT_EQ(m_client.Exchange("AT+CGMI\r"), "\r\nKVO Mobile\r\n+CMTI: \"ME\",3\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT\r"), "\r\n+CMTI: \"ME\",3\r\n\r\nOK\r\n");

    q = Quirks{};
    q.strGarbage = std::string("\xFF\x00~", 3);
    m_sim->SetQuirks(q);
    EXPECT_EQ(m_client.Exchange("AT\r"), std::string("\xFF\x00~\r\nOK\r\n", 9));

    q = Quirks{};
    q.nReplyDelayMs = 500;
    m_sim->SetQuirks(q);
    m_client.Send("AT+CGMI\r");
    EXPECT_EQ(m_client.ReadFor(150), "");  // a slow phone: nothing yet
    EXPECT_EQ(m_client.ReadReply(), "\r\nKVO Mobile\r\n\r\nOK\r\n");
    EXPECT_GE(m_sim->GetQuirks().nReplyDelayMs, 500);
}

TEST_F(SimTest, LineClosesHalfwayThroughAReply) {
    StartPhone();
    m_sim->UpdateQuirks([](Quirks& q) { q.hangupIn = {"AT+CMGR=1"}; });
    std::string first = m_client.Exchange("AT+CMGR=2\r");
    EXPECT_EQ(first.substr(0, 9), "\r\n+CMGR: ") << first << m_client.Failed();
    std::string full = "\r\n+CMGR: 1,,24\r\n" + std::string(kHelloPdu) + "\r\n\r\nOK\r\n";
    m_client.Send("AT+CMGR=1\r");
    std::string got = m_client.ReadFor(1000);
    EXPECT_EQ(got, full.substr(0, full.size() / 2));
    EXPECT_TRUE(m_client.Failed());
    EXPECT_TRUE(m_sim->IsHungUp());
    EXPECT_FALSE(m_sim->IsRunning());
    EXPECT_TRUE(m_sim->WaitForJournal("HANGUP line", 1000));
}

TEST_F(SimTest, HangUpOnRequest) {
    StartPhone();
    m_sim->HangUp();
    m_client.ReadFor(500);
    EXPECT_TRUE(m_client.Failed());
    EXPECT_TRUE(m_sim->IsHungUp());
}

TEST_F(SimTest, InjectedMessageIsStoredAndAnnounced) {
    StartPhone();
    int index = 0;
    std::string error;
    ASSERT_TRUE(m_sim->InjectSms("", "+491711234567", "2026-12-08 10:15:00", "Hello", error,
                                 &index))
        << error;
    EXPECT_EQ(index, 4);
    EXPECT_EQ(m_client.ReadFor(300), "\r\n+CMTI: \"ME\",4\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CMGR=4\r"),
              "\r\n+CMGR: 0,,24\r\n" + std::string(kHelloPdu) + "\r\n\r\nOK\r\n");
    ASSERT_TRUE(m_sim->InjectSms("SM", kHelloPdu, error, &index)) << error;
    EXPECT_EQ(index, 1);
    EXPECT_EQ(m_client.ReadFor(300), "\r\n+CMTI: \"SM\",1\r\n");
    EXPECT_FALSE(m_sim->InjectSms("XX", kHelloPdu, error));
    EXPECT_FALSE(m_sim->InjectSms("ME", "0G", error));
    EXPECT_FALSE(m_sim->InjectSms("ME", "+4917", "yesterday", "x", error));

    // During a prompt the indication waits until the prompt is over.
    EXPECT_EQ(m_client.Exchange("AT+CMGS=19\r"), "\r\n> ");
    ASSERT_TRUE(m_sim->InjectSms("ME", kHelloPdu, error, &index));
    EXPECT_EQ(m_client.ReadFor(200), "");
    m_client.Send(std::string(kSubmitPdu) + "\x1a");
    EXPECT_EQ(m_client.ReadFor(500), "\r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CMTI: \"ME\",5\r\n");
    EXPECT_TRUE(m_sim->WaitForJournal("CMTI ME 5", 1000));
}

TEST_F(SimTest, FullStorageRefusesAnInjectedMessage) {
    StartPhone("[sms ME]\nsize = 1\n1 = 1,+4917,2026-01-01 00:00:00,x\n");
    std::string error;
    EXPECT_FALSE(m_sim->InjectSms("ME", kHelloPdu, error));
    EXPECT_NE(error.find("full"), std::string::npos);
}

TEST_F(SimTest, ScriptRulesTakePrecedence) {
    StartPhone("[script]\n\"AT+CGMI\\r\" = \"\\r\\nOdd Maker\\r\\n\\r\\nOK\\r\\n\"\n");
    EXPECT_EQ(m_client.Exchange("AT+CGMI\r"), "\r\nOdd Maker\r\n\r\nOK\r\n");
    // Bytes no rule takes go to the interpreter, echo and all.
    EXPECT_EQ(m_client.Exchange("AT+CGMM\r"), "AT+CGMM\r\r\nSP-1\r\n\r\nOK\r\n");
    m_sim->AddScriptRule("\x1b[x", "ouch");
    m_client.Send("\x1b[x");
    EXPECT_EQ(m_client.ReadFor(300), "ouch");
    m_sim->SetScriptOnly(true);
    m_client.Send("AT\r");
    EXPECT_EQ(m_client.ReadFor(300), "");
    m_sim->ClearScript();
    EXPECT_EQ(m_client.Exchange("AT+CGMI\r"), "AT+CGMI\r\r\nKVO Mobile\r\n\r\nOK\r\n");
    EXPECT_TRUE(m_sim->WaitForJournal("RULE AT+CGMI\\x0D", 1000));
}

TEST_F(SimTest, SimPinAskedReleasedAndLockSwitchedOff) {
    StartPhone("[phone]\necho = off\npin = 1234\npin_required = yes\n");
    EXPECT_EQ(m_client.Exchange("AT+CPIN?\r"), "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPMS=\"ME\"\r"), "\r\n+CMS ERROR: 311\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPBR=1,5\r"), "\r\n+CME ERROR: 11\r\n");
    EXPECT_EQ(m_client.Exchange("AT+COPS?\r"), "\r\n+COPS: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CGMI\r"), "\r\nKVO Mobile\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("at+cpin=\"1111\"\r"), "\r\n+CME ERROR: 16\r\n");
    EXPECT_EQ(m_client.Exchange("at+cpin=\"1234\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CPIN?\r"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CLCK=\"SC\",2\r"), "\r\n+CLCK: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("at+clck=\"SC\",0,\"1234\"\r"), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange("AT+CLCK=\"SC\",2\r"), "\r\n+CLCK: 0\r\n\r\nOK\r\n");
    EXPECT_FALSE(m_sim->State().phone.bPinRequired);
    EXPECT_TRUE(m_sim->WaitForJournal("CLCK SC 0", 1000));
}

TEST_F(SimTest, DataCallConnectsAndEscapes) {
    StartPhone();
    // A guard time of 100 ms (S12 = 5) keeps the test short.
    const std::string sent[] = {"ATS12=5;+CGDCONT=1,\"IP\",\"internet\"\r", "ATD*99***1#\r",
                                "AT\r~\x7e\xff+++", "+++", "ATH\r", "AT\r"};
    EXPECT_EQ(m_client.Exchange(sent[0]), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange(sent[1]), "\r\nCONNECT 9600\r\n");
    // In the call, bytes are data, not commands; a "+++" without the guard time too.
    m_client.Send(sent[2]);
    EXPECT_EQ(m_client.ReadFor(300), "");
    EXPECT_EQ(m_client.Exchange(sent[3]), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange(sent[4]), "\r\nOK\r\n");
    EXPECT_EQ(m_client.Exchange(sent[5]), "\r\nOK\r\n");
    EXPECT_TRUE(m_sim->WaitForJournal("DIAL *99***1#", 1000));
    EXPECT_TRUE(m_sim->WaitForJournal("HANGUP data received=9 sent=0", 1000));
    size_t total = 0;
    for (const std::string& s : sent) total += s.size();
    // The counters move just after the write the client may already have read.
    const uint64_t out = 6u + 16u + 6u + 6u + 6u;
    for (int i = 0; i < 100 && (m_sim->BytesOut() < out || m_sim->BytesIn() < total); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(m_sim->BytesIn(), total);
    EXPECT_EQ(m_sim->BytesOut(), out);
}

TEST_F(SimTest, PacedLineStillCarriesEveryByte) {
    StartPhone(kTestScenario, 9600);
    EXPECT_EQ(m_client.Exchange("AT+CPBR=1,20\r"),
              "\r\n+CPBR: 1,\"+491711234567\",145,\"Anna Miller\"\r\n"
              "+CPBR: 2,\"0301234567\",129,\"Bob\"\r\n\r\nOK\r\n");
}

TEST(PhoneSim, StopIsPromptAndRemovesTheLink) {
    char dir[] = "/tmp/kvophoneXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string link = std::string(dir) + "/COM3";
    CPhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start(link, 0, error)) << error;
    EXPECT_FALSE(sim.Start(link, 0, error));
    CLineClient client;
    ASSERT_TRUE(client.Open(link));
    EXPECT_EQ(client.Exchange("AT\r"), "AT\r\r\nOK\r\n");
    // A reply still waiting out a long pause does not hold Stop up.
    sim.UpdateQuirks([](Quirks& q) { q.nReplyDelayMs = 600000; });
    client.Send("AT\r");
    sim.Stop();
    EXPECT_FALSE(sim.IsRunning());
    struct stat st;
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    rmdir(dir);
}

// Controls from several threads while a client talks: the state stays consistent.
TEST_F(SimTest, ControlsFromOtherThreadsWhileTalking) {
    StartPhone("[sms ME]\nsize = 255\n");
    EXPECT_EQ(m_client.Exchange("ATE0\r"), "ATE0\r\r\nOK\r\n");
    std::thread injector([this] {
        std::string error;
        for (int i = 0; i < 50; ++i) m_sim->InjectSms("ME", kHelloPdu, error);
    });
    std::thread flipper([this] {
        for (int i = 0; i < 50; ++i) {
            m_sim->UpdateQuirks([i](Quirks& q) { q.bCpmsTotalZero = i % 2; });
            m_sim->Journal();
            m_sim->State();
        }
    });
    for (int i = 0; i < 20; ++i) m_client.Exchange("AT+CGMI\r");
    injector.join();
    flipper.join();
    Scenario state = m_sim->State();
    EXPECT_EQ(FindStorage(state, "ME")->slots.size(), 50u);
}

}  // namespace
}  // namespace kvo::phone::test
