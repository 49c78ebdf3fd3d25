// What the engine adds to an exchange beyond the bytes' time on the line: the phone answers
// paced at 10 bits per byte, and its command waits its own line time before the answer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "kvocomm/kvocomm.h"
#include "phone_responder.h"
#include "platform/text.h"

namespace {

void BM_ExchangeOverhead(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    kvo::test::CPhoneResponder phone;
    phone.SetBaud(baud);
    const std::string command = "AT+CGMI";
    const std::string reply = "\r\nNokia\r\n\r\nOK\r\n";
    phone.Add({command, reply});
    CKvoComm engine;
    engine.StartSAR();
    if (!engine.OpenPort(ce::FromUtf8(phone.Path())) || !engine.SetParams(baud, 0, 8, 0)) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    const double lineUs = (command.size() + 1 + reply.size()) * 10.0 * 1e6 / baud;
    std::vector<double> overheads;
    for (auto _ : state) {
        std::u16string out;
        auto start = std::chrono::steady_clock::now();
        int ok = engine.SendAndReceive(command.c_str(), out, 0, 10);
        auto took =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count();
        if (!ok || out != u"Nokia") {
            state.SkipWithError("exchange failed");
            break;
        }
        overheads.push_back(took - lineUs);
    }
    engine.ClosePort();
    engine.StopSAR();
    if (overheads.empty())
        return;
    std::sort(overheads.begin(), overheads.end());
    state.counters["line_us"] = lineUs;
    state.counters["overhead_median_us"] = overheads[overheads.size() / 2];
    state.counters["overhead_p90_us"] = overheads[overheads.size() * 9 / 10];
}

// The framing alone: a long multi-line reply (a message list) byte by byte.
void BM_LongReplyOverPty(benchmark::State& state) {
    kvo::test::CPhoneResponder phone;
    std::string reply = "\r\n";
    for (int i = 0; i < 40; ++i)
        reply += "+CMGL: " + std::to_string(i) + ",1,,23\r\n0791214365870900040B91\r\n";
    reply += "\r\nOK\r\n";
    phone.Add({"AT+CMGL=4", reply});
    CKvoComm engine;
    engine.StartSAR();
    if (!engine.OpenPort(ce::FromUtf8(phone.Path()))) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    for (auto _ : state) {
        std::u16string out;
        if (!engine.SendAndReceive("AT+CMGL=4", out, 0, 10)) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * reply.size()));
    engine.ClosePort();
    engine.StopSAR();
}

}  // namespace

BENCHMARK(BM_ExchangeOverhead)->Arg(115200)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExchangeOverhead)->Arg(9600)->Iterations(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongReplyOverPty)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
