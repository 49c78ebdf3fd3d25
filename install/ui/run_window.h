// The installer's window, for main(): kept apart so a build without Qt still has --batch.
#pragma once
#include <filesystem>
#include <string>

#include "install/core/install_texts.h"

namespace kvo::install::ui {

// Runs the wizard, or with `screenshot` draws `page` into that PNG. The exit status.
int RunWindow(int argc, char** argv, const std::filesystem::path& installerDir, Language language,
              const std::string& screenshot, const std::string& page);
bool IsScreenshotPage(const std::string& page);

}  // namespace kvo::install::ui
