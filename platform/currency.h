// GetCurrencyFormatW from the Linux locale. The system and user default locales are the
// environment's (LC_ALL, LC_MONETARY, LANG). Honoured from LC_MONETARY: the currency symbol,
// the monetary decimal point, thousands separator and grouping, the number of fraction
// digits, the symbol's place and blank for positive and negative amounts, the negative sign
// and its position. Where the locale leaves a field unset (the C locale), the platform's
// invariant locale fills it: symbol "¤", two digits, "." and no grouping.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace ce {

enum : uint32_t {
    LOCALE_USER_DEFAULT = 0x0400,
    LOCALE_SYSTEM_DEFAULT = 0x0800,
    LOCALE_INVARIANT = 0x007F,
};

// Formats `value` ("-1234.5": an optional minus, digits, an optional "." and digits) as an
// amount of money. Returns the characters written including the terminating zero as the
// platform counts them, or 0 with ERROR_INVALID_PARAMETER for a value of another form, an
// unknown locale or flags other than 0.
int GetCurrencyFormatW(uint32_t locale, uint32_t flags, std::u16string_view value,
                       std::u16string& out);

}  // namespace ce
