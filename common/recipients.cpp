#include "recipients.h"

namespace kvo {

std::u16string CleanRecipients(std::u16string_view list) {
    std::u16string out;
    for (char16_t c : list)
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u';') out.push_back(c);
    return out;
}

std::vector<std::u16string> SplitRecipients(std::u16string_view cleaned) {
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start <= cleaned.size()) {
        size_t end = cleaned.find(u';', start);
        if (end == std::u16string_view::npos) end = cleaned.size();
        if (end > start) out.emplace_back(cleaned.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

RecipientCheck CheckRecipientList(std::u16string_view typed) {
    RecipientCheck check;
    size_t start = 0;
    while (start <= typed.size()) {
        size_t end = typed.find(u';', start);
        if (end == std::u16string_view::npos) end = typed.size();
        std::u16string_view entry = typed.substr(start, end - start);
        start = end + 1;
        std::u16string number = CleanRecipients(entry);
        if (number.empty() && entry.find_first_not_of(u" \t") == std::u16string_view::npos)
            continue;  // nothing between two ';'
        // "0171 111, 0172 222" would clean to one number that belongs to a stranger.
        if (entry.find_first_of(u",|\n") != std::u16string_view::npos) {
            check.problem = RecipientProblem::separator;
            check.bad = entry;
            return check;
        }
        size_t digits = number.size() - (!number.empty() && number[0] == u'+' ? 1 : 0);
        bool plausible = !number.empty() && number.find(u'+', 1) == std::u16string::npos &&
                         digits >= 1 && digits <= 20;
        if (!plausible) {
            check.problem = RecipientProblem::notANumber;
            check.bad = entry;
            return check;
        }
        check.numbers.push_back(std::move(number));
    }
    if (check.numbers.empty()) check.problem = RecipientProblem::empty;
    return check;
}

}  // namespace kvo
