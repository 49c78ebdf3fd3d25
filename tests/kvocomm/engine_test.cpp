// The engine against a scripted phone on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "kvocomm/kvocomm.h"
#include "phone_responder.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using kvo::test::CPhoneResponder;
using kvo::test::PhoneRule;
using namespace std::chrono_literals;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_engine.StartSAR();
        ASSERT_TRUE(m_engine.OpenPort(ce::FromUtf8(m_phone.Path())));
        ASSERT_TRUE(m_engine.SetParams(9600, 0, 8, 0));
    }
    void TearDown() override {
        m_engine.ClosePort();
        m_engine.StopSAR();
    }
    // Sends and returns {result, reply}.
    std::pair<int, std::u16string> Exchange(const char* command, int mode = 0, int timeout = 5) {
        std::u16string reply = u"stale";
        int ok = m_engine.SendAndReceive(command, reply, mode, timeout);
        return {ok, reply};
    }

    CPhoneResponder m_phone;
    CKvoComm m_engine;
};

std::pair<int, std::u16string> Expect(int ok, std::u16string reply) {
    return {ok, reply};
}

}  // namespace

TEST_F(EngineTest, HandshakeWithEchoOffAndOn) {
    m_phone.Add({"AT", "\r\nOK\r\n"});
    m_phone.Add({"AT+CGMI", "\r\nNokia\r\n\r\nOK\r\n"});
    EXPECT_EQ(Exchange("AT"), Expect(1, u""));
    m_phone.SetEcho(true);
    EXPECT_EQ(Exchange("AT"), Expect(1, u""));
    EXPECT_EQ(Exchange("AT+CGMI"), Expect(1, u"Nokia"));
    EXPECT_EQ(m_phone.Received(), "AT\rAT\rAT+CGMI\r");
}

TEST_F(EngineTest, ErrorRepliesCompleteEmpty) {
    m_phone.Add({"AT+CPIN=\"1\"", "\r\nERROR\r\n"});
    m_phone.Add({"AT+CMGS=9", "\r\n+CMS ERROR: 500\r\n"});
    EXPECT_EQ(Exchange("AT+CPIN=\"1\""), Expect(1, u""));
    EXPECT_EQ(Exchange("AT+CMGS=9"), Expect(1, u""));
}

TEST_F(EngineTest, PromptEndsAtOnceAndItsSpaceLeadsTheNextReply) {
    m_phone.SetEcho(true);
    m_phone.Add({"AT+CMGS=23", "\r\n> "});
    m_phone.Add({"", "\r\n+CMGS: 5\r\n\r\nOK\r\n"});
    EXPECT_EQ(Exchange("AT+CMGS=23"), Expect(1, u">"));
    m_phone.SetEcho(false);
    // The body in mode 1; the space after the prompt was never read and comes first now.
    EXPECT_EQ(Exchange("0011000B\x1a", 1), Expect(1, u"\n+CMGS: 5"));
}

TEST_F(EngineTest, ShortPromptWithoutEchoEndsByTimeout) {
    m_phone.Add({"AT+CMGS=23", "\r\n> "});
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange("AT+CMGS=23", 0, 1), Expect(0, u"\r\n> "));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(m_engine.Running(), 1);
}

TEST_F(EngineTest, ModeOneRunsPastPromptToOk) {
    m_phone.Add({"0011\x1a", "\r\n> \r\n+CMGS: 7\r\n\r\nOK\r\n"});
    auto [ok, reply] = Exchange("0011\x1a", 1);
    EXPECT_EQ(ok, 1);
    EXPECT_NE(reply.find(u"CMGS"), std::u16string::npos);
}

TEST_F(EngineTest, IndicationsAreTakenOutAndCountedTheReplyRunsOn) {
    // Ahead of the reply, inside it, and a +CREG that answers its own command stays.
    m_phone.Add(
        {"AT+CPMS?", "\r\n+CMTI: \"SM\",4\r\n\r\n+CPMS: \"ME\",1,20\r\n^RSSI:17\r\n\r\nOK\r\n"});
    m_phone.Add({"AT+CREG?", "\r\n+CREG: 0,1\r\n\r\n+CMTI: \"SM\",5\r\n\r\nOK\r\n"});
    int32_t before = m_engine.MessageIndications();
    EXPECT_EQ(Exchange("AT+CPMS?"), Expect(1, u"+CPMS: \"ME\",1,20"));
    EXPECT_EQ(Exchange("AT+CREG?"), Expect(1, u"+CREG: 0,1"));
    EXPECT_EQ(m_engine.MessageIndications(), before + 2);
    m_phone.Add({"AT+CMGR=4", "\r\n+CMT: ,24\r\n0791\r\n"});
    EXPECT_EQ(Exchange("AT+CMGR=4"), Expect(1, u"\r\n+CMT: ,24\r\n0791\r\n"));
}

TEST_F(EngineTest, ShortPayloadFailsLongerSucceeds) {
    m_phone.Add({"AT+A", "12\r\nOK\r\n"});
    m_phone.Add({"AT+B", "\r\n1234\r\n\r\nOK\r\n"});
    EXPECT_EQ(Exchange("AT+A").first, 0);
    EXPECT_EQ(Exchange("AT+B"), Expect(1, u"1234"));
}

TEST_F(EngineTest, SilentPhoneRestartsTheWorkerAndALateReplyGoesToTheNextExchange) {
    m_phone.Add({"AT+SLOW", "\r\nSLOW\r\n\r\nOK\r\n", 1500});
    m_phone.Add({"AT", "\r\nOK\r\n"});
    EXPECT_EQ(Exchange("AT+SILENT", 0, 1), Expect(0, u""));
    EXPECT_TRUE(m_engine.Started());
    EXPECT_EQ(m_engine.Running(), 1);
    EXPECT_EQ(Exchange("AT+SLOW", 0, 1), Expect(0, u""));
    std::this_thread::sleep_for(700ms);  // the late reply is on the line by now
    // A new worker reads it first; the "AT" reply waits for the exchange after.
    EXPECT_EQ(Exchange("AT"), Expect(1, u"SLOW"));
    EXPECT_EQ(Exchange("AT"), Expect(1, u""));
}

TEST_F(EngineTest, TimeoutKeepsThePartialReply) {
    m_phone.Add({"AT+HALF", "\r\n+CGSN: 3510"});
    EXPECT_EQ(Exchange("AT+HALF", 0, 1), Expect(0, u"\r\n+CGSN: 3510"));
}

TEST_F(EngineTest, StopWaitsForThePendingExchange) {
    m_phone.Add({"AT+CGSN", "\r\n351234\r\n\r\nOK\r\n", 300});
    std::pair<int, std::u16string> result;
    std::thread caller([&] { result = Exchange("AT+CGSN"); });
    ASSERT_TRUE(m_phone.WaitLines(1, 2s));
    m_engine.StopSAR();
    caller.join();
    EXPECT_EQ(result, Expect(1, u"351234"));
    EXPECT_EQ(m_engine.Running(), 0);
    EXPECT_FALSE(m_engine.Started());
    m_engine.StartSAR();
    m_phone.Add({"AT", "\r\nOK\r\n"});
    EXPECT_EQ(Exchange("AT"), Expect(1, u""));
}

TEST_F(EngineTest, PortFailuresFailTheExchange) {
    m_phone.Add({"AT", "\r\nOK\r\n"});
    m_engine.ClosePort();
    EXPECT_EQ(Exchange("AT", 0, 1).first, 0);
    EXPECT_TRUE(m_phone.Received().empty());
    // A command longer than the transmit buffer is refused, not cut.
    ASSERT_TRUE(m_engine.OpenPort(ce::FromUtf8(m_phone.Path())));
    std::string huge(CKvoComm::kTransmitBufferSize, 'A');
    EXPECT_EQ(Exchange(huge.c_str(), 0, 1).first, 0);
    EXPECT_EQ(Exchange("AT"), Expect(1, u""));
}

TEST(Engine, WithoutWorkerFailsAfterTimeoutAndStartsNone) {
    CPhoneResponder phone;
    phone.Add({"AT", "\r\nOK\r\n"});
    CKvoComm engine;
    ASSERT_TRUE(engine.OpenPort(ce::FromUtf8(phone.Path())));
    std::u16string reply;
    EXPECT_EQ(engine.SendAndReceive("AT", reply, 0, 1), 0);
    EXPECT_FALSE(engine.Started());
    EXPECT_EQ(engine.Running(), 0);
    // A later session is not disturbed by the withdrawn request.
    engine.StartSAR();
    EXPECT_EQ(engine.SendAndReceive("AT", reply, 0, 5), 1);
    engine.StopSAR();
}

TEST(Engine, HungUpLineFailsWithoutWaiting) {
    auto phone = std::make_unique<CPhoneResponder>();
    CKvoComm engine;
    engine.StartSAR();
    ASSERT_TRUE(engine.OpenPort(ce::FromUtf8(phone->Path())));
    phone.reset();  // the cable is pulled
    std::u16string reply;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(engine.SendAndReceive("AT", reply, 0, 5), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    engine.ClosePort();
    engine.StopSAR();
}

TEST(Engine, OpenFailsForUnknownPortAndSharedEngineIsOne) {
    CKvoComm engine;
    EXPECT_EQ(engine.OpenPort(u"/nonexistent/tty"), 0);
    EXPECT_FALSE(engine.PortOpen());
    EXPECT_EQ(&GetKvoComm(), &GetKvoComm());
    char buf[8];
    engine._SetBuf(buf, sizeof buf, "AT+CGMI");  // 7 + CR + zero: cut to fit
    EXPECT_STREQ(buf, "AT+CGM\r");
    engine._SetBuf(buf, sizeof buf, "AT");
    EXPECT_STREQ(buf, "AT\r");
}

TEST(Engine, StepsAreTraced) {
    char dir[] = "/tmp/kvotraceXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string path = std::string(dir) + "/trace.log";
    ce::SetTraceFile(path);
    {
        CPhoneResponder phone;
        phone.Add({"AT+CGMI", "\r\nNokia\r\n\r\nOK\r\n"});
        phone.Add({"AT+E", "\r\nERROR\r\n"});
        CKvoComm engine;
        engine.StartSAR();
        ASSERT_TRUE(engine.OpenPort(ce::FromUtf8(phone.Path())));
        ASSERT_TRUE(engine.SetParams(9600, 0, 8, 0));
        std::u16string reply;
        ASSERT_TRUE(engine.SendAndReceive("AT+CGMI", reply, 0, 5));
        ASSERT_TRUE(engine.SendAndReceive("AT+E", reply, 0, 5));
        EXPECT_FALSE(engine.SendAndReceive("AT+SILENT", reply, 0, 1));
        engine.ClosePort();
        engine.StopSAR();
    }
    ce::SetTraceFile("");
    std::string trace = kvo::test::ReadHostFile(path);
    std::filesystem::remove_all(dir);
    EXPECT_NE(trace.find("waiting for AT..."), std::string::npos);
    size_t at = 0;  // the caller's steps in order; the worker's interleave
    for (const char* step : {"starting SAR",         "starting thread",
                             "opening port",         "SetParams - start",
                             "SetParams - end",      "got something (in:AT+CGMI)",
                             "SAR - GO: AT+CGMI",    "IN: AT+CGMI",
                             "writing to port",      "write done",
                             "reading: <s>\\r</s>",  "OUT: \\r\\nNokia\\r\\n\\r\\nOK\\r\\n",
                             "creating output str",  "result: Nokia",
                             "SAR - END: status: 1", "ERROR: \\r\\nERROR\\r\\n",
                             "SAR - END: status: 1", "thread terminated - timeout",
                             "starting SAR",         "closing port",
                             "Stoping SAR",          "SAR stoped."}) {
        size_t found = trace.find(step, at);
        ASSERT_NE(found, std::string::npos) << step << " after offset " << at << "\n" << trace;
        at = found + 1;
    }
}

TEST_F(EngineTest, StopEndsAHungExchangeAfterItsGraceAndNoWorkerComesBack) {
    std::pair<int, std::u16string> result{-1, u""};
    std::thread caller([&] { result = Exchange("AT+SILENT", 0, 6); });
    ASSERT_TRUE(m_phone.WaitLines(1, 2s));
    auto start = std::chrono::steady_clock::now();
    m_engine.StopSAR();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 5s);
    EXPECT_LT(took, 6s);
    caller.join();
    EXPECT_EQ(result.first, 0);
    // The caller's own time-out came after the stop: it must not start a worker again.
    EXPECT_EQ(m_engine.Running(), 0);
    EXPECT_FALSE(m_engine.Started());
}
