#include "linkwatch/monitor.h"

#include <algorithm>

#include "linkwatch/traffic_record.h"
#include "platform/file.h"
#include "platform/process.h"

namespace kvo::linkwatch {

int CountMonitorInstances() {
    int n = 0;
    for (const ce::ProcessEntry& p : ce::DeviceProcessSnapshot())
        if (p.exeName == kMonitorExe)
            ++n;
    return n;
}

CMonitor::CMonitor(CMonitorFiles files, MonitorHooks hooks)
    : m_files(std::move(files)), m_hooks(std::move(hooks)) {
    if (!m_hooks.countInstances)
        m_hooks.countInstances = CountMonitorInstances;
    if (!m_hooks.taskbarPixel)
        m_hooks.taskbarPixel = [](int, int) { return 0u; };
    if (!m_hooks.startConnect) {
        m_hooks.startConnect = [this] {
            return ce::CreateProcess(m_files.Path(kConnectExe), u"m") > 0;
        };
    }
}

CMonitor::StartResult CMonitor::Start() {
    // A second copy leaves every marker to the first.
    if (m_hooks.countInstances() > 1)
        return StartResult::SecondInstance;
    if (m_files.HasMarker(kDrun)) {
        // A monitor that is ending (or died) left it: its stop request is not for us.
        m_files.ClearMarker(kTerminate);
        ce::Sleep(4000);
    }
    m_files.SetMarker(kDrun);
    LoadSettings();

    ce::CreateDirectory(m_files.LogDir());
    const ce::SYSTEMTIME now = ce::GetLocalTime();
    m_prevTick = now;
    SetLog(now);
    m_nOverallPeak = 4500;
    ZeroSession();

    RecoverSnapshot();
    m_nMonthVolume = BillingMonthVolume(m_files, now, m_settings.monthStartDay);
    m_nTodayVolume = LoggedTodayVolume(m_files, now);
    ComputeAllowance();

    if (m_settings.iconX == -1) {
        m_settings.iconX = AutomaticIconX(m_hooks.taskbarPixel);
        MonitorSettings written = m_settings;
        written.monitorOn = 1;
        if (SaveMonitorSettings(m_files.SettingsPath(), written))
            m_files.SetMarker(kNewCfg);
    }

    ILinkSource& link = *m_hooks.pLink;
    if (link.Init(kEntryName) && link.Refresh()) {
        m_nBaseRx = link.Received();
        m_nBaseTx = link.Transmitted();
        m_bConnected = true;
    }
    UpdateGraph(0);
    return StartResult::Running;
}

void CMonitor::LoadSettings() {
    // Fields the file lacks keep the monitor's defaults, not what an older file said.
    MonitorSettings s = MonitorDefaults();
    LoadMonitorSettings(m_files.SettingsPath(), s);
    m_settings = s;
}

void CMonitor::RecoverSnapshot() {
    // A monitor that was killed (or a reset) left its running session here: log it, as it
    // was last counted, in the month it was counted in, rather than lose it.
    std::string bytes;
    if (!ce::ReadFileBytes(m_files.AktualPath(), bytes))
        return;
    auto records = ParseTrafficLog(bytes);
    if (!records.empty()) {
        const std::string& stamp = records.front().strStamp;
        ce::SYSTEMTIME t{};
        t.wDay = static_cast<uint16_t>(records.front().nDay);
        t.wMonth = static_cast<uint16_t>(std::stoi(stamp.substr(3, 2)));
        t.wYear = static_cast<uint16_t>(std::stoi(stamp.substr(6, 4)));
        t.wHour = static_cast<uint16_t>(std::stoi(stamp.substr(11, 2)));
        t.wMinute = static_cast<uint16_t>(std::stoi(stamp.substr(14, 2)));
        t.wSecond = static_cast<uint16_t>(std::stoi(stamp.substr(17, 2)));
        const TrafficRecord& r = records.front();
        if (t.wMonth >= 1 && t.wMonth <= 12 && r.nReceived + uint64_t{r.nTransmitted} > 0) {
            m_pending.push_back({m_files.LogPath(t.wMonth, t.wYear),
                                 FormatTrafficRecord(t, r.nReceived, r.nTransmitted, r.nPeak)});
            FlushPending();  // or kept for a later tick
        }
    }
    ce::DeleteFile(m_files.AktualPath());
}

void CMonitor::SetLog(const ce::SYSTEMTIME& t) {
    m_nLogMonth = t.wMonth;
    m_nLogYear = t.wYear;
    m_nDaysInMonth = DaysInMonth(t.wMonth, t.wYear);
}

void CMonitor::ZeroSession() {
    m_nSessionRx = m_nSessionTx = m_nSessionTotal = 0;
    m_nSessionPeak = 0;
}

void CMonitor::ComputeAllowance() {
    const float limit = m_settings.inclusiveMegabytes * 1048576.0f;
    const int today = ce::GetLocalTime().wDay;
    const float daysLeft = static_cast<float>(std::max(1, m_nDaysInMonth - today + 1));
    const float quotient = (limit - static_cast<float>(m_nMonthVolume)) / daysLeft;
    m_nDailyAllowance = quotient <= 0               ? 0
                        : quotient >= 4294967295.0f ? 0xFFFFFFFFu
                                                    : static_cast<uint32_t>(quotient);
    m_bDailyWarned = m_nTodayVolume >= m_nDailyAllowance;
    m_bMonthlyWarned = static_cast<double>(m_nMonthVolume) >= limit;
    m_bNinetyWarned = static_cast<double>(m_nMonthVolume) >= 0.9 * static_cast<double>(limit);
}

void CMonitor::CheckWarnings() {
    const double limit = static_cast<double>(m_settings.inclusiveMegabytes * 1048576.0f);
    const uint64_t day = m_nTodayVolume + m_nSessionTotal;
    const uint64_t month = m_nMonthVolume + day;
    if (!m_bDailyWarned && day >= m_nDailyAllowance) {
        m_bDailyWarned = true;
        m_notifier.Show(Notice::DailyLimit);
    }
    if (!m_bNinetyWarned && static_cast<double>(month) >= 0.9 * limit) {
        m_bNinetyWarned = true;
        m_notifier.Show(Notice::NinetyPercent);
    }
    if (!m_bMonthlyWarned && static_cast<double>(month) >= limit) {
        m_bMonthlyWarned = true;
        m_notifier.Show(Notice::MonthlyLimit);
    }
}

bool CMonitor::AppendRecord(const ce::SYSTEMTIME& stamp, uint32_t rx, uint32_t tx, uint32_t peak) {
    m_pending.push_back(
        {m_files.LogPath(m_nLogMonth, m_nLogYear), FormatTrafficRecord(stamp, rx, tx, peak)});
    return FlushPending();
}

bool CMonitor::FlushPending() {
    if (m_pending.empty())
        return true;
    m_files.SetMarker(kWrt);
    // The folder may have been removed while we ran; the record must not be lost for that.
    ce::CreateDirectory(m_files.LogDir());
    size_t done = 0;
    for (; done < m_pending.size(); ++done) {
        ce::File f = ce::File::OpenAppend(m_pending[done].strLog);
        if (!f.IsOpen())
            break;
        const int64_t size = f.Seek(0, ce::FILE_END);
        if (size < 0)
            break;
        if (!f.Write(m_pending[done].strText)) {
            // No half record in the log: the whole one comes with the next try.
            f.Seek(size, ce::FILE_BEGIN);
            f.SetEndOfFile();
            break;
        }
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(done));
    m_files.ClearMarker(kWrt);
    return m_pending.empty();
}

bool CMonitor::WriteAktual(const ce::SYSTEMTIME& stamp) {
    m_files.SetMarker(kWrt);
    bool ok =
        ce::WriteFileAtomic(m_files.AktualPath(),
                            FormatTrafficRecord(stamp, m_nSessionRx, m_nSessionTx, m_nSessionPeak));
    m_files.ClearMarker(kWrt);
    return ok;
}

void CMonitor::CloseSession(const ce::SYSTEMTIME& stamp) {
    SessionCounts c = RoundSession({m_nSessionRx, m_nSessionTx}, m_settings.blockSizeKb);
    m_nSessionRx = c.nReceived;
    m_nSessionTx = c.nTransmitted;
    m_nSessionTotal = c.nReceived + c.nTransmitted;
    AppendRecord(stamp, m_nSessionRx, m_nSessionTx, m_nSessionPeak);
}

void CMonitor::UpdateGraph(uint32_t tickTraffic) {
    m_graph.bConnected = m_bConnected;
    m_graph.nTickTraffic = tickTraffic;
    m_graph.nOverallPeak = m_nOverallPeak;
    m_graph.inclusiveMegabytes = m_settings.inclusiveMegabytes;
    m_graph.nDayVolume = m_nTodayVolume + m_nSessionTotal;
    m_graph.nDailyAllowance = m_nDailyAllowance;
    m_graph.nSessionTotal = m_nSessionTotal;
    m_graph.priceUnitKb = m_settings.priceUnitKb;
}

bool CMonitor::Tick() {
    // Bookkeeping of a start of connect that a tap asked for.
    if (m_files.HasMarker(kMonitorStarted)) {
        m_notifier.m_bStarted = true;
        m_notifier.m_bStarting = false;
        m_nStartCount = 0;
    } else if (++m_nStartCount > 3) {
        m_notifier.m_bStarting = false;
        m_notifier.m_bStarted = false;
        m_nStartCount = 4;
    }

    FlushPending();
    if (m_files.HasMarker(kTerminate)) {
        m_files.ClearMarker(kTerminate);
        AppendRecord(ce::GetLocalTime(), m_nSessionRx, m_nSessionTx, m_nSessionPeak);
        ce::DeleteFile(m_files.AktualPath());
        m_files.ClearMarker(kDrun);
        return false;
    }

    if (m_files.HasMarker(kReload)) {
        m_files.ClearMarker(kReload);
        LoadSettings();
        if (m_settings.iconX == -1)
            m_settings.iconX = AutomaticIconX(m_hooks.taskbarPixel);
        ComputeAllowance();
    }

    const ce::SYSTEMTIME now = ce::GetLocalTime();
    if (now.wDay != m_prevTick.wDay || now.wMonth != m_prevTick.wMonth) {
        if (m_bConnected) {
            // The day's part of the session goes to the day (and month) it was counted in.
            CloseSession(m_prevTick);
            ZeroSession();
            m_nTodayVolume = 0;
            SetLog(now);
            WriteAktual(now);
        } else {
            m_nTodayVolume = 0;
            ZeroSession();
            SetLog(now);
        }
        // The billing month's volume is what a fresh start would find in the logs now, so a
        // new billing month starts at 0 on its start day, whichever way the monitor got there.
        m_nMonthVolume = BillingMonthVolume(m_files, now, m_settings.monthStartDay);
        ComputeAllowance();
        m_prevTick = now;
    }

    ILinkSource& link = *m_hooks.pLink;
    if (m_bConnected) {
        if (link.Refresh()) {
            const uint32_t r = link.Received(), t = link.Transmitted();
            const uint32_t dr = r - m_nBaseRx, dt = t - m_nBaseTx;
            m_nSessionRx += dr;
            m_nSessionTx += dt;
            m_nSessionTotal = m_nSessionRx + m_nSessionTx;
            const uint32_t traffic = dr + dt;
            m_nSessionPeak = std::max(m_nSessionPeak, traffic);
            m_nOverallPeak = std::max(m_nOverallPeak, traffic);
            m_nBaseRx = r;
            m_nBaseTx = t;
            CheckWarnings();
            UpdateGraph(traffic);
            if (++m_nConnectedTicks % 5 == 0)
                WriteAktual(now);
            m_prevTick = now;
        } else {
            m_bConnected = false;
            ce::DeleteFile(m_files.AktualPath());
            CloseSession(now);
            m_nTodayVolume += m_nSessionTotal;
            ZeroSession();
            m_nBaseRx = m_nBaseTx = 0;
            UpdateGraph(0);
        }
    }
    if (!m_bConnected) {
        if (link.Init(kEntryName)) {
            link.Refresh();
            if (link.Speed() == 0)
                return true;  // still dialling
            m_bConnected = true;
            m_nConnectedTicks = 0;
        }
        // A new connection counts from its first byte.
        m_nBaseRx = m_nBaseTx = 0;
        ZeroSession();
        UpdateGraph(0);
        m_graph.bConnected = false;
    }
    return true;
}

void CMonitor::Tap() {
    if (m_notifier.m_bStarting || m_notifier.m_bStarted)
        return;
    m_notifier.m_bStarting = true;
    m_nStartCount = 0;
    ce::Sleep(20);
    m_notifier.Show(Notice::Starting);
    ce::Sleep(200);
    m_hooks.startConnect();
}

}  // namespace kvo::linkwatch
