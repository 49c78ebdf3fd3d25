// Exchange overhead against the phone simulator at serial speed. The simulator paces only its
// own output (10 bits per byte), so the line time counted here is that of the bytes it sent.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "kvocomm/kvocomm.h"
#include "platform/text.h"
#include "tools/kvophone/phone_sim.h"

namespace {

void BM_SimExchangeOverhead(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    kvo::phone::CPhoneSim sim;
    std::string error;
    if (!sim.Start("", baud, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CKvoComm engine;
    engine.StartSAR();
    if (!engine.OpenPort(ce::FromUtf8(sim.SlavePath())) ||
        !engine.SetParams(baud > 0 ? baud : 115200, 0, 8, 0)) {
        state.SkipWithError("cannot open the simulator's line");
        return;
    }
    std::vector<double> overheads;
    double lineUs = 0;
    for (auto _ : state) {
        std::u16string out;
        uint64_t before = sim.BytesOut();
        auto start = std::chrono::steady_clock::now();
        int ok = engine.SendAndReceive("AT+CGMI", out, 0, 10);
        auto took =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        if (!ok || out != u"KVO Mobile") {
            state.SkipWithError("exchange failed");
            break;
        }
        lineUs = baud > 0 ? static_cast<double>(sim.BytesOut() - before) * 10.0 * 1e6 / baud : 0;
        overheads.push_back(took - lineUs);
    }
    engine.ClosePort();
    engine.StopSAR();
    sim.Stop();
    if (overheads.empty())
        return;
    std::sort(overheads.begin(), overheads.end());
    state.counters["line_us"] = lineUs;
    state.counters["overhead_median_us"] = overheads[overheads.size() / 2];
    state.counters["overhead_p90_us"] = overheads[overheads.size() * 9 / 10];
}

}  // namespace

// 0: the simulator unpaced, so the whole time is engine, pty and simulator.
BENCHMARK(BM_SimExchangeOverhead)->Arg(0)->Iterations(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimExchangeOverhead)->Arg(115200)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SimExchangeOverhead)->Arg(9600)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
