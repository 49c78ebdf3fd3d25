// The files through which the monitor and the traffic page talk: empty marker files, the
// settings and the logs, all in the installation directory.
#pragma once
#include <string>
#include <string_view>

#include "platform/datetime.h"

namespace kvo::linkwatch {

inline constexpr std::u16string_view kDrun = u"DRUN";
inline constexpr std::u16string_view kWrt = u"WRT";
inline constexpr std::u16string_view kNewCfg = u"NEWCFG";
inline constexpr std::u16string_view kMonitorStarted = u"MONITORSTARTED";
inline constexpr std::u16string_view kTerminate = u"TERMINATE";
inline constexpr std::u16string_view kReload = u"RELOAD";
inline constexpr std::u16string_view kSettingsName = u"monitor.ini";
inline constexpr std::u16string_view kEntryName = u"kvonet";
inline constexpr std::u16string_view kMonitorExe = u"linkwatch.exe";
inline constexpr std::u16string_view kConnectExe = u"connect.exe";

class CMonitorFiles {
public:
    // `dir` ends with a backslash (the installation directory).
    explicit CMonitorFiles(std::u16string dir) : m_strDir(std::move(dir)) {}
    // From the registry, as every program of the suite finds it.
    static CMonitorFiles Installed();

    const std::u16string& Dir() const { return m_strDir; }
    std::u16string Path(std::u16string_view name) const { return m_strDir + std::u16string(name); }
    std::u16string LogDir() const { return m_strDir + u"LOG"; }
    std::u16string LogPath(int month, int year) const;
    std::u16string AktualPath() const { return m_strDir + u"LOG\\aktual.dat"; }
    std::u16string SettingsPath() const { return Path(kSettingsName); }

    bool SetMarker(std::u16string_view name) const;
    bool HasMarker(std::u16string_view name) const;
    void ClearMarker(std::u16string_view name) const;

    // Reads a log whole: empty when missing or unreadable (*readable false then).
    std::string ReadLog(std::u16string_view path, bool* readable = nullptr) const;
    // Waits up to waitMs for a writer's WRT marker to go; false if it stays.
    bool WaitWhileWriting(uint32_t waitMs) const;

private:
    std::u16string m_strDir;
};

// The volume of the billing month before `today` (logged sessions only), and the volume of
// today's logged sessions. The billing month starts on monthStartDay: on this month's when
// today is on or after it, else on the previous month's.
uint64_t BillingMonthVolume(const CMonitorFiles& files, const ce::SYSTEMTIME& today,
                            int monthStartDay);
uint64_t LoggedTodayVolume(const CMonitorFiles& files, const ce::SYSTEMTIME& today);

}  // namespace kvo::linkwatch
