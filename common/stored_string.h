// The suite's stored string: a 32-bit count of UTF-16 units, then count + 1 UTF-16LE units,
// the last being zero. Each file format gives its own limit on the count.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "common/binio.h"

namespace kvo {

enum class StoredStringError { ok, shortRead, tooLong, noTerminator };

// Rejects a count above `maxUnits` before reading or allocating anything.
StoredStringError ReadStoredString(BinReader& in, uint32_t maxUnits, std::u16string& out);
bool WriteStoredString(BinWriter& out, std::u16string_view text);
// Bytes a stored string takes on disk.
inline uint64_t StoredStringSize(std::u16string_view text) { return 4 + 2 * (text.size() + 1); }

}  // namespace kvo
