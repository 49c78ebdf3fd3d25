// Where the display and the keys sit in the dialer's client area.
#pragma once
#include <string_view>

namespace kvo::dialer {

struct KeyRect {
    int x, y, w, h;
    bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

inline constexpr int kKeyWidth = 60, kKeyHeight = 30;
inline constexpr int kClientWidth = 240, kClientHeight = 252;
inline constexpr KeyRect kDisplayRect{20, 5, 200, 30};

// The rectangle of a key ("key5", "keycall"); false for names not on the keypad.
bool KeyRectOf(std::string_view key, KeyRect& out);
// The key under a point, or nullptr.
const char* KeyAt(int x, int y);

}  // namespace kvo::dialer
