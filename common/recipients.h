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

// A list as a person types it, stricter than the window's cleaning: entries are separated
// by ';' only, and each must clean (CleanRecipients) to a plausible number, 1 to 20 digits
// with at most one '+', in front. On failure `bad` is the entry as typed.
enum class RecipientProblem { none, empty, separator, notANumber };
struct RecipientCheck {
    RecipientProblem problem = RecipientProblem::none;
    std::u16string bad;
    std::vector<std::u16string> numbers;
};
RecipientCheck CheckRecipientList(std::u16string_view typed);

}  // namespace kvo
