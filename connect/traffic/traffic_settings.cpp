#include "connect/traffic/traffic_settings.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kvo::traffic {
namespace {

bool ParseAmount(std::string_view text, float& out) {
    if (text.empty() || text.size() > 20)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.'))
            return false;
    std::string s(text);
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v) || v < 0 || v > 1e9)
        return false;
    out = static_cast<float>(v);
    return true;
}

bool ParseInt(std::string_view text, int32_t& out) {
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && p == text.data() + text.size() && !text.empty();
}

bool InList(const std::vector<Choice>& list, int32_t v) {
    for (const Choice& c : list)
        if (c.nValue == v)
            return true;
    return false;
}

std::string ListText(const std::vector<Choice>& list) {
    std::string s;
    for (const Choice& c : list) s += (s.empty() ? "" : ", ") + std::to_string(c.nValue);
    return s;
}

std::string AmountText(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

}  // namespace

MonitorSettings PageDefaults() {
    MonitorSettings s;
    s.monthlyPayment = 10.0f;
    s.inclusiveMegabytes = 10.0f;
    s.additionalPrice = 10.0f;
    s.priceUnitKb = 1;
    s.blockSizeKb = 1;
    s.hourlyRounding = 0;
    s.monitorOn = 1;
    s.monthStartDay = 1;
    s.iconX = -1;
    s.firstRun = 1;
    return s;
}

MonitorSettings LoadPageSettings(const kvo::linkwatch::CMonitorFiles& files) {
    MonitorSettings s = PageDefaults();
    kvo::linkwatch::LoadMonitorSettings(files.SettingsPath(), s);
    return s;
}

const std::vector<Choice>& PriceUnitChoices() {
    static const std::vector<Choice> list = {{1, "1kB"},     {10, "10kB"}, {20, "20kB"},
                                             {30, "30kB"},   {50, "50kB"}, {100, "100kB"},
                                             {256, "256kB"}, {1024, "1MB"}};
    return list;
}

const std::vector<Choice>& BlockSizeChoices() {
    static const std::vector<Choice> list = {{0, "Don't round"}, {1, "1kB"},     {5, "5kB"},
                                             {10, "10kB"},       {20, "20kB"},   {25, "25kB"},
                                             {30, "30kB"},       {40, "40kB"},   {50, "50kB"},
                                             {75, "75kB"},       {100, "100kB"}, {256, "256kB"}};
    return list;
}

const std::vector<std::string>& SettingKeys() {
    static const std::vector<std::string> keys = {
        "monthly-payment", "inclusive-mb",    "additional-price", "price-unit-kb",
        "block-kb",        "hourly-rounding", "month-start-day",  "icon-x"};
    return keys;
}

bool ApplySetting(MonitorSettings& s, std::string_view key, std::string_view value,
                  std::string& error) {
    MonitorSettings t = s;
    int32_t n = 0;
    bool ok = true;
    if (key == "monthly-payment") {
        ok = ParseAmount(value, t.monthlyPayment);
        if (!ok)
            error = "monthly-payment must be an amount such as 10 or 9.95";
    } else if (key == "inclusive-mb") {
        ok = ParseAmount(value, t.inclusiveMegabytes);
        if (!ok)
            error = "inclusive-mb must be a number of megabytes such as 10 or 0.5 (0: none)";
    } else if (key == "additional-price") {
        ok = ParseAmount(value, t.additionalPrice);
        if (!ok)
            error = "additional-price must be an amount such as 0.09";
    } else if (key == "price-unit-kb") {
        ok = ParseInt(value, n) && InList(PriceUnitChoices(), n);
        if (ok)
            t.priceUnitKb = n;
        else
            error = "price-unit-kb must be one of " + ListText(PriceUnitChoices());
    } else if (key == "block-kb") {
        ok = ParseInt(value, n) && InList(BlockSizeChoices(), n);
        if (ok)
            t.blockSizeKb = n;
        else
            error = "block-kb must be one of " + ListText(BlockSizeChoices()) + " (0: no rounding)";
    } else if (key == "hourly-rounding") {
        ok = value == "0" || value == "1";
        if (ok)
            t.hourlyRounding = value == "1";
        else
            error = "hourly-rounding must be 0 or 1";
    } else if (key == "month-start-day") {
        ok = ParseInt(value, n) && n >= 1 && n <= 31;
        if (ok)
            t.monthStartDay = n;
        else
            error = "month-start-day must be a day from 1 to 31";
    } else if (key == "icon-x") {
        ok = ParseInt(value, n) && n >= 0 && n <= 219;
        if (ok)
            t.iconX = n;
        else
            error = "icon-x must be a position from 0 to 219";
    } else {
        error = "unknown setting \"" + std::string(key) +
                "\"; known: monthly-payment, "
                "inclusive-mb, additional-price, price-unit-kb, block-kb, hourly-rounding, "
                "month-start-day, icon-x";
        return false;
    }
    if (ok)
        s = t;
    return ok;
}

int IconSliderStart(const MonitorSettings& s) {
    return s.iconX >= 0 && s.iconX <= 239 ? s.iconX : 96;
}

std::string SettingText(const MonitorSettings& s, std::string_view key) {
    if (key == "monthly-payment")
        return AmountText(s.monthlyPayment);
    if (key == "inclusive-mb")
        return AmountText(s.inclusiveMegabytes);
    if (key == "additional-price")
        return AmountText(s.additionalPrice);
    if (key == "price-unit-kb")
        return std::to_string(s.priceUnitKb);
    if (key == "block-kb")
        return std::to_string(s.blockSizeKb);
    if (key == "hourly-rounding")
        return std::to_string(s.hourlyRounding);
    if (key == "month-start-day")
        return std::to_string(s.monthStartDay);
    if (key == "icon-x")
        return std::to_string(s.iconX);
    return {};
}

}  // namespace kvo::traffic
