// "postresetcopy.ini": what is accepted copies only from the download folder to clean
// absolute paths.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "updater/core/post_reset_copy.h"
#include "updater/core/update_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvo::updater;
    auto files = ParsePostResetCopy(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!files)
        return 0;
    for (const CPlacement& p : *files) {
        if (!IsCleanAbsolutePath(p.strDestination) || !IsInside(p.strSource, kTempDir) ||
            p.strSource.find(u'\\', kTempDir.size() + 1) != std::u16string::npos)
            std::abort();
    }
    return 0;
}
