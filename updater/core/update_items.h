// The files to download: one item per offered file that is new or newer than the installed
// one, in display groups the user checks as a whole.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "updater/core/update_info.h"
#include "updater/core/version_info.h"

namespace kvo::updater {

struct CDisplayGroup {
    std::u16string strLabel;
    int nKind = KIND_BIN;
    bool bChecked = true;
    int64_t nTotal = 0;  // bytes of its selected items
};

struct CDownloadItem {
    bool bChecked = true;  // selected for download and install
    int nGroup = -1;       // index of its display group; -1 when its kind has none
    int64_t nSize = 0;     // the server's content length
    bool bNew = false;     // not installed (else: an older version is)
    int nKind = KIND_BIN;
    std::u16string strName, strDir, strVersion, strDownloadName;
    std::u16string strDestination;  // where it goes, checked to lie inside the target
    std::vector<CRequirement> requirements;

    // The name to request from the server.
    const std::u16string& RequestName() const {
        return nKind == KIND_CVR && !strDownloadName.empty() ? strDownloadName : strName;
    }
};

struct CItemList {
    std::vector<CDisplayGroup> groups;
    std::vector<CDownloadItem> items;
    std::vector<std::u16string> refused;  // offered paths that would leave the target

    bool AnyGroupHasItems() const;
};

// Items for the offered files that are not installed or installed in an older version, in
// the order bin, cfg, usr, cvr; each joins the first display group of its kind. Files whose
// destination under `target` is refused (see DestinationPath) are left out and listed.
CItemList BuildItems(const CVersionInfo& installed, const CUpdateInfo& offered,
                     std::u16string_view target);

// Recomputes the selection from the groups' check marks (all items during a self-update):
// group totals, then the items that selected items require because the installed version is
// older or missing.
void SelectItems(CItemList& list, const CVersionInfo& installed, bool selfUpdate);

}  // namespace kvo::updater
