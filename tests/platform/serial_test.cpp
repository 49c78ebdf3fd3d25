// Serial ports over real pseudo-terminals.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>
#include <termios.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/error.h"
#include "platform/pty.h"
#include "platform/registry.h"
#include "platform/serial.h"
#include "platform/sys.h"
#include "platform/text.h"
#include "tests/support/temp_device.h"

using namespace ce;
namespace fs = std::filesystem;

namespace {

class SerialTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_pty.Open(error)) << error;
    }
    PortHandle OpenPty() { return CreateFile(FromUtf8(m_pty.SlavePath())); }
    std::string ReadMaster(size_t n) {
        std::string out;
        while (out.size() < n) {
            char buf[64];
            ssize_t r = ::read(m_pty.Fd(), buf, sizeof buf);
            if (r <= 0)
                break;
            out.append(buf, static_cast<size_t>(r));
        }
        return out;
    }
    PtyMaster m_pty;
};

TEST_F(SerialTest, PortNamesResolveThroughThePortMap) {
    ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, kPortMapKey, u"COM3:", RegValue::Sz(u"dev/COM3")));
    ASSERT_TRUE(RegSetValue(HKEY_LOCAL_MACHINE, kPortMapKey, u"COM5:",
                            RegValue::Sz(FromUtf8(m_pty.SlavePath()))));
    EXPECT_EQ(ResolvePortName(u"com3:"), m_device.Root() / "dev/COM3");
    EXPECT_EQ(ResolvePortName(u"COM5:"), fs::path(m_pty.SlavePath()));
    EXPECT_EQ(ResolvePortName(u"/dev/ttyUSB0"), fs::path("/dev/ttyUSB0"));
    EXPECT_FALSE(ResolvePortName(u"COM9:"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    // The relative entry reaches the pty where the phone linked it.
    fs::create_directories(m_device.Root() / "dev");
    std::string error;
    ASSERT_TRUE(m_pty.Link((m_device.Root() / "dev/COM3").string(), error)) << error;
    PortHandle h = CreateFile(u"COM3:");
    ASSERT_TRUE(h);
    uint32_t n = 0;
    ASSERT_TRUE(WriteFile(h, "AT\r", 3, &n));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(ReadMaster(3), "AT\r");
    EXPECT_FALSE(CreateFile(u"COM9:"));
}

TEST_F(SerialTest, PortIsNotSharedWithinOrAcrossProcesses) {
    PortHandle first = OpenPty();
    ASSERT_TRUE(first);
    EXPECT_FALSE(OpenPty());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    pid_t child = fork();
    if (child == 0)
        _exit(OpenPty() ? 0 : GetLastError() == ERROR_SHARING_VIOLATION ? 3 : 4);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 3);
    ASSERT_TRUE(CloseHandle(first));
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_TRUE(OpenPty());
}

TEST_F(SerialTest, LineSettingsAreReadBack) {
    PortHandle h = OpenPty();
    ASSERT_TRUE(h);
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, dcb));
    dcb.BaudRate = 19200;
    dcb.StopBits = TWOSTOPBITS;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    ASSERT_TRUE(SetCommState(h, dcb));
    DCB back;
    ASSERT_TRUE(GetCommState(h, back));
    EXPECT_EQ(back.BaudRate, 19200u);
    EXPECT_EQ(back.Parity, NOPARITY);
    EXPECT_EQ(back.ByteSize, 8);
    EXPECT_EQ(back.StopBits, TWOSTOPBITS);
    EXPECT_FALSE(back.fOutxCtsFlow);

    // A pty always runs 8 bits without parity and says yes to anything: the read-back is
    // what turns 7E into a failure instead of a line that silently stays 8N.
    dcb.ByteSize = 7;
    dcb.Parity = EVENPARITY;
    EXPECT_FALSE(SetCommState(h, dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    for (auto bad : {DCB{.BaudRate = 12345}, DCB{.ByteSize = 9}, DCB{.fOutxDsrFlow = true}}) {
        EXPECT_FALSE(SetCommState(h, bad));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

int DroppingTcSetAttr(int fd, int when, const termios* tio) {
    termios t = *tio;
    t.c_cflag &= ~CSTOPB;  // a driver that quietly ignores two stop bits
    return RealSys().tcsetattr(fd, when, &t);
}
int NoModemLines(int fd, unsigned long request, void* arg) {
    if (request == TIOCMBIS || request == TIOCMBIC || request == TIOCMGET) {
        errno = EINVAL;
        return -1;
    }
    return RealSys().ioctl(fd, request, arg);
}

TEST_F(SerialTest, SettingsTheDeviceDroppedFailAndMissingModemLinesDoNot) {
    PortHandle h = OpenPty();
    ASSERT_TRUE(h);
    SysCalls calls = RealSys();
    calls.tcsetattr = DroppingTcSetAttr;
    calls.ioctl = NoModemLines;
    ScopedSysOverride o(calls);
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, dcb));
    dcb.StopBits = TWOSTOPBITS;
    EXPECT_FALSE(SetCommState(h, dcb));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    dcb.StopBits = ONESTOPBIT;
    EXPECT_TRUE(SetCommState(h, dcb));
}

TEST_F(SerialTest, ReadWaitsNoLongerThanItsTimeout) {
    PortHandle h = OpenPty();
    ASSERT_TRUE(h);
    COMMTIMEOUTS t;
    t.ReadTotalTimeoutConstant = 200;
    ASSERT_TRUE(SetCommTimeouts(h, t));
    char buf[8];
    uint32_t n = 99;
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(n, 0u);
    EXPECT_GE(took, std::chrono::milliseconds(190));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    ASSERT_EQ(::write(m_pty.Fd(), "OK", 2), 2);
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n));
    EXPECT_EQ(std::string(buf, n), "OK");
    // Purging drops what waits on the line.
    ASSERT_EQ(::write(m_pty.Fd(), "junk", 4), 4);
    usleep(20000);
    ASSERT_TRUE(PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR));
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n));
    EXPECT_EQ(n, 0u);
}

int g_interrupts = 0;
ssize_t InterruptedRead(int fd, void* buf, size_t n) {
    if (g_interrupts-- > 0) {
        errno = EINTR;
        return -1;
    }
    return RealSys().read(fd, buf, n > 1 ? 1 : n);
}
ssize_t InterruptedShortWrite(int fd, const void* buf, size_t n) {
    if (g_interrupts-- > 0) {
        errno = EINTR;
        return -1;
    }
    return RealSys().write(fd, buf, n > 2 ? 2 : n);
}
int InterruptedPoll(pollfd* fds, nfds_t n, int timeoutMs) {
    if (g_interrupts-- > 0) {
        errno = EINTR;
        return -1;
    }
    return RealSys().poll(fds, n, timeoutMs);
}

TEST_F(SerialTest, InterruptsAndShortTransfersLoseNothing) {
    PortHandle h = OpenPty();
    ASSERT_TRUE(h);
    SysCalls calls = RealSys();
    calls.read = InterruptedRead;
    calls.write = InterruptedShortWrite;
    calls.poll = InterruptedPoll;
    ScopedSysOverride o(calls);
    g_interrupts = 3;
    uint32_t n = 0;
    ASSERT_TRUE(WriteFile(h, "AT+CGMI\r", 8, &n));
    EXPECT_EQ(n, 8u);
    EXPECT_EQ(ReadMaster(8), "AT+CGMI\r");
    ASSERT_EQ(::write(m_pty.Fd(), "\r\nOK\r\n", 6), 6);
    COMMTIMEOUTS t;
    t.ReadTotalTimeoutConstant = 500;
    ASSERT_TRUE(SetCommTimeouts(h, t));
    std::string got;
    g_interrupts = 4;
    for (int i = 0; i < 20 && got.size() < 6; ++i) {
        char buf[8];
        ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n));
        got.append(buf, n);
    }
    EXPECT_EQ(got, "\r\nOK\r\n");
}

}  // namespace

namespace {

std::function<bool()> GiveUpAfter(int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    return [end] { return std::chrono::steady_clock::now() > end; };
}

// A line fresh from the kernel: echo, line editing, signals, CR/LF translation and XON/XOFF.
class FreshLineTest : public kvo::test::DeviceTest {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_pty.Open(error, PtyLine::KernelDefault)) << error;
        termios tio{};
        ASSERT_EQ(tcgetattr(m_pty.Fd(), &tio), 0);
        ASSERT_TRUE((tio.c_lflag & (ICANON | ECHO | ISIG)) == (ICANON | ECHO | ISIG));
        ASSERT_TRUE((tio.c_iflag & (IXON | ICRNL)) == (IXON | ICRNL));
        ASSERT_TRUE((tio.c_oflag & (OPOST | ONLCR)) == (OPOST | ONLCR));
    }
    // What the phone side receives within timeoutMs, up to n bytes.
    std::string ReadMaster(size_t n, int timeoutMs = 2000) {
        std::string out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            end - std::chrono::steady_clock::now())
                                            .count());
            pollfd p{m_pty.Fd(), POLLIN, 0};
            if (left <= 0 || poll(&p, 1, left) <= 0)
                break;
            char buf[512];
            ssize_t r = ::read(m_pty.Fd(), buf, std::min(sizeof buf, n - out.size()));
            if (r <= 0)
                break;
            out.append(buf, static_cast<size_t>(r));
        }
        return out;
    }
    std::string ReadPort(const PortHandle& h, size_t n) {
        COMMTIMEOUTS t;
        t.ReadTotalTimeoutConstant = 200;
        SetCommTimeouts(h, t);
        std::string out;
        for (int idle = 0; out.size() < n && idle < 2;) {
            char buf[512];
            uint32_t got = 0;
            if (!ReadFile(h, buf, static_cast<uint32_t>(std::min(sizeof buf, n - out.size())),
                          &got))
                break;
            idle = got == 0 ? idle + 1 : 0;
            out.append(buf, got);
        }
        return out;
    }
    // Every byte value, each way; nothing echoed back to the phone.
    void ExpectEveryBytePassesBothWays(const PortHandle& h) {
        std::string all;
        for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
        ASSERT_EQ(::write(m_pty.Fd(), all.data(), all.size()), 256);
        EXPECT_EQ(ReadPort(h, 256), all);
        // A line held by XOFF would block the write for good: give up after a while.
        size_t n = 0;
        ASSERT_TRUE(h->Write(all.data(), 256, &n, GiveUpAfter(2000)));
        EXPECT_EQ(ReadMaster(257, 300), all);
    }
    PtyMaster m_pty;
};

TEST_F(FreshLineTest, EveryBytePassesUnchangedFromTheMomentOfOpening) {
    PortHandle h = CreateFile(FromUtf8(m_pty.SlavePath()));
    ASSERT_TRUE(h);
    ExpectEveryBytePassesBothWays(h);
    // XOFF from the phone must not stop our output.
    ASSERT_EQ(::write(m_pty.Fd(), "\x13", 1), 1);
    EXPECT_EQ(ReadPort(h, 1), "\x13");
    size_t n = 0;
    ASSERT_TRUE(h->Write("AT\r", 3, &n, GiveUpAfter(2000)));
    EXPECT_EQ(ReadMaster(3), "AT\r");
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, dcb));
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
}

TEST_F(FreshLineTest, RefusedSpeedsSayWhichAndLeaveTheLineBinary) {
    PortHandle h = CreateFile(FromUtf8(m_pty.SlavePath()));
    ASSERT_TRUE(h);
    for (uint32_t baud : {14400u, 28800u, 56000u, 128000u, 256000u, 12345u}) {
        DCB dcb;
        ASSERT_TRUE(GetCommState(h, dcb));
        dcb.BaudRate = baud;
        EXPECT_FALSE(SetCommState(h, dcb));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        EXPECT_NE(SerialProblem().find(std::to_string(baud) + " baud"), std::string::npos)
            << SerialProblem();
    }
    ExpectEveryBytePassesBothWays(h);
    for (uint32_t baud : {110u, 1800u, 9600u, 500000u}) {
        DCB dcb;
        ASSERT_TRUE(GetCommState(h, dcb));
        dcb.BaudRate = baud;
        EXPECT_TRUE(SetCommState(h, dcb)) << baud;
        ASSERT_TRUE(GetCommState(h, dcb));
        EXPECT_EQ(dcb.BaudRate, baud);
    }
}

TEST_F(FreshLineTest, WhatWaitedOnTheLineBeforeOpeningIsGone) {
    // The late reply to a command of a session that was killed; the fresh line echoes it.
    std::string late = "AT+CGMI\r\r\nKVO Mobile\r\n\r\nOK\r\n";
    ASSERT_EQ(::write(m_pty.Fd(), late.data(), late.size()), static_cast<ssize_t>(late.size()));
    ReadMaster(1000, 200);
    PortHandle h = CreateFile(FromUtf8(m_pty.SlavePath()));
    ASSERT_TRUE(h);
    EXPECT_EQ(ReadMaster(1000, 100), "");
    EXPECT_EQ(ReadPort(h, 1), "");
    ASSERT_EQ(::write(m_pty.Fd(), "\r\nOK\r\n", 6), 6);
    EXPECT_EQ(ReadPort(h, 6), "\r\nOK\r\n");

    // The same for a line left raw by an earlier session.
    ASSERT_TRUE(CloseHandle(h));
    ASSERT_EQ(::write(m_pty.Fd(), late.data(), late.size()), static_cast<ssize_t>(late.size()));
    h = CreateFile(FromUtf8(m_pty.SlavePath()));
    ASSERT_TRUE(h);
    EXPECT_EQ(ReadPort(h, 1), "");
}

TEST_F(FreshLineTest, DiscardingInputStopsWhenTheLineIsQuietOrAtItsLimit) {
    PortHandle h = CreateFile(FromUtf8(m_pty.SlavePath()));
    ASSERT_TRUE(h);
    ASSERT_EQ(::write(m_pty.Fd(), "stale", 5), 5);
    h->DiscardInput(50, 2000);
    ASSERT_EQ(::write(m_pty.Fd(), "new", 3), 3);
    EXPECT_EQ(ReadPort(h, 3), "new");

    // A phone that never stops talking does not hold the caller beyond the limit.
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        while (!stop) {
            (void)!::write(m_pty.Fd(), "x", 1);
            usleep(2000);
        }
    });
    auto start = std::chrono::steady_clock::now();
    size_t dropped = h->DiscardInput(1000, 300);
    auto took = std::chrono::steady_clock::now() - start;
    stop = true;
    chatter.join();
    EXPECT_GT(dropped, 0u);
    EXPECT_LT(took, std::chrono::seconds(5));  // bounded, however busy the machine
}

TEST(SerialOpen, ANonTerminalIsRefusedWithItsName) {
    PortHandle h = CreateFile(u"/dev/null");
    EXPECT_FALSE(h);
    EXPECT_NE(SerialProblem().find("/dev/null"), std::string::npos) << SerialProblem();
    EXPECT_FALSE(CreateFile(u"/nonexistent/ttyUSB0"));
    EXPECT_NE(SerialProblem().find("No such file"), std::string::npos) << SerialProblem();
}

}  // namespace
