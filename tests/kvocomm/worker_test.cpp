// The engine's workers over many time-outs and stops: nothing left behind, no needless waits,
// no lock taken in the wrong order.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "kvocomm/kvocomm.h"
#include "phone_responder.h"
#include "platform/sys.h"
#include "platform/text.h"

using kvo::test::CPhoneResponder;
using namespace std::chrono_literals;

namespace {

size_t TaskCount() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// The process's address space in KiB.
long VmSizeKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stol(line.substr(7));
    return -1;
}

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_phone.Add({"AT", "\r\nOK\r\n"});
        m_engine.StartSAR();
        ASSERT_TRUE(m_engine.OpenPort(ce::FromUtf8(m_phone.Path())));
        ASSERT_TRUE(m_engine.SetParams(9600, 0, 8, 0));
    }
    void TearDown() override {
        m_engine.ClosePort();
        m_engine.StopSAR();
    }
    int Send(const char* command, int timeout) {
        std::u16string reply;
        return m_engine.SendAndReceive(command, reply, 0, timeout);
    }

    CPhoneResponder m_phone;
    CKvoComm m_engine;
};

TEST_F(WorkerTest, TwoHundredTimeOutsLeaveNoThreadsOrAddressSpaceBehind) {
    // Each new thread may get a malloc arena of its own (64 MiB of address space each, up to
    // eight per core); keep them few so that the address space shows the threads' stacks.
    mallopt(M_ARENA_MAX, 1);
    // Warm up, so that stacks the C library keeps for reuse are already counted.
    for (int i = 0; i < 20; ++i) Send("AT+SILENT", 0);
    ASSERT_EQ(Send("AT", 5), 1);
    size_t tasks = TaskCount();
    long vm = VmSizeKb();
    for (int i = 0; i < 200; ++i) EXPECT_EQ(Send("AT+SILENT", 0), 0);
    // Retired workers end within a read slice; each exchange joins those that have.
    size_t now = TaskCount();
    for (int i = 0; i < 100 && now > tasks; ++i) {
        std::this_thread::sleep_for(20ms);
        now = TaskCount();
    }
    EXPECT_LE(now, tasks);
    ASSERT_EQ(Send("AT", 5), 1);
    // An unjoined thread keeps its stack mapped (8 MiB or more each): 200 of them are GiBs.
    EXPECT_LT(VmSizeKb() - vm, 64 * 1024);
}

TEST_F(WorkerTest, StopReturnsPromptlyOnceTheCallersTimeOutEndedTheExchange) {
    // The caller's time-out ends the exchange while StopSAR waits for it.
    for (int round = 0; round < 3; ++round) {
        std::atomic<int> result{-1};
        size_t lines = m_phone.Lines().size();
        std::thread caller([&] { result = Send("AT+SILENT", 1); });
        ASSERT_TRUE(m_phone.WaitLines(lines + 1, 5s));
        auto start = std::chrono::steady_clock::now();
        m_engine.StopSAR();
        auto took = std::chrono::steady_clock::now() - start;
        caller.join();
        EXPECT_EQ(result, 0);
        // The grace for a hung worker is 5 s; the caller gave up after 1 s.
        EXPECT_LT(took, 4000ms);
        EXPECT_EQ(m_engine.Running(), 0);
        EXPECT_FALSE(m_engine.Started());
        m_engine.StartSAR();
        EXPECT_EQ(Send("AT", 5), 1);
    }
    // The time-out came first.
    EXPECT_EQ(Send("AT+SILENT", 0), 0);
    auto start = std::chrono::steady_clock::now();
    m_engine.StopSAR();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

// A line that takes no bytes while `g_blocked` holds (the phone stopped reading).
std::atomic<int> g_blocked{0};
ssize_t BlockedWrite(int fd, const void* buf, size_t n) {
    if (g_blocked.load() != 0 && n >= 8 && std::memcmp(buf, "AT+BLOCK", 8) == 0) {
        if (g_blocked > 0)
            --g_blocked;
        errno = EAGAIN;
        return -1;
    }
    return ce::RealSys().write(fd, buf, n);
}

TEST_F(WorkerTest, AWriteTheLineRefusesForAWhileCompletesOrIsAbandonedAtTheTimeOut) {
    m_phone.Add({"AT+BLOCK", "\r\nDONE\r\n\r\nOK\r\n"});
    ce::SysCalls calls = ce::RealSys();
    calls.write = BlockedWrite;
    ce::ScopedSysOverride o(calls);
    // Reads take the engine's lock, then the port's; the write's stop check runs under the
    // port's lock and must not take the engine's (ThreadSanitizer sees the inversion).
    ASSERT_EQ(Send("AT", 5), 1);
    g_blocked = 5;
    std::u16string reply;
    EXPECT_EQ(m_engine.SendAndReceive("AT+BLOCK", reply, 0, 5), 1);
    EXPECT_EQ(reply, u"DONE");
    g_blocked = -1;  // for good
    EXPECT_EQ(Send("AT+BLOCK", 1), 0);
    EXPECT_EQ(Send("AT", 5), 1);
    // Once every worker is gone, the line may take bytes again: the command given up on
    // never goes out.
    m_engine.StopSAR();
    g_blocked = 0;
    m_engine.StartSAR();
    EXPECT_EQ(Send("AT", 5), 1);
    EXPECT_EQ(m_phone.Received(), "AT\rAT+BLOCK\rAT\rAT\r");
}

}  // namespace
