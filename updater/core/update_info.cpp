#include "update_info.h"

#include <set>

#include "common/narrow.h"
#include "updater/core/list_lines.h"

namespace kvo::updater {
namespace {

constexpr size_t kVersionLength = 4;

int GroupKind(std::u16string_view tag) {
    if (tag == u"group_bin")
        return KIND_BIN;
    if (tag == u"group_db")
        return KIND_CFG;
    if (tag == u"group_user")
        return KIND_USR;
    if (tag == u"group_int")
        return KIND_CVR;
    return -1;
}

int FileKind(std::u16string_view tag) {
    if (tag == u"bin")
        return KIND_BIN;
    if (tag == u"cfg")
        return KIND_CFG;
    if (tag == u"usr")
        return KIND_USR;
    if (tag == u"cvr")
        return KIND_CVR;
    return -1;
}

bool ReadEntry(int kind, std::u16string_view rest, COfferedFile& f) {
    std::vector<std::u16string> words = SplitWords(rest);
    size_t fixed = kind == KIND_CVR ? 3 : 2;
    if (words.size() < fixed || words[1].size() != kVersionLength)
        return false;
    f.nKind = kind;
    SplitPath(words[0], f.strDir, f.strName);
    if (f.strName.empty())
        return false;
    f.strVersion = words[1];
    if (kind == KIND_CVR)
        f.strDownloadName = words[2];
    if (kind == KIND_BIN)
        return true;
    for (size_t i = fixed; i + 1 < words.size(); i += 2) {
        if (words[i + 1].size() != kVersionLength)
            continue;
        f.requirements.push_back({words[i], words[i + 1]});
    }
    return true;
}

}  // namespace

CUpdateInfo ParseUpdateInfo(std::string_view bytes) {
    CUpdateInfo info;
    std::set<std::u16string> seen;
    int kind = KIND_BIN;
    for (const CListLine& line : SplitListLines(Widen(bytes))) {
        const std::u16string& tag = line.strTag;
        if (line.bBang || tag == u"html" || tag.starts_with(u"html ")) {
            info.bWebPage = true;
            continue;
        }
        if (tag == u"label") {
            info.groups.push_back({line.strRest, kind});
            continue;
        }
        std::u16string rest = ToLower(line.strRest);
        if (tag == u"ver") {
            info.strVer = rest.substr(0, kVersionLength);
        } else if (tag.starts_with(u"group")) {
            int k = GroupKind(tag);
            if (k >= 0)
                kind = k;
        } else if (tag == u"postresetcopy") {
            info.bPostResetCopy = true;
        } else if (int k = FileKind(tag); k >= 0) {
            COfferedFile f;
            if (!ReadEntry(k, rest, f))
                continue;
            if (k != KIND_CVR && !seen.insert(f.strName).second)
                continue;
            info.files[k].push_back(std::move(f));
        }
    }
    return info;
}

}  // namespace kvo::updater
