#include "trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include "sys.h"
#include "text.h"

namespace ce {
namespace {

std::mutex g_mutex;
bool g_chosen = false;
std::string g_path;
std::atomic<bool> g_enabled{false};

void ChooseLocked() {
    if (g_chosen) return;
    const char* env = std::getenv("KVO_TRACE");
    g_path = env ? env : "";
    g_enabled = !g_path.empty();
    g_chosen = true;
}

}  // namespace

bool TraceEnabled() {
    std::lock_guard lock(g_mutex);
    ChooseLocked();
    return g_enabled;
}

void SetTraceFile(std::string_view path) {
    std::lock_guard lock(g_mutex);
    g_chosen = !path.empty();
    g_path = path;
    g_enabled = !g_path.empty();
    if (!g_chosen) ChooseLocked();
}

void Trace(std::string_view line) {
    std::lock_guard lock(g_mutex);
    ChooseLocked();
    if (!g_enabled) return;
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t;
    localtime_r(&ts.tv_sec, &t);
    char head[64];
    snprintf(head, sizeof head, "%02d:%02d:%02d.%03ld [%d] ", t.tm_hour, t.tm_min, t.tm_sec,
             ts.tv_nsec / 1000000, static_cast<int>(gettid()));
    std::string out = head;
    // Control bytes of phone replies become visible escapes, one trace line per call.
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('\n');
    int fd = SysOpen(g_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0) return;
    SysWriteAll(fd, out.data(), out.size());
    SysClose(fd);
}

void Trace(std::u16string_view line) {
    if (!TraceEnabled()) return;
    Trace(std::string_view(ToUtf8(line)));
}

}  // namespace ce
