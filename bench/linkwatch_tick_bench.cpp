// The monitor's second: one statistics query, a few sums, the markers looked at, and every
// fifth tick the snapshot rewritten. It runs all day beside everything else.
// Goal: a connected tick well under 10 ms on average (the snapshot's fsync every fifth tick
// is most of it); a month's statistics for the page under 20 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "connect/traffic/statistics.h"
#include "connect/traffic/traffic_settings.h"
#include "linkwatch/monitor.h"
#include "linkwatch/traffic_record.h"
#include "platform/device.h"
#include "platform/file.h"

namespace fs = std::filesystem;
using namespace kvo::linkwatch;

namespace {

class CBenchDevice {
public:
    CBenchDevice() {
        std::string tmpl = (fs::temp_directory_path() / "kvo-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            abort();
        m_root = tmpl;
        fs::create_directories(m_root / "fs" / "kvo" / "LOG");
        ce::SetDeviceRoot(m_root);
    }
    ~CBenchDevice() {
        ce::SetDeviceRoot({});
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }

private:
    fs::path m_root;
};

class CSteadyLink : public ILinkSource {
public:
    bool Init(std::u16string_view) override { return true; }
    bool Refresh() override {
        m_nRx += 4000;
        m_nTx += 300;
        return true;
    }
    uint32_t Received() const override { return m_nRx; }
    uint32_t Transmitted() const override { return m_nTx; }
    uint32_t Speed() const override { return 57600; }

private:
    uint32_t m_nRx = 0, m_nTx = 0;
};

void BM_ConnectedTick(benchmark::State& state) {
    CBenchDevice device;
    CSteadyLink link;
    MonitorHooks hooks;
    hooks.pLink = &link;
    hooks.countInstances = [] { return 1; };
    CMonitor monitor(CMonitorFiles(u"\\kvo\\"), hooks);
    monitor.Start();
    for (auto _ : state) benchmark::DoNotOptimize(monitor.Tick());
}
BENCHMARK(BM_ConnectedTick);

// A busy month: 20 sessions a day in this month's and last month's logs.
void BM_MonthStatistics(benchmark::State& state) {
    CBenchDevice device;
    CMonitorFiles files(u"\\kvo\\");
    const ce::SYSTEMTIME now = ce::GetLocalTime();
    for (int back = 0; back < 2; ++back) {
        int month = now.wMonth - back, year = now.wYear;
        if (month < 1)
            month += 12, --year;
        std::string log;
        for (int day = 1; day <= 28; ++day) {
            ce::SYSTEMTIME t{};
            t.wYear = static_cast<uint16_t>(year);
            t.wMonth = static_cast<uint16_t>(month);
            t.wDay = static_cast<uint16_t>(day);
            for (int i = 0; i < 20; ++i) log += FormatTrafficRecord(t, 100000 + i, 9000, 4000);
        }
        ce::WriteFileAtomic(files.LogPath(month, year), log);
    }
    kvo::traffic::MonitorSettings settings = kvo::traffic::PageDefaults();
    settings.monthStartDay = 15;
    kvo::traffic::CTrafficStatistics stats(files, settings);
    for (auto _ : state) benchmark::DoNotOptimize(stats.Month(now.wYear, now.wMonth));
}
BENCHMARK(BM_MonthStatistics)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
