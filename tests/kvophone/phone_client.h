// A test's side of the line: the pty slave opened as the suite opens a serial port.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

#include "platform/pty.h"

namespace kvo::phone::test {

class CLineClient {
public:
    CLineClient() = default;
    ~CLineClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Open(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        std::string error;
        return m_fd >= 0 && ce::MakeRaw(m_fd, 0, error);
    }
    void Send(std::string_view bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<size_t>(n);
        }
    }
    // Reads until a final result (or the prompt) ends what arrived, the line fails, or the
    // time runs out.
    std::string ReadReply(int timeoutMs = 2000) {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!IsComplete(out)) {
            int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                            deadline - std::chrono::steady_clock::now())
                                            .count());
            if (left <= 0) break;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            char buf[512];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) {
                out.append(buf, static_cast<size_t>(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                m_bFailed = true;
                break;
            }
        }
        return out;
    }
    // Everything that arrives within the time.
    std::string ReadFor(int ms) {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            char buf[512];
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<size_t>(n));
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                m_bFailed = true;
                break;
            }
        }
        return out;
    }
    std::string Exchange(std::string_view command, int timeoutMs = 2000) {
        Send(command);
        return ReadReply(timeoutMs);
    }
    bool Failed() const { return m_bFailed; }
    int Fd() const { return m_fd; }

private:
    static bool EndsWith(const std::string& s, std::string_view end) {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    }
    static bool IsComplete(const std::string& s) {
        return EndsWith(s, "OK\r\n") || EndsWith(s, "ERROR\r\n") ||
               (EndsWith(s, "\r\n") && s.find("ERROR: ") != std::string::npos) ||
               (EndsWith(s, "\r\n") && s.find("\r\nCONNECT") != std::string::npos) ||
               EndsWith(s, "NO CARRIER\r\n") || EndsWith(s, "BUSY\r\n") || EndsWith(s, "> ");
    }
    int m_fd = -1;
    bool m_bFailed = false;
};

}  // namespace kvo::phone::test
