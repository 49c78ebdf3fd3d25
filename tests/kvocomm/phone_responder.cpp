#include "phone_responder.h"

#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace kvo::test {

CPhoneResponder::CPhoneResponder() {
    std::string error;
    if (!m_pty.Open(error))
        throw std::runtime_error(error);
    m_thread = std::thread([this] { Run(); });
}

CPhoneResponder::~CPhoneResponder() {
    Stop();
}

void CPhoneResponder::Stop() {
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool CPhoneResponder::Link(const std::string& path) {
    std::string error;
    return m_pty.Link(path, error);
}

void CPhoneResponder::Add(PhoneRule rule) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back(std::move(rule));
}

std::string CPhoneResponder::Received() const {
    std::lock_guard lock(m_mutex);
    return m_strReceived;
}

std::string CPhoneResponder::Sent() const {
    std::lock_guard lock(m_mutex);
    return m_strSent;
}

std::vector<std::string> CPhoneResponder::Lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool CPhoneResponder::WaitLines(size_t n, std::chrono::milliseconds timeout) const {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (Lines().size() >= n)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void CPhoneResponder::WritePaced(const std::string& bytes) {
    std::lock_guard lock(m_writeMutex);
    const int baud = m_nBaud;
    if (baud <= 0) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t w = ::write(m_pty.Fd(), bytes.data() + done, bytes.size() - done);
            if (w <= 0)
                return;
            {
                std::lock_guard record(m_mutex);
                m_strSent.append(bytes.data() + done, static_cast<size_t>(w));
            }
            done += static_cast<size_t>(w);
            m_nSent += static_cast<uint64_t>(w);
        }
        return;
    }
    auto start = std::chrono::steady_clock::now();
    const auto perByte = std::chrono::nanoseconds(10'000'000'000LL / baud);
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::this_thread::sleep_until(start + perByte * static_cast<long>(i + 1));
        if (::write(m_pty.Fd(), &bytes[i], 1) != 1)
            return;
        {
            std::lock_guard record(m_mutex);
            m_strSent.push_back(bytes[i]);
        }
        ++m_nSent;
    }
}

void CPhoneResponder::Send(const std::string& bytes) {
    WritePaced(bytes);
}

void CPhoneResponder::Answer(const std::string& line) {
    const int baud = m_nBaud;
    if (baud > 0) {
        // The command's own time on the line.
        std::this_thread::sleep_for(
            std::chrono::nanoseconds(10'000'000'000LL / baud * static_cast<long>(line.size() + 1)));
    }
    if (m_bEcho)
        WritePaced(line + "\r");
    PhoneRule rule;
    bool found = false;
    {
        std::lock_guard lock(m_mutex);
        for (auto& r : m_rules) {
            if (r.uses == 0 || (!r.command.empty() && r.command != line))
                continue;
            if (r.uses > 0)
                --r.uses;
            rule = r;
            found = true;
            break;
        }
    }
    if (!found)
        return;
    if (rule.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(rule.delayMs));
    WritePaced(rule.reply);
}

void CPhoneResponder::Run() {
    std::string pending;
    while (!m_bStop) {
        pollfd p{m_pty.Fd(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN))
            continue;
        char buf[256];
        ssize_t n = ::read(m_pty.Fd(), buf, sizeof buf);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            char c = buf[i];
            {
                std::lock_guard lock(m_mutex);
                m_strReceived.push_back(c);
            }
            // CR ends a command line, Ctrl-Z a message body.
            if (c == '\r' || c == '\x1a') {
                if (c == '\x1a')
                    pending.push_back(c);
                {
                    std::lock_guard lock(m_mutex);
                    m_lines.push_back(pending);
                }
                Answer(pending);
                pending.clear();
            } else {
                pending.push_back(c);
            }
        }
    }
}

}  // namespace kvo::test
