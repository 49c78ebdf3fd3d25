#include "connect/traffic/monitor_control.h"

#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/shell_shortcut.h"
#include "platform/text.h"

namespace kvo::traffic {

using namespace kvo::linkwatch;

std::u16string CMonitorControl::StartupShortcutPath() {
    std::u16string folder;
    if (!ce::SHGetSpecialFolderPath(ce::CSIDL_STARTUP, folder, true))
        return {};
    return folder + u"\\linkwatcd.lnk";
}

bool CMonitorControl::Start(std::string& error) {
    m_files.ClearMarker(kTerminate);
    const std::u16string exe = m_files.Path(kMonitorExe);
    if (ce::CreateProcess(exe, u"") < 0) {
        error = "cannot start " + ce::ToUtf8(exe) + ": " + ce::GetLastErrorText() +
                " (is the suite installed in this device? kvo-device install)";
        return false;
    }
    const std::u16string link = StartupShortcutPath();
    if (link.empty() || !ce::SHCreateShortcut(link, u"\"" + exe + u"\"")) {
        error = "the monitor runs, but the StartUp shortcut could not be written: " +
                ce::GetLastErrorText();
        return false;
    }
    return true;
}

void CMonitorControl::Stop() {
    m_files.SetMarker(kTerminate);
    const std::u16string link = StartupShortcutPath();
    if (!link.empty())
        ce::DeleteFile(link);
}

bool CMonitorControl::HasStartupShortcut() const {
    const std::u16string link = StartupShortcutPath();
    return !link.empty() && ce::FileExists(link);
}

bool CMonitorControl::Save(const MonitorSettings& settings, std::string& error) {
    if (!SaveMonitorSettings(m_files.SettingsPath(), settings)) {
        error =
            "cannot write " + ce::ToUtf8(m_files.SettingsPath()) + ": " + ce::GetLastErrorText();
        return false;
    }
    if (!settings.monitorOn) {
        Stop();
        return true;
    }
    if (!IsRunning() && !Start(error))
        return false;
    m_files.SetMarker(kReload);
    return true;
}

}  // namespace kvo::traffic
