#include "install_dir.h"

#include "platform/registry.h"

namespace kvo {

std::u16string GetInstallDir(std::u16string_view key) {
    std::u16string path = std::u16string(kAppsKey) + u"\\" + std::u16string(key);
    std::u16string dir = ce::RegGetString(ce::HKEY_LOCAL_MACHINE, path, u"InstlDir");
    return dir + u"\\";
}

std::u16string InstallPath(std::u16string_view fileName, std::u16string_view key) {
    return GetInstallDir(key) + std::u16string(fileName);
}

}  // namespace kvo
