// The background monitor: once a second it reads the connection's counters, keeps the
// running session, logs each session (and each day of one) to the monthly log, keeps
// "aktual.dat", warns when the allowance is used up, and answers the traffic page's markers.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "linkwatch/icon_placement.h"
#include "linkwatch/link_source.h"
#include "linkwatch/monitor_files.h"
#include "linkwatch/monitor_settings.h"
#include "linkwatch/notifier.h"
#include "linkwatch/session_rounding.h"
#include "platform/datetime.h"

namespace kvo::linkwatch {

// What the taskbar graph shows after a tick.
struct GraphState {
    bool bConnected = false;
    uint32_t nTickTraffic = 0;
    uint32_t nOverallPeak = 4500;
    float inclusiveMegabytes = 0;
    uint64_t nDayVolume = 0;  // today's, the running session included
    uint32_t nDailyAllowance = 0;
    uint32_t nSessionTotal = 0;
    int32_t priceUnitKb = 1;
};

struct MonitorHooks {
    ILinkSource* pLink = nullptr;  // required
    // linkwatch.exe processes of this device, this one included; default: the snapshot.
    std::function<int()> countInstances;
    // The taskbar's pixels; default: an empty taskbar.
    TaskbarPixel taskbarPixel;
    // Starts connect in monitor mode; default: D + "connect.exe" with "m".
    std::function<bool()> startConnect;
};

class CMonitor {
public:
    enum class StartResult { Running, SecondInstance };

    CMonitor(CMonitorFiles files, MonitorHooks hooks);

    StartResult Start();
    // One second's work; false once a stop request has been served.
    bool Tick();
    // A tap on the graph: starts connect's traffic page once.
    void Tap();

    const GraphState& Graph() const { return m_graph; }
    int IconX() const { return m_settings.iconX; }
    const MonitorSettings& Settings() const { return m_settings; }
    uint64_t MonthVolume() const { return m_nMonthVolume; }
    uint64_t TodayVolume() const { return m_nTodayVolume; }
    uint32_t DailyAllowance() const { return m_nDailyAllowance; }
    bool IsConnected() const { return m_bConnected; }
    CNotifier& Notifier() { return m_notifier; }

private:
    void LoadSettings();
    void ComputeAllowance();
    void CheckWarnings();
    void CloseSession(const ce::SYSTEMTIME& stamp);
    void ZeroSession();
    bool AppendRecord(const ce::SYSTEMTIME& stamp, uint32_t rx, uint32_t tx, uint32_t peak);
    bool FlushPending();
    void RecoverSnapshot();
    bool WriteAktual(const ce::SYSTEMTIME& stamp);
    void SetLog(const ce::SYSTEMTIME& t);
    void UpdateGraph(uint32_t tickTraffic);

    CMonitorFiles m_files;
    MonitorHooks m_hooks;
    CNotifier m_notifier;
    MonitorSettings m_settings;

    bool m_bConnected = false;
    uint32_t m_nSessionRx = 0, m_nSessionTx = 0, m_nSessionTotal = 0;
    uint32_t m_nBaseRx = 0, m_nBaseTx = 0;
    uint32_t m_nSessionPeak = 0, m_nOverallPeak = 4500;
    uint64_t m_nTodayVolume = 0, m_nMonthVolume = 0;
    int m_nDaysInMonth = 31;
    uint32_t m_nDailyAllowance = 0;
    bool m_bDailyWarned = false, m_bNinetyWarned = false, m_bMonthlyWarned = false;
    ce::SYSTEMTIME m_prevTick{};
    int m_nLogMonth = 1, m_nLogYear = 2000;
    uint32_t m_nConnectedTicks = 0;
    int m_nStartCount = 0;
    GraphState m_graph;
    // Records a full disk or a missing folder kept out of their log, retried each tick.
    struct PendingRecord {
        std::u16string strLog;
        std::string strText;
    };
    std::vector<PendingRecord> m_pending;
};

// linkwatch.exe processes running on this device.
int CountMonitorInstances();

}  // namespace kvo::linkwatch
