#include "linkwatch/monitor_files.h"

#include "common/install_dir.h"
#include "linkwatch/traffic_record.h"
#include "platform/file.h"

namespace kvo::linkwatch {

CMonitorFiles CMonitorFiles::Installed() {
    return CMonitorFiles(kvo::GetInstallDir());
}

std::u16string CMonitorFiles::LogPath(int month, int year) const {
    return m_strDir + u"LOG\\" + MonthlyLogName(month, year);
}

bool CMonitorFiles::SetMarker(std::u16string_view name) const {
    return ce::File::Create(Path(name)).IsOpen();
}

bool CMonitorFiles::HasMarker(std::u16string_view name) const {
    return ce::FileExists(Path(name));
}

void CMonitorFiles::ClearMarker(std::u16string_view name) const {
    ce::DeleteFile(Path(name));
}

std::string CMonitorFiles::ReadLog(std::u16string_view path, bool* readable) const {
    std::string bytes;
    bool ok = ce::ReadFileBytes(path, bytes);
    if (readable)
        *readable = ok;
    if (!ok)
        bytes.clear();
    return bytes;
}

bool CMonitorFiles::WaitWhileWriting(uint32_t waitMs) const {
    for (uint32_t waited = 0; HasMarker(kWrt); waited += 50) {
        if (waited >= waitMs)
            return false;
        ce::Sleep(50);
    }
    return true;
}

uint64_t BillingMonthVolume(const CMonitorFiles& files, const ce::SYSTEMTIME& today,
                            int monthStartDay) {
    const int day = today.wDay, month = today.wMonth, year = today.wYear;
    uint64_t volume = 0;
    bool readable = false;
    std::string current = files.ReadLog(files.LogPath(month, year), &readable);
    if (!readable && ce::FileExists(files.LogPath(month, year)))
        return 0;
    // Days of this month before today that belong to the running billing month.
    const int from = day >= monthStartDay ? monthStartDay : 1;
    for (const TrafficRecord& r : ParseTrafficLog(current)) {
        if (r.nDay >= from && r.nDay < day)
            volume += uint64_t{r.nReceived} + r.nTransmitted;
    }
    if (day < monthStartDay) {
        int pm = month == 1 ? 12 : month - 1;
        int py = month == 1 ? year - 1 : year;
        for (const TrafficRecord& r : ParseTrafficLog(files.ReadLog(files.LogPath(pm, py)))) {
            if (r.nDay >= monthStartDay)
                volume += uint64_t{r.nReceived} + r.nTransmitted;
        }
    }
    return volume;
}

uint64_t LoggedTodayVolume(const CMonitorFiles& files, const ce::SYSTEMTIME& today) {
    const std::string date = FormatDate(today);
    uint64_t volume = 0;
    for (const TrafficRecord& r :
         ParseTrafficLog(files.ReadLog(files.LogPath(today.wMonth, today.wYear)))) {
        if (r.strStamp.compare(0, 10, date) == 0)
            volume += uint64_t{r.nReceived} + r.nTransmitted;
    }
    return volume;
}

}  // namespace kvo::linkwatch
