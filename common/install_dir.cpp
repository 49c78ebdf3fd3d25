#include "install_dir.h"

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/trace.h"

namespace kvo {
namespace {
// The control character makes the file layer refuse every path below it.
constexpr std::u16string_view kUnreadable = u"\\\x01registry unreadable\\";
}  // namespace

bool GetInstallDirChecked(std::u16string& dir, std::string& error, std::u16string_view key) {
    std::u16string path = std::u16string(kAppsKey) + u"\\" + std::u16string(key);
    auto value = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, path, u"InstlDir");
    if (!value && ce::GetLastError() != ce::ERROR_FILE_NOT_FOUND) {
        error = "cannot read the installation folder from the registry: " +
                ce::GetLastErrorText();
        return false;
    }
    auto text = value ? value->AsSz() : std::nullopt;
    dir = (text ? *text : u"") + u"\\";
    return true;
}

std::u16string GetInstallDir(std::u16string_view key) {
    std::u16string dir;
    std::string error;
    if (GetInstallDirChecked(dir, error, key)) return dir;
    ce::Trace(std::string_view(error));
    ce::SetLastErrorWith(ce::GetLastError(), error);
    return std::u16string(kUnreadable);
}

std::u16string InstallPath(std::u16string_view fileName, std::u16string_view key) {
    return GetInstallDir(key) + std::u16string(fileName);
}

}  // namespace kvo
