// "update.info": entries have a plain name and a four-character version, names of bin, cfg
// and usr entries are unique, and the items built from any list stay inside the product.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "updater/core/update_info.h"
#include "updater/core/update_items.h"
#include "updater/core/update_paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvo::updater;
    CUpdateInfo u = ParseUpdateInfo(std::string_view(reinterpret_cast<const char*>(data), size));
    std::set<std::u16string> names;
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        for (const COfferedFile& f : u.files[kind]) {
            if (f.nKind != kind || f.strName.empty() || f.strVersion.size() != 4)
                std::abort();
            if (f.strName.find(u'\\') != std::u16string::npos)
                std::abort();
            if (kind != KIND_CVR && !names.insert(f.strName).second)
                std::abort();
            for (const CRequirement& r : f.requirements)
                if (r.strVersion.size() != 4 || r.strName.empty())
                    std::abort();
        }
    }
    for (const CUpdateGroup& g : u.groups)
        if (g.nKind < 0 || g.nKind >= KIND_COUNT)
            std::abort();
    const std::u16string target = u"\\Program Files\\kvonet pro";
    CItemList list = BuildItems({}, u, target);
    SelectItems(list, {}, false);
    for (const CDownloadItem& item : list.items) {
        if (!IsInside(item.strDestination, target) || !IsCleanAbsolutePath(item.strDestination) ||
            !IsPlainFileName(item.strName) || !IsPlainFileName(item.RequestName()))
            std::abort();
        if (item.nGroup >= static_cast<int>(list.groups.size()))
            std::abort();
    }
    return 0;
}
