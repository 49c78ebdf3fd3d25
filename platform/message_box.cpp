#include "message_box.h"

#include <cstdio>
#include <mutex>

#include "text.h"

namespace ce {
namespace {

std::mutex g_mutex;
MessageBoxHandler g_handler;  // guarded by g_mutex

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(g_mutex);
    std::swap(g_handler, handler);
    return handler;
}

int MessageBox(HWND, std::u16string_view text, std::u16string_view caption, uint32_t type) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_mutex);
        handler = g_handler;
    }
    if (handler)
        return handler(text, caption, type);
    std::string line = caption.empty() ? ToUtf8(text) : ToUtf8(caption) + ": " + ToUtf8(text);
    std::fprintf(stderr, "%s\n", line.c_str());
    return IDOK;
}

}  // namespace ce
