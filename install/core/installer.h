// What the installer does once the handheld answers: reads its operating system version and
// runs the two packages that lie next to the installer, each waited for up to its time-out.
#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "install/core/clock.h"
#include "install/core/install_texts.h"

namespace kvo::install {

enum class InstallOutcome {
    Installed,    // both packages ran (their own results are not examined)
    Failed,       // a package could not be started
    NoOsVersion,  // the handheld did not tell its version
    Unsupported,  // neither version 3 nor 4: nothing happens
};

struct PackageRun {
    std::filesystem::path path;
    pid_t pid = -1;
    bool bEnded = false;  // false: still running when its time-out came
};

// installerDir + "WM2003" + "_" + "updater" + "_Eng.bin".
std::filesystem::path PackagePath(const std::filesystem::path& installerDir,
                                  std::string_view platform, std::string_view product,
                                  Language language);

class CInstaller {
public:
    static constexpr int kUpdaterTimeoutMs = 120000;
    static constexpr int kSuiteTimeoutMs = 240000;

    CInstaller(IUserInterface& ui, IClock& clock, std::filesystem::path installerDir,
               Language language)
        : m_ui(ui), m_clock(clock), m_dir(std::move(installerDir)), m_language(language) {}

    // Steps after the connection: the version, then the packages for its platform.
    InstallOutcome Run();
    const std::vector<PackageRun>& Runs() const { return m_runs; }
    // How often a running package is looked at.
    int m_nPollMs = 100;

private:
    InstallOutcome RunPackages(std::string_view platform);
    bool RunPackage(std::string_view platform, std::string_view product, int timeoutMs);
    void Show(Text id);

    IUserInterface& m_ui;
    IClock& m_clock;
    std::filesystem::path m_dir;
    Language m_language;
    std::vector<PackageRun> m_runs;
};

}  // namespace kvo::install
