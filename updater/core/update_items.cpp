#include "update_items.h"

#include "updater/core/list_lines.h"
#include "updater/core/update_paths.h"

namespace kvo::updater {

bool CItemList::AnyGroupHasItems() const {
    for (const CDownloadItem& item : items)
        if (item.nGroup >= 0)
            return true;
    return false;
}

CItemList BuildItems(const CVersionInfo& installed, const CUpdateInfo& offered,
                     std::u16string_view target) {
    CItemList list;
    for (const CUpdateGroup& g : offered.groups) list.groups.push_back({g.strLabel, g.nKind});
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        for (const COfferedFile& f : offered.files[kind]) {
            const CInstalledFile* have = installed.Find(f.strName);
            if (have && !IsOlderVersion(have->strVersion, f.strVersion))
                continue;
            CDownloadItem item;
            // The list and the download folder's bookkeeping are the updater's own.
            bool own = f.strName == u"version.info" || f.strName == u"postresetcopy.ini" ||
                       f.strName == u"update.info";
            if (own || !DestinationPath(target, f.strDir, f.strName, item.strDestination) ||
                (kind == KIND_CVR && !IsPlainFileName(f.strDownloadName))) {
                list.refused.push_back(f.strDir + f.strName);
                continue;
            }
            item.bNew = have == nullptr;
            item.nKind = kind;
            item.strName = f.strName;
            item.strDir = f.strDir;
            item.strVersion = f.strVersion;
            item.strDownloadName = f.strDownloadName;
            item.requirements = f.requirements;
            for (size_t g = 0; g < list.groups.size(); ++g) {
                if (list.groups[g].nKind == kind) {
                    item.nGroup = static_cast<int>(g);
                    break;
                }
            }
            list.items.push_back(std::move(item));
        }
    }
    return list;
}

void SelectItems(CItemList& list, const CVersionInfo& installed, bool selfUpdate) {
    for (CDisplayGroup& g : list.groups) g.nTotal = 0;
    auto add = [&](CDownloadItem& item) {
        item.bChecked = true;
        if (item.nGroup >= 0)
            list.groups[size_t(item.nGroup)].nTotal += item.nSize;
    };
    std::vector<size_t> chosen;
    for (size_t i = 0; i < list.items.size(); ++i) {
        CDownloadItem& item = list.items[i];
        item.bChecked = false;
        if (selfUpdate || (item.nGroup >= 0 && list.groups[size_t(item.nGroup)].bChecked)) {
            add(item);
            chosen.push_back(i);
        }
    }
    for (size_t i : chosen) {
        for (const CRequirement& r : list.items[i].requirements) {
            const CInstalledFile* have = installed.Find(r.strName);
            if (have && !IsOlderVersion(have->strVersion, r.strVersion))
                continue;
            for (CDownloadItem& other : list.items) {
                if (other.strName == r.strName && !other.bChecked)
                    add(other);
            }
        }
    }
}

}  // namespace kvo::updater
