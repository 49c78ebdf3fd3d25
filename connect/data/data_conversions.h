// Number conversions of the data file's text fields.
#pragma once
#include <string_view>

#include "connect/data/isp_entry.h"

namespace kvo::connect {

// Leading blanks, an optional sign, digits up to the first non-digit; no digits gives 0.
// Values beyond the 32-bit range saturate.
int ParseDecimal(std::u16string_view text);

// "a.b.c.d": each of the four parts converted as above and truncated to 8 bits. Fewer than
// three dots or an empty part gives 0.0.0.0.
IpAddress ParseDottedQuad(std::u16string_view text);

}  // namespace kvo::connect
