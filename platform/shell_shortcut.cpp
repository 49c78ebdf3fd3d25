#include "shell_shortcut.h"

#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"

namespace ce {
namespace {

// The longest command the shell writes.
constexpr size_t kMaxCommand = 260;

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool SHGetSpecialFolderPath(int csidl, std::u16string& path, bool create) {
    if (csidl != CSIDL_STARTUP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    path = u"\\Windows\\StartUp";
    if (create && !DirectoryExists(path) && !CreateDirectories(path))
        return false;
    return true;
}

std::string FormatShortcut(std::u16string_view command) {
    return std::to_string(command.size()) + "#" + ToUtf8(command) + "\r\n";
}

std::optional<Shortcut> ParseShortcut(std::string_view bytes) {
    size_t hash = bytes.find('#');
    if (hash == 0 || hash == std::string_view::npos || hash > 3)
        return std::nullopt;
    size_t count = 0;
    for (size_t i = 0; i < hash; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9')
            return std::nullopt;
        count = count * 10 + size_t(bytes[i] - '0');
    }
    std::string_view rest = bytes.substr(hash + 1);
    if (rest.ends_with("\r\n")) {
        rest.remove_suffix(2);
    } else if (rest.ends_with("\n")) {
        rest.remove_suffix(1);
    }
    std::optional<std::u16string> command = FromUtf8Strict(rest);
    if (!command || command->size() != count || count == 0 || count > kMaxCommand)
        return std::nullopt;
    for (char16_t c : *command)
        if (c < 0x20 && c != u'\t')
            return std::nullopt;
    std::u16string_view text = Trim(*command);
    Shortcut s;
    if (!text.empty() && text.front() == u'"') {
        size_t close = text.find(u'"', 1);
        if (close == std::u16string_view::npos)
            return std::nullopt;
        s.strTarget = text.substr(1, close - 1);
        std::u16string_view after = text.substr(close + 1);
        if (!after.empty() && !IsBlank(after.front()))
            return std::nullopt;
        s.strArguments = Trim(after);
    } else {
        size_t blank = 0;
        while (blank < text.size() && !IsBlank(text[blank])) ++blank;
        s.strTarget = text.substr(0, blank);
        s.strArguments = Trim(text.substr(blank));
    }
    if (s.strTarget.empty() || s.strTarget.find(u'"') != std::u16string::npos)
        return std::nullopt;
    return s;
}

bool SHCreateShortcut(std::u16string_view shortcut, std::u16string_view target) {
    std::string bytes = FormatShortcut(target);
    if (!ParseShortcut(bytes)) {  // what we write must read back
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return WriteFileAtomic(shortcut, bytes);
}

std::optional<Shortcut> ReadShortcut(std::u16string_view path) {
    std::string bytes;
    File f = File::OpenRead(path);
    if (!f)
        return std::nullopt;
    // A shortcut is one short line; more is not a shortcut.
    char buf[1024];
    size_t got = 0;
    if (!f.Read(buf, sizeof buf, &got))
        return std::nullopt;
    std::optional<Shortcut> s = ParseShortcut(std::string_view(buf, got));
    if (!s)
        SetLastErrorWith(ERROR_BAD_FORMAT, ToUtf8(path) + " is not a shortcut");
    return s;
}

}  // namespace ce
