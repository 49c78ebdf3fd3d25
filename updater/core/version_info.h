// "version.info": the installed files of one directory, and the updater version that wrote it.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvo::updater {

struct CInstalledFile {
    std::u16string strDir;  // ends in a backslash, or empty
    std::u16string strName;
    std::u16string strVersion;
};

struct CVersionInfo {
    std::u16string strVer;
    std::vector<CInstalledFile> files;

    const CInstalledFile* Find(std::u16string_view name) const;
};

// Pure reader (fuzzed): names and versions come back in lower case; lines that do not fit
// are left out.
CVersionInfo ParseVersionInfo(std::string_view bytes);
// 8-bit, CR LF lines; wide characters keep their low byte.
std::string FormatVersionInfo(const CVersionInfo& info);
// Reads "version.info" of a directory (with or without its trailing backslash); nullopt
// when it is missing or unreadable.
std::optional<CVersionInfo> ReadVersionInfo(std::u16string_view dir);

}  // namespace kvo::updater
