#include "dialer/dial_number.h"

namespace kvo::dialer {

std::u16string CleanDialNumber(std::u16string_view number) {
    std::u16string out;
    for (size_t i = 0; i < number.size(); ++i) {
        char16_t c = number[i];
        if ((c >= u'0' && c <= u'9') || c == u'#' || c == u'*' || (c == u'+' && i == 0))
            out += c;
    }
    return out;
}

bool ApplyKey(std::u16string& number, std::u16string_view key) {
    if (key == u"keydel") {
        if (!number.empty())
            number.pop_back();
        return true;
    }
    if (key == u"keyclear") {
        number.clear();
        return true;
    }
    if (key.size() == 4 && key.substr(0, 3) == u"key") {
        char16_t c = key[3];
        if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'+') {
            number += c;
            return true;
        }
    }
    return false;
}

}  // namespace kvo::dialer
