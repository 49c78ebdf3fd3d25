#include "guid.h"

#include <cstdio>

namespace ce {

std::u16string GuidToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return std::u16string(buf, buf + 38);
}

std::optional<GUID> GuidFromString(std::u16string_view t) {
    // {8-4-4-4-12}
    if (t.size() != 38 || t.front() != u'{' || t.back() != u'}')
        return std::nullopt;
    uint8_t bytes[16];
    size_t n = 0;
    for (size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (t[i] != u'-')
                return std::nullopt;
            ++i;
            continue;
        }
        int v = 0;
        for (int k = 0; k < 2; ++k, ++i) {
            char16_t c = t[i];
            int d = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
        }
        bytes[n++] = static_cast<uint8_t>(v);
    }
    GUID g;
    g.Data1 = static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
    g.Data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
    g.Data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = bytes[8 + i];
    return g;
}

}  // namespace ce
