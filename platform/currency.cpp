#include "currency.h"

#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"

namespace ce {
namespace {

struct Monetary {
    std::string symbol = "\xC2\xA4";  // ¤
    std::string decimal = ".";
    std::string thousands;
    std::string grouping;
    std::string negative = "-";
    int digits = 2;
    int posPrecedes = 1, posSpace = 0;
    int negPrecedes = 1, negSpace = 0, negPosition = 1;
};

int Field(char v, int def) {
    return v == CHAR_MAX ? def : v;
}

// The environment's monetary conventions; the invariant ones for LOCALE_INVARIANT.
bool Conventions(uint32_t locale, Monetary& m) {
    if (locale == LOCALE_INVARIANT)
        return true;
    if (locale != LOCALE_USER_DEFAULT && locale != LOCALE_SYSTEM_DEFAULT)
        return false;
    locale_t loc = newlocale(LC_MONETARY_MASK | LC_CTYPE_MASK, "", nullptr);
    if (!loc)
        loc = newlocale(LC_MONETARY_MASK, "C", nullptr);
    if (!loc)
        return false;
    locale_t old = uselocale(loc);
    const lconv* lc = localeconv();  // per thread with uselocale
    if (*lc->currency_symbol)
        m.symbol = lc->currency_symbol;
    if (*lc->mon_decimal_point)
        m.decimal = lc->mon_decimal_point;
    m.thousands = lc->mon_thousands_sep;
    m.grouping = lc->mon_grouping;
    if (*lc->negative_sign)
        m.negative = lc->negative_sign;
    m.digits = Field(lc->frac_digits, 2);
    m.posPrecedes = Field(lc->p_cs_precedes, 1);
    m.posSpace = Field(lc->p_sep_by_space, 0);
    m.negPrecedes = Field(lc->n_cs_precedes, m.posPrecedes);
    m.negSpace = Field(lc->n_sep_by_space, m.posSpace);
    m.negPosition = Field(lc->n_sign_posn, 1);
    uselocale(old);
    freelocale(loc);
    return true;
}

// The integer part with its thousands separators, as the grouping string says.
std::string Group(const std::string& digits, const Monetary& m) {
    if (m.thousands.empty() || m.grouping.empty())
        return digits;
    std::string out;
    size_t left = digits.size(), gi = 0;
    int size = m.grouping[0];
    std::vector<std::string> groups;
    while (left > 0) {
        if (size <= 0 || size == CHAR_MAX || size_t(size) >= left) {
            groups.push_back(digits.substr(0, left));
            break;
        }
        groups.push_back(digits.substr(left - size_t(size), size_t(size)));
        left -= size_t(size);
        if (gi + 1 < m.grouping.size())
            size = m.grouping[++gi];
    }
    for (size_t i = groups.size(); i-- > 0;) {
        out += groups[i];
        if (i)
            out += m.thousands;
    }
    return out;
}

}  // namespace

int GetCurrencyFormatW(uint32_t locale, uint32_t flags, std::u16string_view value,
                       std::u16string& out) {
    Monetary m;
    std::string v = ToUtf8(value);
    bool negative = !v.empty() && v[0] == '-';
    if (negative)
        v.erase(0, 1);
    size_t dot = v.find('.');
    std::string whole = v.substr(0, dot), frac = dot == std::string::npos ? "" : v.substr(dot + 1);
    bool ok = flags == 0 && !whole.empty() && Conventions(locale, m) &&
              whole.find_first_not_of("0123456789") == std::string::npos &&
              frac.find_first_not_of("0123456789") == std::string::npos &&
              (dot == std::string::npos || !frac.empty());
    if (!ok) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Round half away from zero on the digits themselves: no binary fraction in between.
    size_t keep = size_t(m.digits);
    bool up = frac.size() > keep && frac[keep] >= '5';
    frac.resize(keep, '0');
    std::string all = whole + frac;
    for (size_t i = all.size(); up && i-- > 0;) {
        if (all[i] == '9') {
            all[i] = '0';
        } else {
            ++all[i];
            up = false;
        }
    }
    if (up)
        all.insert(0, "1");
    whole = all.substr(0, all.size() - keep);
    frac = all.substr(all.size() - keep);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    if (all.find_first_not_of('0') == std::string::npos)
        negative = false;  // no "-0.00"

    std::string number = Group(whole, m) + (keep ? m.decimal + frac : "");
    int precedes = negative ? m.negPrecedes : m.posPrecedes;
    int space = negative ? m.negSpace : m.posSpace;
    int position = negative ? m.negPosition : -1;
    std::string sign = negative ? m.negative : "";
    std::string symbol = m.symbol;
    // Sign next to the symbol (positions 3 and 4) is part of the symbol's side.
    if (position == 3)
        symbol = sign + symbol;
    if (position == 4)
        symbol = symbol + sign;
    std::string body = precedes ? symbol + (space == 1 ? " " : "") + number
                                : number + (space == 1 ? " " : "") + symbol;
    std::string text;
    if (position == 0) {
        text = "(" + body + ")";
    } else if (position == 2) {
        text = body + sign;
    } else if (position == 1) {
        text = sign + body;
    } else {
        text = body;
    }
    out = FromUtf8(text);
    return static_cast<int>(out.size() + 1);
}

}  // namespace ce
