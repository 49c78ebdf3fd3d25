// Creating a ready handheld: folders, registry defaults and the installed suite.
#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kvo::device {

// One step of `create`, run in order; each must leave an existing device as it is.
// Returns false with a message for the user.
using SetupStep = std::function<bool(const std::filesystem::path& binDir, std::string& error)>;

// The steps `create` runs. Later parts of the suite append theirs (data files, modems).
std::vector<std::pair<std::string, SetupStep>>& SetupSteps();

// Creates or completes the device at the current device root. `binDir` holds the built
// programs (telmio, connect, ...); those that exist get their ".exe" links.
bool CreateDevice(const std::filesystem::path& binDir, std::string& error);

// Links the built programs of one handheld folder (kSuiteDir, kUpdaterDir; all when empty).
bool InstallProgramsIn(const std::filesystem::path& binDir, std::u16string_view folder,
                       std::string& error);

// The programs and where they go: {program, handheld folder}.
struct InstalledProgram {
    const char* program;
    std::u16string_view folder;
};
const std::vector<InstalledProgram>& InstalledPrograms();

}  // namespace kvo::device
