#include "stored_string.h"

#include <vector>

namespace kvo {

StoredStringError ReadStoredString(BinReader& in, uint32_t maxUnits, std::u16string& out) {
    out.clear();
    uint32_t count;
    if (!in.ReadU32(count)) return StoredStringError::shortRead;
    if (count > maxUnits) return StoredStringError::tooLong;
    uint64_t bytes = 2 * (static_cast<uint64_t>(count) + 1);
    if (bytes > in.Remaining()) return StoredStringError::shortRead;
    std::vector<uint8_t> raw(bytes);
    if (!in.Read(raw.data(), raw.size())) return StoredStringError::shortRead;
    if (raw[bytes - 2] != 0 || raw[bytes - 1] != 0) return StoredStringError::noTerminator;
    out.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = static_cast<char16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
    return StoredStringError::ok;
}

bool WriteStoredString(BinWriter& out, std::u16string_view text) {
    std::vector<uint8_t> raw;
    raw.reserve(4 + 2 * (text.size() + 1));
    uint32_t count = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) raw.push_back(static_cast<uint8_t>(count >> (8 * i)));
    for (char16_t c : text) {
        raw.push_back(static_cast<uint8_t>(c));
        raw.push_back(static_cast<uint8_t>(c >> 8));
    }
    raw.push_back(0);
    raw.push_back(0);
    return out.Write(raw.data(), raw.size());
}

}  // namespace kvo
