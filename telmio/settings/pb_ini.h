// "pb.ini": which phonebooks are synchronised and the base name of the phonebook file.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kvo {

inline constexpr uint32_t kPbStorageSim = 0x10000000;
inline constexpr uint32_t kPbStoragePhone = 0x20000000;

struct CPbIni {
    uint32_t m_nStorages = kPbStorageSim | kPbStoragePhone;
    std::u16string m_strName = u"0";  // serial number of the phone, "0" before any
    bool operator==(const CPbIni&) const = default;
};

// False for an unreadable file; `ini` then keeps the defaults.
bool ParsePbIni(std::string_view bytes, CPbIni& ini);
std::string FormatPbIni(const CPbIni& ini);

}  // namespace kvo
