// Message boxes of code without a window of its own (plug-ins, cores): they go to whatever
// the host program shows them with; without a host, to stderr.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/window.h"

namespace ce {

enum : uint32_t {
    MB_OK = 0x00000000,
    MB_ICONHAND = 0x00000010,
    MB_ICONERROR = MB_ICONHAND,
    MB_ICONEXCLAMATION = 0x00000030,
    MB_ICONWARNING = MB_ICONEXCLAMATION,
    MB_ICONINFORMATION = 0x00000040,
    MB_ICONMASK = 0x000000F0,
};
enum : int { IDOK = 1 };

using MessageBoxHandler =
    std::function<int(std::u16string_view text, std::u16string_view caption, uint32_t type)>;
// The previous handler comes back, so a test can restore it.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
int MessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, uint32_t type);

}  // namespace ce
