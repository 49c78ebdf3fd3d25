// "update.info": what the server offers for one tag.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvo::updater {

// Kinds of offered files, which are also the kinds of display groups.
enum : int { KIND_BIN = 0, KIND_CFG = 1, KIND_USR = 2, KIND_CVR = 3, KIND_COUNT = 4 };

struct CRequirement {
    std::u16string strName;
    std::u16string strVersion;
};

struct COfferedFile {
    int nKind = KIND_BIN;
    std::u16string strDir;
    std::u16string strName;
    std::u16string strVersion;
    std::u16string strDownloadName;  // kind 3 only
    std::vector<CRequirement> requirements;
};

struct CUpdateGroup {
    std::u16string strLabel;  // case as in the file
    int nKind = KIND_BIN;
};

struct CUpdateInfo {
    std::u16string strVer;
    std::vector<CUpdateGroup> groups;
    std::vector<COfferedFile> files[KIND_COUNT];  // bin, cfg, usr, cvr in file order
    bool bPostResetCopy = false;
    bool bWebPage = false;  // an HTML page, not a list: the server's error page
};

// Pure reader (fuzzed). Everything but labels comes back in lower case. Entries without a
// four-character version, and "bin", "cfg" or "usr" entries whose name came before, are
// left out.
CUpdateInfo ParseUpdateInfo(std::string_view bytes);

}  // namespace kvo::updater
