// Switching the background monitor on and off, and telling it about new settings.
#pragma once
#include <string>

#include "linkwatch/monitor_files.h"
#include "linkwatch/monitor_settings.h"

namespace kvo::traffic {

class CMonitorControl {
public:
    explicit CMonitorControl(kvo::linkwatch::CMonitorFiles files) : m_files(std::move(files)) {}

    bool IsRunning() const { return m_files.HasMarker(kvo::linkwatch::kDrun); }
    // Starts linkwatch and puts it in the StartUp folder; false with the reason.
    bool Start(std::string& error);
    // Asks a running monitor to stop and takes it out of the StartUp folder.
    void Stop();
    bool HasStartupShortcut() const;

    // Writes the settings and acts on monitorOn: off stops the monitor; on starts it when
    // none runs and has a running one re-read its settings.
    bool Save(const kvo::linkwatch::MonitorSettings& settings, std::string& error);

    // The icon position dialog's OK: the monitor moves its graph at its next tick.
    bool SaveIconPosition(kvo::linkwatch::MonitorSettings& settings, int x, std::string& error);
    // The page's first opening: true once, and the file then says it has been.
    bool TakeFirstRun(kvo::linkwatch::MonitorSettings& settings);

    static std::u16string StartupShortcutPath();

private:
    kvo::linkwatch::CMonitorFiles m_files;
};

}  // namespace kvo::traffic
