#include "version_info.h"

#include "common/narrow.h"
#include "platform/file.h"
#include "updater/core/list_lines.h"
#include "updater/core/update_paths.h"

namespace kvo::updater {

const CInstalledFile* CVersionInfo::Find(std::u16string_view name) const {
    for (const CInstalledFile& f : files)
        if (f.strName == name)
            return &f;
    return nullptr;
}

CVersionInfo ParseVersionInfo(std::string_view bytes) {
    CVersionInfo info;
    for (const CListLine& line : SplitListLines(Widen(bytes))) {
        std::u16string rest = ToLower(line.strRest);
        if (line.strTag == u"ver") {
            info.strVer = rest;
        } else if (line.strTag == u"file") {
            size_t end = 0;
            while (end < rest.size() && !IsBlank(rest[end])) ++end;
            size_t version = end;
            while (version < rest.size() && IsBlank(rest[version])) ++version;
            CInstalledFile f;
            SplitPath(std::u16string_view(rest).substr(0, end), f.strDir, f.strName);
            f.strVersion = rest.substr(version);
            if (!f.strName.empty())
                info.files.push_back(std::move(f));
        }
    }
    return info;
}

std::string FormatVersionInfo(const CVersionInfo& info) {
    std::u16string text = u"<VER>" + info.strVer + u"\r\n";
    for (const CInstalledFile& f : info.files)
        text += u"<FILE>" + f.strDir + f.strName + u"\t" + f.strVersion + u"\r\n";
    return Narrow(text);
}

std::optional<CVersionInfo> ReadVersionInfo(std::u16string_view dir) {
    std::string bytes;
    if (!ce::ReadFileBytes(JoinPath(dir, u"version.info"), bytes))
        return std::nullopt;
    return ParseVersionInfo(bytes);
}

}  // namespace kvo::updater
