// Key configurations: a result or a message number of the table, never anything else; a
// refused text leaves the configuration as it was.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dialer/theme_config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kvo::dialer::CThemeConfig cfg;
    cfg.m_strBackground = "sentinel";
    int rc = kvo::dialer::ParseThemeConfig(text, cfg);
    if (rc != 0 && rc != 9 && rc != 10)
        std::abort();
    if (rc != 0 && cfg.m_strBackground != "sentinel")
        std::abort();
    if (rc == 0)
        for (const auto& [key, look] : cfg.m_keys)
            if (!kvo::dialer::IsThemeKeyName(key) || (look.m_bBitmap && !look.m_strLabel.empty()))
                std::abort();
    return 0;
}
