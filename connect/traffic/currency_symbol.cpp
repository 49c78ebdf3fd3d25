#include "connect/traffic/currency_symbol.h"

#include "platform/currency.h"
#include "platform/text.h"

namespace kvo::traffic {

std::string CurrencySymbol() {
    std::u16string formatted;
    if (ce::GetCurrencyFormatW(ce::LOCALE_SYSTEM_DEFAULT, 0, u"1234.56", formatted) == 0)
        return {};
    std::u16string symbol;
    for (char16_t c : formatted) {
        if ((c >= u'0' && c <= u'9') || c == u'.' || c == u',' || c == u' ' || c == 0)
            continue;
        symbol.push_back(c);
    }
    return ce::ToUtf8(symbol);
}

}  // namespace kvo::traffic
