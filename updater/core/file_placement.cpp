#include "file_placement.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"

namespace kvo::updater {
namespace {

std::u16string Folder(const std::u16string& path) {
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos || slash == 0 ? u"\\" : path.substr(0, slash);
}

bool EndsWithExe(const std::u16string& path) {
    return path.size() > 4 &&
           ce::EqualsNoCase(std::u16string_view(path).substr(path.size() - 4), u".exe");
}

// A program must stay startable by its name after it was replaced.
bool MakeRunnable(const std::u16string& path) {
    std::filesystem::path host;
    if (!ce::MapPathInside(path, host))
        return false;
    return ::chmod(host.c_str(), 0700) == 0;
}

}  // namespace

bool PlaceFiles(const std::vector<CPlacement>& all, std::string& error) {
    // One destination named twice (as a list may do) takes the later file.
    std::vector<CPlacement> files;
    for (size_t i = 0; i < all.size(); ++i) {
        bool later = false;
        for (size_t j = i + 1; j < all.size() && !later; ++j)
            later = ce::EqualsNoCase(all[i].strDestination, all[j].strDestination);
        if (!later)
            files.push_back(all[i]);
    }
    std::vector<std::u16string> fresh;
    std::vector<std::u16string> madeFolders;  // in the order they were made
    auto dropFresh = [&] {
        for (const auto& f : fresh) ce::DeleteFile(f);
        for (auto d = madeFolders.rbegin(); d != madeFolders.rend(); ++d) ce::RemoveDirectory(*d);
    };
    for (const CPlacement& p : files) {
        std::u16string copy = p.strDestination + u"~new";
        std::u16string folder = Folder(p.strDestination);
        std::vector<std::u16string> chain;
        for (std::u16string f = folder; f.size() > 1 && !ce::DirectoryExists(f); f = Folder(f))
            chain.push_back(f);
        madeFolders.insert(madeFolders.end(), chain.rbegin(), chain.rend());
        bool ok = (ce::DirectoryExists(folder) || ce::CreateDirectories(folder)) &&
                  ce::CopyFile(p.strSource, copy, false);
        if (ok)
            fresh.push_back(copy);
        if (ok && EndsWithExe(p.strDestination))
            ok = MakeRunnable(copy);
        if (!ok) {
            error = "cannot copy " + ce::ToUtf8(p.strSource) + " to " + ce::ToUtf8(copy) + ": " +
                    ce::GetLastErrorText();
            dropFresh();
            return false;
        }
    }
    // Each old file goes aside before its new one takes its name, so both are undoable.
    struct Done {
        size_t index;
        bool bHadOld;
    };
    std::vector<Done> done;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::u16string& dest = files[i].strDestination;
        std::u16string old = dest + u"~old";
        bool hadOld = ce::FileExists(dest);
        bool ok = !hadOld || ce::MoveFile(dest, old);
        if (ok && !ce::MoveFile(fresh[i], dest)) {
            if (hadOld)
                ce::MoveFile(old, dest);
            ok = false;
        }
        if (!ok) {
            error = "cannot put " + ce::ToUtf8(dest) + " in place: " + ce::GetLastErrorText();
            for (auto it = done.rbegin(); it != done.rend(); ++it) {
                const std::u16string& d = files[it->index].strDestination;
                if (it->bHadOld)
                    ce::MoveFile(d + u"~old", d);
                else
                    ce::DeleteFile(d);
            }
            dropFresh();
            return false;
        }
        done.push_back({i, hadOld});
    }
    for (const Done& d : done)
        if (d.bHadOld)
            ce::DeleteFile(files[d.index].strDestination + u"~old");
    return true;
}

}  // namespace kvo::updater
