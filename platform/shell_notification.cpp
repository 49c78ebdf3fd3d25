#include "shell_notification.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/desktop_notification.h"
#include "platform/device.h"
#include "platform/error.h"
#include "platform/sys.h"
#include "platform/text.h"

namespace ce {
namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// One special character: control characters and the backslash.
void Escape(char16_t c, std::string& out) {
    switch (c) {
        case u'\n':
            out += "\\n";
            break;
        case u'\r':
            out += "\\r";
            break;
        case u'\t':
            out += "\\t";
            break;
        case u'\\':
            out += "\\\\";
            break;
        default: {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
            out += buf;
        }
    }
}

// Escaping one unit at a time would break surrogate pairs; escape the runs between.
std::string EscapeText(std::u16string_view text) {
    std::string out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        bool special = i < text.size() && (text[i] < 0x20 || text[i] == 0x7F || text[i] == u'\\');
        if (i == text.size() || special) {
            out += ToUtf8(text.substr(start, i - start));
            if (special)
                Escape(text[i], out);
            start = i + 1;
        }
    }
    return out;
}

std::string Key(const GUID& clsid, uint32_t id) {
    return ToUtf8(GuidToString(clsid)) + "/" + std::to_string(id);
}

struct Active {
    GUID clsid;
    uint32_t id = 0;
    int64_t deadlineMs = 0;  // 0: no end
};

// The device's list of shown notifications, locked for one change.
class CActiveList {
public:
    ~CActiveList() {
        if (m_fd >= 0)
            SysClose(m_fd);  // also drops the lock
    }
    bool Open() {
        std::filesystem::path root = DeviceRoot();
        if (root.empty()) {
            SetLastErrorWith(ERROR_PATH_NOT_FOUND, NoDeviceRootReason());
            return false;
        }
        std::string path = (root / "notifications.active").string();
        m_fd = SysOpen(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0 || SysFlock(m_fd, LOCK_EX) != 0) {
            SetLastErrorFromErrno(errno, "cannot open " + path);
            return false;
        }
        std::string text;
        char buf[4096];
        ssize_t n;
        while ((n = Sys().read(m_fd, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos)
                break;  // a torn last line is dropped
            Parse(text.substr(pos, end - pos));
            pos = end + 1;
        }
        return true;
    }
    bool Save() {
        std::string text;
        for (const Active& a : m_list)
            text += ToUtf8(GuidToString(a.clsid)) + "\t" + std::to_string(a.id) + "\t" +
                    std::to_string(a.deadlineMs) + "\n";
        if (Sys().lseek(m_fd, 0, SEEK_SET) < 0 || Sys().ftruncate(m_fd, 0) != 0 ||
            !SysWriteAll(m_fd, text.data(), text.size())) {
            SetLastErrorFromErrno(errno, "cannot write the list of notifications");
            return false;
        }
        return true;
    }
    std::vector<Active> m_list;

private:
    void Parse(const std::string& line) {
        size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
        if (t1 == std::string::npos || t2 == std::string::npos)
            return;
        auto guid = GuidFromString(FromUtf8(line.substr(0, t1)));
        char* end = nullptr;
        std::string id = line.substr(t1 + 1, t2 - t1 - 1), dl = line.substr(t2 + 1);
        unsigned long long v = std::strtoull(id.c_str(), &end, 10);
        if (!guid || id.empty() || *end || v > UINT32_MAX)
            return;
        long long d = std::strtoll(dl.c_str(), &end, 10);
        if (dl.empty() || *end || d < 0)
            return;
        m_list.push_back({*guid, static_cast<uint32_t>(v), d});
    }
    int m_fd = -1;
};

bool AppendLog(const std::string& line) {
    std::filesystem::path root = DeviceRoot();
    std::string path = (root / "notifications.log").string();
    int fd = SysOpen(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        SetLastErrorFromErrno(errno, "cannot open " + path);
        return false;
    }
    // One write per line: with O_APPEND, lines of several programs never interleave.
    bool ok = SysWriteAll(fd, line.data(), line.size());
    int err = errno;
    SysClose(fd);
    if (!ok)
        SetLastErrorFromErrno(err, "cannot write " + path);
    return ok;
}

bool LogEvent(bool add, uint32_t id, std::u16string_view title, std::u16string_view body) {
    return AppendLog(FormatNotificationLine(GetLocalTime(), add, id, title, body));
}

// Removes and logs the notifications whose time is up.
bool ExpireDue(CActiveList& list) {
    int64_t now = NowMs();
    bool changed = false;
    for (auto it = list.m_list.begin(); it != list.m_list.end();) {
        if (it->deadlineMs == 0 || it->deadlineMs > now) {
            ++it;
            continue;
        }
        LogEvent(false, it->id, {}, {});
        DesktopNotificationClose(Key(it->clsid, it->id));
        it = list.m_list.erase(it);
        changed = true;
    }
    return !changed || list.Save();
}

// Wakes this program when a notification it added is due, so its removal is logged on time.
class CExpiryTimer {
public:
    void Schedule(int64_t deadlineMs) {
        std::lock_guard lock(m_mutex);
        m_deadlines.insert(deadlineMs);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Run(); });
        m_cv.notify_all();
    }
    ~CExpiryTimer() {
        {
            std::lock_guard lock(m_mutex);
            m_bStop = true;
            m_cv.notify_all();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void Run() {
        std::unique_lock lock(m_mutex);
        while (!m_bStop) {
            if (m_deadlines.empty()) {
                m_cv.wait(lock);
                continue;
            }
            int64_t next = *m_deadlines.begin();
            if (NowMs() < next) {
                m_cv.wait_until(
                    lock, std::chrono::system_clock::time_point(std::chrono::milliseconds(next)));
                continue;
            }
            m_deadlines.erase(m_deadlines.begin());
            lock.unlock();
            CActiveList list;
            if (list.Open())
                ExpireDue(list);
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::multiset<int64_t> m_deadlines;
    bool m_bStop = false;
    std::thread m_thread;
};

CExpiryTimer& Timer() {
    static CExpiryTimer timer;
    return timer;
}

}  // namespace

std::string FormatNotificationLine(const SYSTEMTIME& t, bool add, uint32_t id,
                                   std::u16string_view title, std::u16string_view body) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return std::string(stamp) + (add ? "\tADD\t" : "\tREMOVE\t") + std::to_string(id) + "\t" +
           EscapeText(title) + "\t" + EscapeText(body) + "\n";
}

uint32_t SHNotificationAdd(const SHNOTIFICATIONDATA& data) {
    CActiveList list;
    if (!list.Open() || !ExpireDue(list))
        return GetLastError();
    int64_t deadline = data.csDuration ? NowMs() + int64_t(data.csDuration) * 1000 : 0;
    bool replaced = false;
    for (Active& a : list.m_list) {
        if (a.clsid == data.clsid && a.id == data.dwID) {
            a.deadlineMs = deadline;
            replaced = true;
        }
    }
    if (!replaced)
        list.m_list.push_back({data.clsid, data.dwID, deadline});
    if (!LogEvent(true, data.dwID, data.strTitle, data.strHTML) || !list.Save())
        return GetLastError();
    DesktopNotificationShow(Key(data.clsid, data.dwID), ToUtf8(data.strTitle), ToUtf8(data.strHTML),
                            // A day is as long as any desktop keeps one up.
                            static_cast<int>(std::min<uint32_t>(data.csDuration, 86400) * 1000));
    if (deadline)
        Timer().Schedule(deadline);
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}

uint32_t SHNotificationRemove(const GUID* clsid, uint32_t dwID) {
    CActiveList list;
    if (!list.Open() || !ExpireDue(list))
        return GetLastError();
    bool found = false;
    for (auto it = list.m_list.begin(); it != list.m_list.end();) {
        if (it->id == dwID && (!clsid || it->clsid == *clsid)) {
            DesktopNotificationClose(Key(it->clsid, it->id));
            it = list.m_list.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    if (!found) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return ERROR_FILE_NOT_FOUND;
    }
    if (!LogEvent(false, dwID, {}, {}) || !list.Save())
        return GetLastError();
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}

}  // namespace ce
