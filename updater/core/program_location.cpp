#include "program_location.h"

#include <filesystem>

#include "common/install_dir.h"
#include "platform/device.h"
#include "platform/text.h"

namespace kvo::updater {

std::u16string ProgramFolder(const char* argv0) {
    std::filesystem::path self(argv0 ? argv0 : "");
    if (self.has_parent_path()) {
        std::u16string path = ce::UnmapPath(std::filesystem::absolute(self));
        size_t slash = path.rfind(u'\\');
        if (!path.empty() && slash != std::u16string::npos)
            return path.substr(0, slash + 1);
    }
    return GetInstallDir(kUpdaterKey);
}

std::u16string JoinCommandLine(int argc, char** argv) {
    std::u16string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += u' ';
        line += ce::FromUtf8(argv[i]);
    }
    return line;
}

}  // namespace kvo::updater
