// SelfUpdate.exe: puts the updater's new files in place from "\windows\temp\postresetcopy.ini"
// and starts the updater again, which resumes from "self.tmp". Its command line goes on to
// the updater.
#include <iostream>

#include "platform/error.h"
#include "platform/process.h"
#include "platform/text.h"
#include "updater/core/post_reset_copy.h"
#include "updater/core/program_location.h"
#include "updater/core/update_paths.h"

using namespace kvo::updater;

int main(int argc, char** argv) {
    std::u16string folder = ProgramFolder(argv[0]);
    std::string error;
    // Only the updater's own folder: this program replaces the updater, nothing else.
    PostResetResult r =
        ApplyPostResetCopy([&](std::u16string_view dest) { return IsInside(dest, folder); }, error);
    int status = 0;
    if (r == PostResetResult::Failed) {
        std::cerr << "SelfUpdate: " << error << "\n";
        status = 1;
    }
    if (ce::CreateProcess(folder + u"updater.exe", JoinCommandLine(argc, argv)) < 0) {
        std::cerr << "SelfUpdate: cannot start " << ce::ToUtf8(folder)
                  << "updater.exe: " << ce::GetLastErrorText() << "\n";
        return 1;
    }
    return status;
}
