#include "connect/data/data_conversions.h"

#include <cstdint>
#include <limits>

namespace kvo::connect {

int ParseDecimal(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    // Accumulate the magnitude with a cap, so a long digit run cannot overflow.
    constexpr int64_t kCap = int64_t{std::numeric_limits<int>::max()} + 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > kCap) value = kCap;
    }
    if (negative) return static_cast<int>(-value);
    constexpr int64_t kMax = std::numeric_limits<int>::max();
    return static_cast<int>(value > kMax ? kMax : value);
}

IpAddress ParseDottedQuad(std::u16string_view text) {
    size_t dots[3];
    size_t from = 0;
    for (size_t& d : dots) {
        d = text.find(u'.', from);
        if (d == std::u16string_view::npos) return {};
        from = d + 1;
    }
    std::u16string_view parts[4] = {
        text.substr(0, dots[0]),
        text.substr(dots[0] + 1, dots[1] - dots[0] - 1),
        text.substr(dots[1] + 1, dots[2] - dots[1] - 1),
        text.substr(dots[2] + 1),
    };
    IpAddress out{};
    for (int k = 0; k < 4; ++k) {
        if (parts[k].empty()) return {};
        out[k] = static_cast<uint8_t>(static_cast<unsigned>(ParseDecimal(parts[k])) & 0xFF);
    }
    return out;
}

}  // namespace kvo::connect
