#include "desktop_notification.h"

#include <libnotify/notify.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace ce {
namespace {

struct Op {
    bool bShow = true;
    std::string key, title, body;
    int timeoutMs = 0;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Op> ops;
    bool bStop = false;
    bool bFinished = false;
};

std::string MarkupEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

// Owns every libnotify object; runs until asked to stop and the queue is empty.
void Work(std::shared_ptr<Queue> q) {
    std::map<std::string, NotifyNotification*> shown;
    bool initialised = notify_init("kvonet pro");
    for (;;) {
        Op op;
        {
            std::unique_lock lock(q->mutex);
            q->cv.wait(lock, [&] { return q->bStop || !q->ops.empty(); });
            if (q->ops.empty())
                break;
            op = std::move(q->ops.front());
            q->ops.pop_front();
        }
        if (!initialised)
            continue;
        GError* error = nullptr;
        auto it = shown.find(op.key);
        if (op.bShow) {
            std::string body = MarkupEscape(HtmlToText(op.body));
            NotifyNotification* n = it != shown.end() ? it->second : nullptr;
            if (n) {
                notify_notification_update(n, op.title.c_str(), body.c_str(), nullptr);
            } else {
                n = notify_notification_new(op.title.c_str(), body.c_str(), nullptr);
                shown[op.key] = n;
            }
            notify_notification_set_timeout(n,
                                            op.timeoutMs > 0 ? op.timeoutMs : NOTIFY_EXPIRES_NEVER);
            notify_notification_show(n, &error);
        } else if (it != shown.end()) {
            notify_notification_close(it->second, &error);
            g_object_unref(it->second);
            shown.erase(it);
        }
        // A desktop that cannot show it changes nothing for the program.
        if (error)
            g_error_free(error);
    }
    for (auto& [key, n] : shown) g_object_unref(n);
    if (initialised)
        notify_uninit();
    std::lock_guard lock(q->mutex);
    q->bFinished = true;
    q->cv.notify_all();
}

class CWorker {
public:
    void Post(Op op) {
        std::lock_guard lock(m_queue->mutex);
        if (!m_thread.joinable())
            m_thread = std::thread(Work, m_queue);
        m_queue->ops.push_back(std::move(op));
        m_queue->cv.notify_all();
    }
    ~CWorker() {
        if (!m_thread.joinable())
            return;
        std::unique_lock lock(m_queue->mutex);
        m_queue->bStop = true;
        m_queue->cv.notify_all();
        // A stuck bus must not keep the program from ending; the queue outlives us.
        bool done =
            m_queue->cv.wait_for(lock, std::chrono::seconds(2), [&] { return m_queue->bFinished; });
        lock.unlock();
        if (done) {
            m_thread.join();
        } else {
            m_thread.detach();
        }
    }

private:
    std::shared_ptr<Queue> m_queue = std::make_shared<Queue>();
    std::thread m_thread;
};

CWorker& Worker() {
    static CWorker worker;
    return worker;
}

}  // namespace

bool DesktopNotificationsAvailable() {
    const char* off = std::getenv("KVO_DESKTOP_NOTIFICATIONS");
    if (off && std::string(off) == "0")
        return false;
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return true;
    // Without an address the bus library would try to launch a bus; only a running one counts.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    return runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &st) == 0 &&
           S_ISSOCK(st.st_mode);
}

void DesktopNotificationShow(const std::string& key, const std::string& title,
                             const std::string& html, int timeoutMs) {
    if (!DesktopNotificationsAvailable())
        return;
    Worker().Post({true, key, title, html, timeoutMs});
}

void DesktopNotificationClose(const std::string& key) {
    if (!DesktopNotificationsAvailable())
        return;
    Worker().Post({false, key, {}, {}, 0});
}

std::string HtmlToText(const std::string& html) {
    static const std::pair<const char*, const char*> refs[] = {
        {"&amp;", "&"},  {"&lt;", "<"},  {"&gt;", ">"},  {"&quot;", "\""},
        {"&nbsp;", " "}, {"&#39;", "'"}, {"&apos;", "'"}};
    std::string out;
    for (size_t i = 0; i < html.size();) {
        char c = html[i];
        if (c == '<') {
            size_t end = html.find('>', i);
            if (end == std::string::npos)
                break;  // an unfinished tag shows nothing
            std::string tag;
            for (size_t k = i + 1; k < end && tag.size() < 8; ++k) {
                char t = html[k];
                if (t == ' ' || (t == '/' && !tag.empty()))
                    break;
                if (t != '/')
                    tag += static_cast<char>(t >= 'A' && t <= 'Z' ? t + 32 : t);
            }
            if ((tag == "br" || tag == "p" || tag == "tr" || tag == "div") && !out.empty() &&
                out.back() != '\n')
                out += '\n';
            i = end + 1;
            continue;
        }
        if (c == '&') {
            bool matched = false;
            for (const auto& [from, to] : refs) {
                if (html.compare(i, std::char_traits<char>::length(from), from) == 0) {
                    out += to;
                    i += std::char_traits<char>::length(from);
                    matched = true;
                    break;
                }
            }
            if (matched)
                continue;
        }
        out += c;
        ++i;
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace ce
