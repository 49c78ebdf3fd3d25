// copy.exe: runs from the StartUp folder after a soft reset and copies the files the updater
// recorded in "\windows\temp\postresetcopy.ini" over the ones that were in use; then it
// removes its shortcut. A copy that failed keeps the list and the shortcut for the next reset.
#include <iostream>

#include "platform/file.h"
#include "platform/shell_shortcut.h"
#include "updater/core/post_reset_copy.h"
#include "updater/core/updater_doc.h"

using namespace kvo::updater;

int main() {
    std::string error;
    if (ApplyPostResetCopy(IsInsideUpdatedFolder, error) == PostResetResult::Failed) {
        std::cerr << "copy: " << error << "\n";
        return 1;
    }
    std::u16string startup;
    if (ce::SHGetSpecialFolderPath(ce::CSIDL_STARTUP, startup))
        ce::DeleteFile(startup + u"\\" + std::u16string(kCopyShortcut));
    return 0;
}
