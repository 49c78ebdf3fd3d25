// A small HTTP server on 127.0.0.1 for the updater's tests: it serves what a test put in
// its table, and can lie about lengths, leave them out, or hang up in the middle of a body.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace kvo::test {

class CTestHttpServer {
public:
    struct Reply {
        int nStatus = 200;
        std::string strBody;
        // -1: the body's real length; -2: no Content-Length header.
        long long nLength = -1;
        // Bytes of the body sent before the connection is closed; -1 for all.
        long long nSendOnly = -1;
        // The status a HEAD request gets, when it differs (a file gone between the size
        // query and the download).
        int nHeadStatus = 0;
        // The answer to a GET waits for Release(): the client is held in the middle of a
        // download.
        bool bHold = false;
    };

    CTestHttpServer() {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            listen(m_fd, 16) != 0 || getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        m_nPort = ntohs(a.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CTestHttpServer() {
        Release();
        m_bStop = true;
        if (m_fd >= 0)
            shutdown(m_fd, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            close(m_fd);
    }

    int Port() const { return m_nPort; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort); }
    void Set(const std::string& path, Reply reply) {
        std::lock_guard l(m_mutex);
        m_routes[path] = std::move(reply);
    }
    void Set(const std::string& path, const std::string& body) { Set(path, Reply{200, body}); }
    void Release() {
        std::lock_guard l(m_mutex);
        m_bReleased = true;
        m_cv.notify_all();
    }
    // Requests seen, "GET /x" one a line.
    std::string Log() const {
        std::lock_guard l(m_mutex);
        return m_strLog;
    }

private:
    void Serve() {
        while (!m_bStop) {
            int c = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) {
                if (m_bStop)
                    return;
                continue;
            }
            Answer(c);
            close(c);
        }
    }

    void Answer(int c) {
        std::string request;
        char buf[2048];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            request.append(buf, static_cast<size_t>(n));
        }
        size_t sp1 = request.find(' '), sp2 = request.find(' ', sp1 + 1);
        std::string method = request.substr(0, sp1);
        std::string path = request.substr(sp1 + 1, sp2 - sp1 - 1);
        Reply r{404, "<html><body>Not found</body></html>"};
        {
            std::lock_guard l(m_mutex);
            m_strLog += method + " " + path + "\n";
            auto it = m_routes.find(path);
            if (it != m_routes.end())
                r = it->second;
        }
        if (r.bHold && method == "GET") {
            std::unique_lock l(m_mutex);
            m_cv.wait(l, [this] { return m_bReleased; });
        }
        int status = method == "HEAD" && r.nHeadStatus ? r.nHeadStatus : r.nStatus;
        std::string head = "HTTP/1.0 " + std::to_string(status) + " X\r\n";
        if (r.nLength != -2)
            head += "Content-Length: " +
                    std::to_string(r.nLength == -1 ? static_cast<long long>(r.strBody.size())
                                                   : r.nLength) +
                    "\r\n";
        head += "\r\n";
        std::string out = head;
        if (method != "HEAD")
            out += r.nSendOnly < 0 ? r.strBody : r.strBody.substr(0, size_t(r.nSendOnly));
        size_t sent = 0;
        while (sent < out.size()) {
            ssize_t n = send(c, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += size_t(n);
        }
    }

    int m_fd = -1;
    int m_nPort = 0;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bReleased = false;
    std::map<std::string, Reply> m_routes;
    std::string m_strLog;
};

}  // namespace kvo::test
