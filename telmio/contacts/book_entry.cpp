#include "telmio/contacts/book_entry.h"

#include "platform/text.h"

namespace kvo {
namespace {

bool IsWhite(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0x0B || c == 0x0C;
}

int CompareNoCase(const std::u16string& a, const std::u16string& b) {
    std::u16string fa = ce::FoldCase(a), fb = ce::FoldCase(b);
    return fa < fb ? -1 : (fb < fa ? 1 : 0);
}

}  // namespace

std::u16string TrimWhite(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsWhite(text[b])) ++b;
    while (e > b && IsWhite(text[e - 1])) --e;
    return std::u16string(text.substr(b, e - b));
}

void CBookEntry::TrimAll() {
    for (std::u16string* s : {&m_strName, &m_strNumber, &m_strBusiness, &m_strHome, &m_strCar})
        *s = TrimWhite(*s);
}

bool CleanNumber(std::u16string& number) {
    std::u16string out;
    for (char16_t c : number)
        if ((c >= u'0' && c <= u'9') || c == u'+' || c == u';')
            out.push_back(c);
    number.swap(out);
    return !number.empty();
}

int CompareByName(const CBookEntry& a, const CBookEntry& b, int direction) {
    return CompareNoCase(a.m_strName, b.m_strName) * direction;
}
int CompareByNumber(const CBookEntry& a, const CBookEntry& b, int direction) {
    return CompareNoCase(a.m_strNumber, b.m_strNumber) * direction;
}
int CompareByBusiness(const CBookEntry& a, const CBookEntry& b, int direction) {
    return CompareNoCase(a.m_strBusiness, b.m_strBusiness) * direction;
}
int CompareByHome(const CBookEntry& a, const CBookEntry& b, int direction) {
    return CompareNoCase(a.m_strHome, b.m_strHome) * direction;
}
int CompareByCar(const CBookEntry& a, const CBookEntry& b, int direction) {
    return CompareNoCase(a.m_strCar, b.m_strCar) * direction;
}
int CompareByIndex(const CBookEntry& a, const CBookEntry& b, int direction) {
    int64_t d =
        static_cast<int64_t>(a.m_nId & kIndexMask) - static_cast<int64_t>(b.m_nId & kIndexMask);
    return (d < 0 ? -1 : (d > 0 ? 1 : 0)) * direction;
}

std::u16string NumberKinds(const CBookEntry& entry) {
    std::u16string kinds;
    const std::pair<const std::u16string*, const char16_t*> all[] = {
        {&entry.m_strNumber, kKindMobile},
        {&entry.m_strBusiness, kKindBusiness},
        {&entry.m_strHome, kKindHome},
        {&entry.m_strCar, kKindCar}};
    for (const auto& [number, letter] : all)
        if (!number->empty())
            kinds += std::u16string(u" ") + letter;
    size_t b = kinds.find_first_not_of(u' ');
    return b == std::u16string::npos ? std::u16string() : kinds.substr(b);
}

}  // namespace kvo
