// 8-bit text on the AT line and in 8-bit files: narrowing keeps the low byte of each wide
// character, widening makes one character of each byte.
#pragma once
#include <string>
#include <string_view>

namespace kvo {

std::string Narrow(std::u16string_view wide);
std::u16string Widen(std::string_view bytes);

}  // namespace kvo
