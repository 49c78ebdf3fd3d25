// Recipient lists: numbers separated by ';'.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

// Keeps the digits, '+' and ';', in order.
std::u16string CleanRecipients(std::u16string_view list);
// The non-empty numbers of a cleaned list.
std::vector<std::u16string> SplitRecipients(std::u16string_view cleaned);

}  // namespace kvo
