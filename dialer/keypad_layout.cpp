#include "dialer/keypad_layout.h"

namespace kvo::dialer {
namespace {

struct Placed {
    const char* key;
    int x, y;
};

constexpr Placed kKeys[] = {
    {"keydel", 20, 40},       {"key+", 90, 40},  {"keycall", 160, 40}, {"key1", 20, 75},
    {"key2", 90, 75},         {"key3", 160, 75}, {"key4", 20, 110},    {"key5", 90, 110},
    {"key6", 160, 110},       {"key7", 20, 145}, {"key8", 90, 145},    {"key9", 160, 145},
    {"key*", 20, 180},        {"key0", 90, 180}, {"key#", 160, 180},   {"keyclear", 20, 215},
    {"keycontact", 160, 215},
};

}  // namespace

bool KeyRectOf(std::string_view key, KeyRect& out) {
    for (const auto& k : kKeys) {
        if (key == k.key) {
            out = {k.x, k.y, kKeyWidth, kKeyHeight};
            return true;
        }
    }
    return false;
}

const char* KeyAt(int x, int y) {
    for (const auto& k : kKeys)
        if (KeyRect{k.x, k.y, kKeyWidth, kKeyHeight}.Contains(x, y))
            return k.key;
    return nullptr;
}

}  // namespace kvo::dialer
