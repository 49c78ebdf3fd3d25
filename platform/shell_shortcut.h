// Special folders and shortcuts. A shortcut is the handheld's text form: the number of
// characters of the command, "#", the command (a target, quoted when it holds blanks, and
// its arguments), as in 28#"\Windows\linkwatch.exe" -q
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ce {

enum : int { CSIDL_STARTUP = 7 };

// The handheld path of a special folder ("\Windows\StartUp" for CSIDL_STARTUP); with
// `create`, the folder is made when missing. False for folders the device does not have.
bool SHGetSpecialFolderPath(int csidl, std::u16string& path, bool create = false);

// Writes the shortcut file `shortcut` whose command is `target` as given (quote a target
// path holding blanks). False with GetLastError set.
bool SHCreateShortcut(std::u16string_view shortcut, std::u16string_view target);

struct Shortcut {
    std::u16string strTarget;     // the program's handheld path, without quotes
    std::u16string strArguments;  // what follows it, blanks around it removed
};
// Pure reader (fuzzed): nullopt for anything but a well-formed shortcut whose count matches.
std::optional<Shortcut> ParseShortcut(std::string_view bytes);
std::string FormatShortcut(std::u16string_view command);
// Reads a shortcut file; nullopt (GetLastError set) when missing or malformed.
std::optional<Shortcut> ReadShortcut(std::u16string_view path);

}  // namespace ce
