#include "connect/traffic/monitor_control.h"

#include "platform/datetime.h"
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
    if (m_files.HasMarker(kTerminate)) {
        // Switched off a moment ago and on again: withdraw the stop request; a monitor that
        // already took it ends within a tick and is then started afresh.
        m_files.ClearMarker(kTerminate);
        for (int waited = 0; IsRunning() && waited < 1500; waited += 50) ce::Sleep(50);
    }
    if (!IsRunning()) {
        if (!Start(error))
            return false;
    } else if (!HasStartupShortcut()) {
        const std::u16string link = StartupShortcutPath();
        if (link.empty() ||
            !ce::SHCreateShortcut(link, u"\"" + m_files.Path(kMonitorExe) + u"\"")) {
            error = "cannot write the StartUp shortcut: " + ce::GetLastErrorText();
            return false;
        }
    }
    m_files.SetMarker(kReload);
    return true;
}

bool CMonitorControl::SaveIconPosition(MonitorSettings& settings, int x, std::string& error) {
    if (x < 0 || x > 219) {
        error = "the icon position must lie between 0 and 219";
        return false;
    }
    settings.iconX = x;
    if (!SaveMonitorSettings(m_files.SettingsPath(), settings)) {
        error =
            "cannot write " + ce::ToUtf8(m_files.SettingsPath()) + ": " + ce::GetLastErrorText();
        return false;
    }
    m_files.SetMarker(kReload);
    return true;
}

bool CMonitorControl::TakeFirstRun(MonitorSettings& settings) {
    if (!settings.firstRun)
        return false;
    settings.firstRun = 0;
    // A failed write only means the hint comes once more.
    SaveMonitorSettings(m_files.SettingsPath(), settings);
    return true;
}

}  // namespace kvo::traffic
