// The theme's key configuration: the first "*.cfg" of the working folder, single-byte lines
// of key=value.
#pragma once
#include <map>
#include <string>
#include <string_view>

namespace kvo::dialer {

// One on-screen key: a text label in a font, or a bitmap ("bmp").
struct CKeyLook {
    bool m_bBitmap = false;
    std::string m_strLabel;  // text keys
    std::string m_strFont;
    int m_nHeight = 0;
    std::string m_strFile;  // bitmap keys, relative to the working folder
    bool operator==(const CKeyLook&) const = default;
};

struct CThemeConfig {
    std::string m_strBackground, m_strDefaultKey, m_strSelectedKey;
    std::string m_strDisplay, m_strDisplayFont;
    int m_nDisplayHeight = 0;
    std::map<std::string, CKeyLook> m_keys;  // "key0" ... "keyclear"
};

// The keys the window lays out, in drawing order.
const char* const* ThemeKeyNames();
bool IsThemeKeyName(std::string_view key);

// 0 when read, else the message number: 10 for a line without '=', 9 for a display or key
// value with too few parts.
int ParseThemeConfig(std::string_view text, CThemeConfig& out);

// Finds and reads the configuration of a working folder (a handheld path ending in '\'):
// 8 when there is none or it cannot be opened, 9 when it cannot be read whole, else as
// ParseThemeConfig.
int LoadThemeConfig(std::u16string_view folder, CThemeConfig& out);

}  // namespace kvo::dialer
