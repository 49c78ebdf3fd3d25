#include "post_reset_copy.h"

#include "common/narrow.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"
#include "updater/core/update_paths.h"

namespace kvo::updater {

std::string FormatPostResetLines(std::u16string_view source, std::u16string_view destination) {
    return Narrow(source) + "\n" + Narrow(destination) + "\n";
}

std::optional<std::vector<CPlacement>> ParsePostResetCopy(std::string_view bytes) {
    std::vector<std::u16string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t lf = bytes.find('\n', pos);
        if (lf == std::string_view::npos)
            return std::nullopt;  // cut off
        std::string_view line = bytes.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(Widen(line));
        pos = lf + 1;
    }
    if (lines.size() % 2 != 0)
        return std::nullopt;
    std::vector<CPlacement> out;
    const std::u16string folder = std::u16string(kTempDir) + u"\\";
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::u16string& source = lines[i];
        const std::u16string& dest = lines[i + 1];
        if (source.size() <= folder.size() ||
            !ce::EqualsNoCase(std::u16string_view(source).substr(0, folder.size()), folder) ||
            !IsPlainFileName(std::u16string_view(source).substr(folder.size())) ||
            !IsCleanAbsolutePath(dest))
            return std::nullopt;
        out.push_back({source, dest});
    }
    return out;
}

bool IsInsideUpdatedFolder(std::u16string_view destination) {
    std::u16string folder(destination);
    for (size_t slash = folder.rfind(u'\\'); slash != std::u16string::npos && slash > 0;
         slash = folder.rfind(u'\\')) {
        folder.resize(slash);
        if (ce::FileExists(folder + u"\\version.info"))
            return true;
    }
    return false;
}

PostResetResult ApplyPostResetCopy(const std::function<bool(std::u16string_view)>& allowed,
                                   std::string& error) {
    std::string bytes;
    if (!ce::ReadFileBytes(kPostResetCopyFile, bytes)) {
        if (ce::GetLastError() == ce::ERROR_FILE_NOT_FOUND ||
            ce::GetLastError() == ce::ERROR_PATH_NOT_FOUND)
            return PostResetResult::Nothing;
        error = "cannot read " + ce::ToUtf8(kPostResetCopyFile) + ": " + ce::GetLastErrorText();
        return PostResetResult::Failed;
    }
    std::optional<std::vector<CPlacement>> files = ParsePostResetCopy(bytes);
    if (!files) {
        error = ce::ToUtf8(kPostResetCopyFile) + " is damaged; nothing was copied";
        return PostResetResult::Failed;
    }
    for (const CPlacement& p : *files) {
        if (!allowed(p.strDestination)) {
            error = "refusing to copy to " + ce::ToUtf8(p.strDestination) +
                    ": not a folder the updater keeps; nothing was copied";
            return PostResetResult::Failed;
        }
    }
    if (!PlaceFiles(*files, error))
        return PostResetResult::Failed;
    for (const CPlacement& p : *files) ce::DeleteFile(p.strSource);
    ce::DeleteFile(kPostResetCopyFile);
    return PostResetResult::Applied;
}

}  // namespace kvo::updater
