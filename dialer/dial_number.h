// The number on the dialer's display and the rule for what of it is dialled.
#pragma once
#include <string>
#include <string_view>

namespace kvo::dialer {

// Keeps digits, '#', '*' and a '+' that comes first; drops everything else.
std::u16string CleanDialNumber(std::u16string_view number);

// What the keys do to the number: a character key appends, "keydel" removes the last
// character, "keyclear" empties it. False for keys that do not edit the number.
bool ApplyKey(std::u16string& number, std::u16string_view key);

}  // namespace kvo::dialer
