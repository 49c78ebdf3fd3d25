// A scripted phone on the master side of a pty: when a command line arrives, answer with the
// bytes of the first rule that matches it, after a delay, optionally paced like a serial line.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/pty.h"

namespace kvo::test {

struct PhoneRule {
    std::string command;  // the line as received, without its CR ("" matches any line)
    std::string reply;    // sent as it stands
    int delayMs = 0;      // before the reply
    int uses = -1;        // how often the rule answers; -1 without limit
};

class CPhoneResponder {
public:
    CPhoneResponder();
    ~CPhoneResponder();

    // The pty's slave, to open as the port.
    std::string Path() const { return m_pty.SlavePath(); }
    bool Link(const std::string& path);

    void Add(PhoneRule rule);
    void SetEcho(bool on) { m_bEcho = on; }
    // 0: as fast as the pty takes it; else each byte takes 10 bits of line time, and an
    // arriving command takes its own line time before the answer starts.
    void SetBaud(int baud) { m_nBaud = baud; }
    // Unsolicited output, paced like replies.
    void Send(const std::string& bytes);

    // Everything received, and the count of reply bytes written to the line.
    std::string Received() const;
    std::vector<std::string> Lines() const;
    uint64_t BytesSent() const { return m_nSent.load(); }
    std::string Sent() const;
    // Waits until `n` command lines have arrived.
    bool WaitLines(size_t n, std::chrono::milliseconds timeout) const;

    void Stop();

private:
    void Run();
    void Answer(const std::string& line);
    void WritePaced(const std::string& bytes);

    ce::PtyMaster m_pty;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEcho{false};
    std::atomic<int> m_nBaud{0};
    std::atomic<uint64_t> m_nSent{0};
    mutable std::mutex m_mutex;
    std::vector<PhoneRule> m_rules;
    std::string m_strReceived;
    std::string m_strSent;
    std::vector<std::string> m_lines;
    std::mutex m_writeMutex;
};

}  // namespace kvo::test
