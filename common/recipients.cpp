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

}  // namespace kvo
