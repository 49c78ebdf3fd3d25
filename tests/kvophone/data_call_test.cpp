// Data calls on the phone's own clock: traffic, the call's end, failing dial strings and the
// "+++" guard time, driven without threads so every time is exact.
#include <gtest/gtest.h>

#include "tools/kvophone/phone_core.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone {
namespace {

Scenario WithData(std::string_view data) {
    Scenario s;
    std::string error;
    EXPECT_TRUE(ParseScenario("[phone]\necho = off\n[data]\n" + std::string(data), s, error))
        << error;
    return s;
}

std::string Out(CPhoneCore& core) {
    std::string out;
    for (const OutputChunk& c : core.TakeOutput()) out += c.strBytes;
    return out;
}

std::string JournalOf(CPhoneCore& core) {
    std::string out;
    for (const std::string& line : core.TakeJournal()) out += line + "\n";
    return out;
}

TEST(DataCall, SendsAtItsRateAndDropsTheCarrierAfterItsDuration) {
    CPhoneCore core(WithData("speed = 115200\nrate = 1000\nduration = 3\n"));
    core.Receive("ATD*99***1#\r");
    EXPECT_EQ(Out(core), "\r\nCONNECT 115200\r\n");
    EXPECT_TRUE(core.InDataCall());
    core.AdvanceClock(500);
    std::string data = Out(core);
    EXPECT_EQ(data.size(), 500u);
    EXPECT_EQ(data.find_first_not_of("0123456789abcdef"), std::string::npos);
    core.Receive("ppp-frame");  // data, not a command
    EXPECT_EQ(Out(core), "");
    core.AdvanceClock(2999);
    EXPECT_EQ(Out(core).size(), 2499u);
    core.AdvanceClock(3000);
    EXPECT_EQ(Out(core), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(core.InDataCall());
    EXPECT_EQ(JournalOf(core),
              "> ATD*99***1#\nDIAL *99***1#\nCONNECT 115200\nHANGUP carrier received=9 sent=2999\n");
    core.Receive("AT\r");
    EXPECT_EQ(Out(core), "\r\nOK\r\n");
}

TEST(DataCall, EscapeNeedsTheGuardTimeAndTheCallStaysUpUntilAth) {
    CPhoneCore core(WithData("rate = 10\n"));
    core.Receive("ATD0301234\r");
    EXPECT_EQ(Out(core), "\r\nCONNECT 9600\r\n");
    core.AdvanceClock(100);
    EXPECT_EQ(Out(core), "0");
    // Too soon after the last byte: data.
    core.Receive("x");
    core.AdvanceClock(600);
    core.Receive("+++");
    core.AdvanceClock(2000);
    EXPECT_EQ(Out(core).find("OK"), std::string::npos);
    EXPECT_TRUE(core.InDataCall());
    // A second of silence, "+++", a second of silence.
    core.AdvanceClock(3100);
    core.Receive("+");
    core.AdvanceClock(3200);
    core.Receive("++");
    core.AdvanceClock(4100);
    EXPECT_EQ(Out(core).find("OK"), std::string::npos);  // not yet a full second after
    core.AdvanceClock(4200);
    std::string out = Out(core);
    EXPECT_NE(out.find("\r\nOK\r\n"), std::string::npos);
    EXPECT_FALSE(core.InDataCall());
    // In command mode the phone sends nothing, and ATO goes back to the call.
    core.AdvanceClock(9000);
    EXPECT_EQ(Out(core), "");
    core.Receive("ATO\r");
    EXPECT_EQ(Out(core), "\r\nCONNECT 9600\r\n");
    EXPECT_TRUE(core.InDataCall());
    core.AdvanceClock(10100);
    core.Receive("+++");
    core.AdvanceClock(11100);
    Out(core);
    core.Receive("ATH\r");
    EXPECT_EQ(Out(core), "\r\nOK\r\n");
    std::string journal = JournalOf(core);
    EXPECT_NE(journal.find("ESCAPE data\n"), std::string::npos);
    EXPECT_NE(journal.find("RESUME data\n"), std::string::npos);
    EXPECT_NE(journal.find("HANGUP data received=4 sent=52\n"), std::string::npos) << journal;
    core.Receive("ATO\r");
    EXPECT_EQ(Out(core), "\r\nNO CARRIER\r\n");
}

TEST(DataCall, FailingDialStringsAnswerAsTheScenarioSays) {
    CPhoneCore core(WithData("fail = *99***1#,NO CARRIER\nfail = 0301,BUSY\n"
                             "fail = 0302,ERROR\nfail = 0303,SILENT\nfail = 0304,1,BUSY\n"));
    core.Receive("ATD*99***1#\r");
    EXPECT_EQ(Out(core), "\r\nNO CARRIER\r\n");
    core.Receive("ATD0301\r");
    EXPECT_EQ(Out(core), "\r\nBUSY\r\n");
    core.Receive("ATD0302\r");
    EXPECT_EQ(Out(core), "\r\nERROR\r\n");
    core.Receive("ATD0303\r");
    EXPECT_EQ(Out(core), "");
    core.Receive("ATD0304,1\r");
    EXPECT_EQ(Out(core), "\r\nBUSY\r\n");
    EXPECT_FALSE(core.InDataCall());
    core.Receive("ATD*99#\r");
    EXPECT_EQ(Out(core), "\r\nCONNECT 9600\r\n");
}

TEST(DataCall, LineClosingInACallJournalsTheCounts) {
    CPhoneCore core(WithData("rate = 100\n"));
    core.Receive("ATD*99#\r");
    core.AdvanceClock(1000);
    core.Receive("abc");
    core.HangUp();
    std::string journal = JournalOf(core);
    EXPECT_NE(journal.find("HANGUP line received=3 sent=100\n"), std::string::npos) << journal;
}

TEST(DataSection, ReadsBackAndRefusesWhatDoesNotFit) {
    Scenario s = WithData("speed = 57600\nrate = 2048\nduration = 30\nfail = *99#,SILENT\n");
    EXPECT_EQ(s.data.nSpeed, 57600);
    EXPECT_EQ(s.data.nRate, 2048);
    EXPECT_EQ(s.data.nDuration, 30);
    ASSERT_EQ(s.data.failures.size(), 1u);
    EXPECT_EQ(s.data.failures[0].eReply, DialFailure::SILENT);
    Scenario back;
    std::string error;
    ASSERT_TRUE(ParseScenario(FormatScenario(s), back, error)) << error;
    EXPECT_EQ(back, s);
    for (const char* bad : {"speed = 12\n", "rate = -1\n", "duration = x\n", "fail = *99#\n",
                            "fail = *99#,HELLO\n", "fail = ,BUSY\n", "fail = 03 01,BUSY\n",
                            "colour = red\n"}) {
        Scenario ignored;
        EXPECT_FALSE(ParseScenario(std::string("[data]\n") + bad, ignored, error)) << bad;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

}  // namespace
}  // namespace kvo::phone
