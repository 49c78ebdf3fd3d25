// The engine and `kvo phone info` against the phone simulator.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "kvocomm/kvocomm.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"
#include "tools/kvo/commands.h"
#include "tools/kvophone/phone_sim.h"

namespace fs = std::filesystem;

namespace {

// SMS-SUBMIT to +491711234567, "Hello": 19 octets after the centre part.
constexpr char kSubmitPdu[] = "0011000C919471113254760000FF05C8329BFD06";

class SimEngineTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_sim.Start("", 0, error)) << error;
        m_engine.StartSAR();
        ASSERT_TRUE(m_engine.OpenPort(ce::FromUtf8(m_sim.SlavePath())));
        ASSERT_TRUE(m_engine.SetParams(9600, 0, 8, 0));
    }
    void TearDown() override {
        m_engine.ClosePort();
        m_engine.StopSAR();
        m_sim.Stop();
    }
    std::u16string Ask(const char* command, int mode = 0) {
        std::u16string reply;
        EXPECT_TRUE(m_engine.SendAndReceive(command, reply, mode, 10)) << command;
        return reply;
    }

    kvo::phone::CPhoneSim m_sim;
    CKvoComm m_engine;
};

TEST_F(SimEngineTest, IdentifiesThePhoneWithItsEchoOn) {
    EXPECT_EQ(Ask("AT"), u"");
    EXPECT_EQ(Ask("AT+CGMI"), u"KVO Mobile");
    EXPECT_EQ(Ask("AT+CGMM"), u"SP-1");
    EXPECT_EQ(Ask("AT+CGSN"), u"350000000000001");
    EXPECT_NE(Ask("AT+COPS?").find(u"T-Mobile D"), std::u16string::npos);
    EXPECT_EQ(Ask("AT+NOSUCHCOMMAND"), u"");  // ERROR completes empty
}

TEST_F(SimEngineTest, SendsAMessageThroughThePrompt) {
    EXPECT_EQ(Ask("AT+CMGF=0"), u"");
    EXPECT_EQ(Ask("AT+CMGS=19"), u">");
    std::string body = std::string(kSubmitPdu) + "\x1a";
    std::u16string reply = Ask(body.c_str(), 1);
    EXPECT_NE(reply.find(u"CMGS"), std::u16string::npos);
    // The line is clean for the next command.
    EXPECT_EQ(Ask("AT"), u"");
}

TEST_F(SimEngineTest, NewMessageIndicationIsCountedAndTheNextExchangeGetsItsOwnReply) {
    EXPECT_EQ(Ask("AT"), u"");
    std::string error;
    ASSERT_TRUE(m_sim.InjectSms("", "+491711234567", "2026-12-08 10:15:00", "Hi", error)) << error;
    ASSERT_TRUE(m_sim.WaitForJournal("CMTI", 2000));
    int32_t before = m_engine.MessageIndications();
    EXPECT_EQ(Ask("AT+CGMI"), u"KVO Mobile");
    EXPECT_EQ(m_engine.MessageIndications(), before + 1);
}

TEST_F(SimEngineTest, UnsolicitedLinesBeforeTheEchoInsideAndAtThePromptLoseNothing) {
    for (const char* at : {"before", "inside", "after", "prompt"}) {
        m_sim.UpdateDialect([at](kvo::phone::Dialect& d) {
            d.unsolicited = {"^RSSI:17", "+CREG: 1", "^MODE:5,4", "*RADIOPOWER: 1",
                             "+CMTI: \"ME\",9"};
            d.strUnsolicitedAt = at;
        });
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(Ask("AT+CGMI"), u"KVO Mobile") << at;
            EXPECT_EQ(Ask("AT+CMGF=0"), u"") << at;
        }
        EXPECT_EQ(Ask("AT+CMGS=19"), u">") << at;
        std::u16string reply;
        EXPECT_EQ(m_engine.SendAndReceive("0011000C919471113254760000FF05C8329BFD06\x1A", reply,
                                          CKvoComm::MODE_BODY, 5),
                  1);
        EXPECT_NE(
            reply.find(u"+CMGS: " + ce::FromUtf8(std::to_string(m_sim.State().submitted.size()))),
            std::u16string::npos)
            << at;
    }
}

TEST_F(SimEngineTest, RepliesWithoutTheirOkEndByTheirShape) {
    m_sim.UpdateDialect([](kvo::phone::Dialect& d) {
        d.noFinalOk = {"AT+CGMI", "AT+CMGR", "AT+CPMS"};
        d.bDamagedEcho = true;
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask("AT+CGMI"), u"KVO Mobile");
    EXPECT_EQ(Ask("AT+CPMS=\"ME\"").substr(0, 6), u"+CPMS:");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST_F(SimEngineTest, PinReleaseRunsItsCommands) {
    m_engine.ClosePort();
    EXPECT_EQ(m_engine.DisablePIN(ce::FromUtf8(m_sim.SlavePath()), u"0000", 9600, 0, 8, 0), 1);
    EXPECT_TRUE(m_sim.WaitForJournal("clck", 2000) || m_sim.WaitForJournal("CLCK", 100));
}

TEST(SimCli, PhoneInfoThroughThePortMap) {
    kvo::test::TempDevice device;
    fs::create_directories(device.Root() / "dev");
    ASSERT_TRUE(ce::RegSetValue(ce::HKEY_LOCAL_MACHINE, ce::kPortMapKey, u"COM3:",
                                ce::RegValue::Sz(u"dev/COM3")));
    kvo::phone::CPhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start((device.Root() / "dev/COM3").string(), 115200, error)) << error;
    std::ostringstream out, err;
    ASSERT_EQ(kvo::cli::Main({"--device", device.Root().string(), "phone", "info"}, out, err), 0)
        << err.str();
    EXPECT_EQ(out.str(),
              "manufacturer: KVO Mobile\nmodel: SP-1\nserial number: 350000000000001\n"
              "operator: T-Mobile D\n");
    sim.Stop();
}

// A session killed in the middle of a command (Ctrl-C, kill -9) leaves the phone's late reply
// on the line; the next session must not take it for the answer to its own commands.
class InterruptedSessionTest : public ::testing::TestWithParam<int> {
protected:
    // Starts a session process that sends `command` and kills it with `signal` once the
    // phone has the command, before the reply.
    void KillMidCommand(kvo::phone::CPhoneSim& sim, const char* command, int signal) {
        std::string child = std::string(KVO_BINARY_DIR) + "/bin/kvocomm_session_child";
        std::string port = sim.SlavePath();
        std::vector<char*> argv = {child.data(), port.data(), const_cast<char*>(command),
                                   const_cast<char*>("30"), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, child.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        bool asked = sim.WaitForJournal(std::string("> ") + command, 10000);
        kill(pid, signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(asked);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the session ended before it was killed";
    }
    // Opens and identifies the phone as every session does: up to three handshakes.
    void ExpectCleanSession(kvo::phone::CPhoneSim& sim, int* attempts) {
        CKvoComm engine;
        engine.StartSAR();
        ASSERT_TRUE(engine.OpenPort(ce::FromUtf8(sim.SlavePath())));
        *attempts = 0;
        std::u16string reply = u"x";
        while (*attempts < 3 && !reply.empty()) {
            ++*attempts;
            ASSERT_TRUE(engine.SetParams(9600, 0, 8, 0));
            if (!engine.SendAndReceive("AT", reply, 0, 10))
                reply = u"x";
        }
        EXPECT_EQ(reply, u"");
        // Not the manufacturer from the killed session's command, nor any reply shifted by one.
        EXPECT_EQ(engine.SendAndReceive("AT+CGMM", reply, 0, 10), 1);
        EXPECT_EQ(reply, u"SP-1");
        EXPECT_EQ(engine.SendAndReceive("AT+CGSN", reply, 0, 10), 1);
        EXPECT_EQ(reply, u"350000000000001");
        engine.ClosePort();
        engine.StopSAR();
    }
};

TEST_P(InterruptedSessionTest, TheLateReplyOfAKilledSessionIsNotTheNextSessionsAnswer) {
    kvo::phone::CPhoneSim sim;
    std::string error;
    ASSERT_TRUE(sim.Start("", 0, error)) << error;
    // A slow phone: the reply comes after the session is gone.
    sim.UpdateQuirks([](kvo::phone::Quirks& q) { q.nReplyDelayMs = 300; });
    uint64_t before = sim.BytesOut();
    KillMidCommand(sim, "AT+CGMI", GetParam());
    // Echo and reply: "AT+CGMI\r" "\r\nKVO Mobile\r\n\r\nOK\r\n".
    for (int i = 0; i < 1000 && sim.BytesOut() < before + 28; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(sim.BytesOut(), before + 28);
    int attempts = 0;
    ExpectCleanSession(sim, &attempts);
    EXPECT_EQ(attempts, 1);
    sim.Stop();
}

TEST_P(InterruptedSessionTest, AReplyStillComingInWhenTheNextSessionOpensIsDropped) {
    kvo::phone::CPhoneSim sim;
    std::string error;
    // 1200 baud: the late reply takes about a quarter of a second to come in.
    ASSERT_TRUE(sim.Start("", 1200, error)) << error;
    uint64_t before = sim.BytesOut();
    KillMidCommand(sim, "AT+CGMI", GetParam());
    for (int i = 0; i < 1000 && sim.BytesOut() < before + 12; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    int attempts = 0;
    ExpectCleanSession(sim, &attempts);
    sim.Stop();
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedSessionTest, ::testing::Values(SIGKILL, SIGINT));

}  // namespace
