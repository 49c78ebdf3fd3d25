// Theme packages: every accepted entry has a name that stays inside its folder, and writing
// the entries back gives a package that parses to the same entries.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dialer/theme_package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<kvo::dialer::ThemeEntry> entries, again;
    std::string error;
    if (!kvo::dialer::ParseThemePackage(bytes, entries, error)) {
        if (!entries.empty() || error.empty())
            std::abort();
        return 0;
    }
    size_t total = 0;
    for (const auto& e : entries) {
        if (!kvo::dialer::IsSafeThemeEntryName(e.strName))
            std::abort();
        total += e.strName.size() + 5 + e.content.size();
    }
    if (total > size)
        std::abort();
    if (!kvo::dialer::ParseThemePackage(kvo::dialer::FormatThemePackage(entries), again, error))
        std::abort();
    if (again.size() != entries.size())
        std::abort();
    for (size_t i = 0; i < again.size(); ++i)
        if (again[i].strName != entries[i].strName || again[i].content != entries[i].content)
            std::abort();
    return 0;
}
