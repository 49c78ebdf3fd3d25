// Shortcuts: what parses has a target without quotes or control characters, and the
// command written back from it parses to the same target and arguments.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/shell_shortcut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto s = ce::ParseShortcut(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!s)
        return 0;
    if (s->strTarget.empty() || s->strTarget.find(u'"') != std::u16string::npos)
        std::abort();
    for (char16_t c : s->strTarget + s->strArguments)
        if (c < 0x20 && c != u'\t')
            std::abort();
    std::u16string command = u"\"" + s->strTarget + u"\"";
    if (!s->strArguments.empty())
        command += u" " + s->strArguments;
    auto again = ce::ParseShortcut(ce::FormatShortcut(command));
    // A target of more than the longest command cannot be written back quoted.
    if (command.size() <= 260 &&
        (!again || again->strTarget != s->strTarget || again->strArguments != s->strArguments))
        std::abort();
    return 0;
}
