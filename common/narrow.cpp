#include "narrow.h"

namespace kvo {

std::string Narrow(std::u16string_view wide) {
    std::string out(wide.size(), '\0');
    for (size_t i = 0; i < wide.size(); ++i) out[i] = static_cast<char>(wide[i] & 0xFF);
    return out;
}

std::u16string Widen(std::string_view bytes) {
    std::u16string out(bytes.size(), u'\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
    return out;
}

}  // namespace kvo
