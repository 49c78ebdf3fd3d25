#include "install/core/installer.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/device.h"
#include "platform/rapi.h"
#include "platform/text.h"

extern char** environ;

namespace kvo::install {
namespace {

// The package installs into the handheld the installer reached: the same device root.
pid_t StartPackage(const std::filesystem::path& path) {
    std::string program = path.string();
    std::string device = "KVO_DEVICE=" + ce::DeviceRoot().string();
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("KVO_DEVICE=", 0) != 0)
            env.push_back(*e);
    env.push_back(device.data());
    env.push_back(nullptr);
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, env.data()) != 0)
        return -1;
    return pid;
}

}  // namespace

std::filesystem::path PackagePath(const std::filesystem::path& installerDir,
                                  std::string_view platform, std::string_view product,
                                  Language language) {
    std::string suffix = PackageSuffix(language);
    if (suffix.empty())
        return {};
    return installerDir / (std::string(platform) + "_" + std::string(product) + suffix);
}

void CInstaller::Show(Text id) {
    m_ui.MessageBox(ce::FromUtf8(LoadText(m_language, id)));
}

InstallOutcome CInstaller::Run() {
    ce::CEOSVERSIONINFO version;
    if (!ce::CeGetVersionEx(version)) {
        ce::CeRapiUninit();
        Show(Text::NoOsVersion);
        return InstallOutcome::NoOsVersion;
    }
    ce::CeRapiUninit();
    if (version.dwMajorVersion == 4)
        return RunPackages("WM2003");
    if (version.dwMajorVersion == 3) {
        Show(Text::Wm2002);
        return RunPackages("WM2002");
    }
    return InstallOutcome::Unsupported;
}

InstallOutcome CInstaller::RunPackages(std::string_view platform) {
    m_ui.SetStatus(ce::FromUtf8(LoadText(m_language, Text::Installing)));
    if (!RunPackage(platform, "updater", kUpdaterTimeoutMs) ||
        !RunPackage(platform, "kvopro", kSuiteTimeoutMs)) {
        Show(Text::InstallFailed);
        return InstallOutcome::Failed;
    }
    Show(Text::Success);
    return InstallOutcome::Installed;
}

bool CInstaller::RunPackage(std::string_view platform, std::string_view product, int timeoutMs) {
    PackageRun run;
    run.path = PackagePath(m_dir, platform, product, m_language);
    if (run.path.empty() || access(run.path.c_str(), X_OK) != 0)
        return false;
    run.pid = StartPackage(run.path);
    if (run.pid < 0)
        return false;
    int64_t start = m_clock.NowMs();
    for (;;) {
        int status = 0;
        pid_t r = waitpid(run.pid, &status, WNOHANG);
        if (r == run.pid || (r < 0 && errno != EINTR)) {
            run.bEnded = true;
            break;
        }
        if (m_clock.NowMs() - start >= timeoutMs)
            break;  // the installer goes on; the package keeps running
        m_clock.SleepMs(m_nPollMs);
    }
    m_runs.push_back(run);
    return true;
}

}  // namespace kvo::install
