// Theme packages (".thm"): entries to the end of the file, each a single-byte file name ended
// by '?', a 32-bit little-endian length and that many bytes (none when the length is 0 or has
// its top bit set).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::dialer {

struct ThemeEntry {
    std::string strName;
    std::string content;
};

inline constexpr size_t kMaxThemeNameBytes = 255;

// A name that stays inside the folder it is unpacked into: no path separators, drive colons,
// "." or "..", control characters or '?', at most kMaxThemeNameBytes.
bool IsSafeThemeEntryName(std::string_view name);

// Every entry, or false with the reason and `entries` untouched: a name without its '?', a
// length beyond the end of the file, or an unsafe name refuses the whole package.
bool ParseThemePackage(std::string_view bytes, std::vector<ThemeEntry>& entries,
                       std::string& error);
std::string FormatThemePackage(const std::vector<ThemeEntry>& entries);

// Reads a package from a handheld path and writes its entries as new files into a handheld
// folder. Nothing is written when the package is refused.
bool UnpackThemePackage(std::u16string_view package, std::u16string_view folder,
                        std::string& error);

}  // namespace kvo::dialer
