// kvo's full SMS read against Debian's gammu getallsms on the same simulated phone at 115200
// baud: 100 messages in 150 slots, with a phone that answers at once and with one that waits
// 100 ms before every reply. The argument is that delay; compare the two rows of each. kvo's
// rows also give the exchanges its read needed and the limit they set (exchanges times the
// delay plus the line time of all bytes), which the delayed time should stay within 1.5 times.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/install_dir.h"
#include "common/user_interface.h"
#include "platform/device.h"
#include "platform/file.h"
#include "platform/profile.h"
#include "telmio/session/telmio_doc.h"
#include "tools/kvo-device/device_setup.h"
#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/sms_pdu.h"

namespace fs = std::filesystem;

namespace {

constexpr int kBaud = 115200;

kvo::phone::Scenario HundredInHundredFifty(int delayMs) {
    kvo::phone::Scenario s = kvo::phone::DefaultScenario();
    s.smsStorages.clear();
    int n = 0;
    for (auto [name, size, used] : {std::tuple{"ME", 120, 80}, std::tuple{"SM", 30, 20}}) {
        kvo::phone::SmsStorage st;
        st.strName = name;
        st.nSize = size;
        for (int i = 1, placed = 0; placed < used; ++i) {
            if (i % 3 == 0 && size - i >= used - placed)
                continue;  // leave gaps
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
    s.quirks.nReplyDelayMs = delayMs;
    return s;
}

// A device folder with the client installed; removed with the object.
struct CBenchDevice {
    std::string strDir = "/tmp/kvo-gbench-XXXXXX";
    bool Make(std::string& error) {
        if (!mkdtemp(strDir.data())) {
            error = "no temporary folder";
            return false;
        }
        ce::SetDeviceRoot(strDir);
        setenv("KVO_DEVICE", strDir.c_str(), 1);
        ce::SetAppName(u"telmio");
        return kvo::device::CreateDevice(fs::path(KVO_BINARY_DIR) / "bin", error);
    }
    ~CBenchDevice() { fs::remove_all(strDir); }
};

void BM_KvoSmsSync(benchmark::State& state) {
    CBenchDevice device;
    std::string error;
    if (!device.Make(error))
        return state.SkipWithError(error.c_str());
    kvo::phone::CPhoneSim sim(HundredInHundredFifty(static_cast<int>(state.range(0))));
    if (!sim.Start((fs::path(device.strDir) / "dev" / "COM3").string(), kBaud, error)) {
        return state.SkipWithError(error.c_str());
    }
    kvo::CSilentUi ui;
    size_t imported = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ce::DeleteFile(kvo::InstallPath(u"kvo.sms"));
        kvo::CTelmioDoc doc(ui);
        doc.OnNewDocument(false);
        state.ResumeTiming();
        doc.SynchronizeSms();
        state.PauseTiming();
        imported = doc.Store().Messages().size();
        if (!doc.Errors().Text().empty())
            state.SkipWithError("the session reported errors");
        state.ResumeTiming();
    }
    // The limit: every exchange waits for the phone's delay once, and every byte crosses the
    // line one after the other (commands and replies take turns).
    size_t exchanges = 0;
    for (const std::string& line : sim.Journal()) exchanges += line.rfind("> ", 0) == 0;
    const double lineMs = static_cast<double>(sim.BytesIn() + sim.BytesOut()) * 10 * 1000 / kBaud;
    const double limitMs =
        static_cast<double>(exchanges) * static_cast<double>(state.range(0)) + lineMs;
    sim.Stop();
    state.counters["messages"] = static_cast<double>(imported);
    state.counters["exchanges"] = static_cast<double>(exchanges);
    state.counters["limit_ms"] = limitMs;
}

void BM_GammuGetAllSms(benchmark::State& state) {
    CBenchDevice device;
    std::string error;
    if (!device.Make(error))
        return state.SkipWithError(error.c_str());
    fs::path link = fs::path(device.strDir) / "phone";
    kvo::phone::CPhoneSim sim(HundredInHundredFifty(static_cast<int>(state.range(0))));
    if (!sim.Start(link.string(), kBaud, error))
        return state.SkipWithError(error.c_str());
    fs::path rc = fs::path(device.strDir) / "gammurc";
    std::ofstream(rc) << "[gammu]\nport = " << link.string() << "\nconnection = at115200\n";
    std::string command = "gammu -c " + rc.string() + " getallsms > " +
                          (fs::path(device.strDir) / "out").string() + " 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gammu getallsms failed (is the gammu package installed?)");
            break;
        }
    }
    sim.Stop();
}

BENCHMARK(BM_KvoSmsSync)
    ->Arg(0)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_GammuGetAllSms)
    ->Arg(0)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
