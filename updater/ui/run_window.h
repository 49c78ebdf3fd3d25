// The updater's window, for main(): kept apart so a build without Qt still has --batch.
#pragma once
#include <string>

namespace kvo::updater::ui {

// Opens the window for the product on `commandLine` (or "self.tmp") and runs it; with
// `screenshot` draws `view` into that PNG instead. The exit status.
int RunWindow(int argc, char** argv, const std::u16string& updaterDir,
              const std::u16string& commandLine, const std::string& screenshot,
              const std::string& view);
bool IsScreenshotView(const std::string& view);

}  // namespace kvo::updater::ui
