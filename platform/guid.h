// GUIDs in their registry text form "{436EF144-B4FB-4863-A041-8F905A62C572}".
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ce {

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};
    bool operator==(const GUID&) const = default;
};

// Upper-case hexadecimal with braces, as the registry stores them.
std::u16string GuidToString(const GUID& guid);
// Exactly the braced form (either case); nullopt for anything else.
std::optional<GUID> GuidFromString(std::u16string_view text);

}  // namespace ce
