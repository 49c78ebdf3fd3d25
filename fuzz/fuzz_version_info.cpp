// "version.info": every file read has a plain lower-case name, and what is written back
// reads the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "updater/core/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvo::updater;
    CVersionInfo v = ParseVersionInfo(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const CInstalledFile& f : v.files) {
        if (f.strName.empty() || f.strName.find(u'\\') != std::u16string::npos)
            std::abort();
        if (!f.strDir.empty() && f.strDir.back() != u'\\')
            std::abort();
        for (char16_t c : f.strDir + f.strName + f.strVersion)
            if ((c >= u'A' && c <= u'Z') || c == u'\r' || c > 0xFF)
                std::abort();
    }
    CVersionInfo again = ParseVersionInfo(FormatVersionInfo(v));
    if (again.files.size() != v.files.size())
        std::abort();
    for (size_t i = 0; i < v.files.size(); ++i) {
        if (again.files[i].strName != v.files[i].strName ||
            again.files[i].strDir != v.files[i].strDir)
            std::abort();
    }
    return 0;
}
