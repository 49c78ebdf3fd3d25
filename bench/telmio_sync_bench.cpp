// A full synchronisation against the simulated phone at 115200 baud: 100 messages in 150
// slots, imported into an empty store each time, compared with the time the session's bytes
// need on the line (10 bits per byte, both directions).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "common/install_dir.h"
#include "common/user_interface.h"
#include "kvocomm/kvocomm.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "telmio/session/telmio_doc.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/sms_pdu.h"

namespace fs = std::filesystem;

namespace {

kvo::phone::Scenario HundredMessages() {
    kvo::phone::Scenario s = kvo::phone::DefaultScenario();
    s.smsStorages.clear();
    int n = 0;
    for (auto [name, size, used] : {std::tuple{"ME", 120, 80}, std::tuple{"SM", 30, 20}}) {
        kvo::phone::SmsStorage st;
        st.strName = name;
        st.nSize = size;
        for (int i = 1, placed = 0; placed < used; ++i) {
            if (i % 3 == 0 && size - i >= used - placed) continue;  // leave gaps
            std::string hex, error;
            std::string text = "Message number " + std::to_string(++n) +
                               " of the benchmark, long enough to look like a real one.";
            kvo::phone::EncodeDeliver("+491710760000", "+4917012345" + std::to_string(n % 100),
                                      "2026-12-08 10:00:00", text, hex, error);
            st.slots[i] = {1, hex};
            ++placed;
        }
        s.smsStorages.push_back(st);
    }
    return s;
}

void BM_FullSynchronisation(benchmark::State& state) {
    const int baud = 115200;
    char dir[] = "/tmp/kvo-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    ce::SetDeviceRoot(dir);
    setenv("KVO_DEVICE", dir, 1);
    std::string error;
    if (!kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ce::SetAppName(u"telmio");
    kvo::phone::CPhoneSim sim(HundredMessages());
    if (!sim.Start((fs::path(dir) / "dev" / "COM3").string(), baud, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    kvo::CSilentUi ui;
    double seconds = 0, lineSeconds = 0;
    size_t imported = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ce::DeleteFile(kvo::InstallPath(u"kvo.sms"));
        kvo::CTelmioDoc doc(ui);
        doc.OnNewDocument(false);
        uint64_t in0 = sim.BytesIn(), out0 = sim.BytesOut();
        state.ResumeTiming();
        auto start = std::chrono::steady_clock::now();
        doc.SynchronizeSms();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        lineSeconds += (sim.BytesIn() - in0 + sim.BytesOut() - out0) * 10.0 / baud;
        imported = doc.Store().Messages().size();
        if (!doc.Errors().Text().empty()) state.SkipWithError("the session reported errors");
        state.ResumeTiming();
    }
    sim.Stop();
    fs::remove_all(dir);
    state.counters["messages"] = static_cast<double>(imported);
    state.counters["line_s"] = lineSeconds / state.iterations();
    state.counters["session_s"] = seconds / state.iterations();
    state.counters["ratio"] = seconds / lineSeconds;
}

BENCHMARK(BM_FullSynchronisation)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
