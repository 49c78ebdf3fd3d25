#include "soft_reset.h"

#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/shell_shortcut.h"
#include "platform/text.h"

namespace ce {

SoftResetResult SoftReset() {
    SoftResetResult result;
    std::u16string folder;
    if (!SHGetSpecialFolderPath(CSIDL_STARTUP, folder))
        return result;
    for (const FindData& f : FindFiles(folder + u"\\*.lnk")) {
        if (f.isDirectory)
            continue;
        std::u16string path = folder + u"\\" + f.name;
        std::optional<Shortcut> s = ReadShortcut(path);
        if (!s) {
            result.errors.push_back(GetLastErrorText());
            continue;
        }
        pid_t pid = CreateProcess(s->strTarget, s->strArguments);
        if (pid < 0) {
            result.errors.push_back(ToUtf8(f.name) + ": cannot start " + ToUtf8(s->strTarget) +
                                    ": " + GetLastErrorText());
            continue;
        }
        result.started.push_back({pid, ToUtf8(f.name)});
    }
    return result;
}

bool KernelIoControl(uint32_t code) {
    if (code != IOCTL_HAL_REBOOT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    SoftReset();
    return true;
}

}  // namespace ce
