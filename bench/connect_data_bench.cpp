// Start-up cost of the shipped connection database with every operator of the provider list:
// telmio and connect load it before their first window, then identify the operator once.
// Goal: load and identify together well under 20 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "connect/data/data_reader.h"
#include "connect/data/identification.h"
#include "platform/device.h"

namespace fs = std::filesystem;
using namespace kvo::connect;

namespace {

class CBenchDevice {
public:
    CBenchDevice() {
        std::string tmpl = (fs::temp_directory_path() / "kvo-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) abort();
        m_root = tmpl;
        fs::create_directories(m_root / "fs" / "kvo");
        fs::copy_file(fs::path(KVO_BINARY_DIR) / "bin" / "kvo.dat",
                      m_root / "fs" / "kvo" / "kvo.dat");
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

constexpr std::u16string_view kDir = u"\\kvo\\";

// The last record's first network name: identification walks the whole table to reach it.
std::u16string LastNetwork(const CConnectionData& d) {
    for (auto it = d.Isps().rbegin(); it != d.Isps().rend(); ++it)
        for (const auto& n : (*it)->m_strOperator)
            if (!n.empty()) return n;
    return u"none";
}

void BM_Load(benchmark::State& state) {
    CBenchDevice device;
    for (auto _ : state) {
        CConnectionData d;
        if (!LoadConnectionData(d, EDataReader::Connect, kDir).Ok())
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(d.Isps().size());
    }
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);

void BM_IdentifyLastAndMissing(benchmark::State& state) {
    CBenchDevice device;
    CConnectionData d;
    if (!LoadConnectionData(d, EDataReader::Connect, kDir).Ok()) state.SkipWithError("load failed");
    std::u16string last = u"+COPS: 0,2,\"" + LastNetwork(d) + u"\"";
    for (auto _ : state) {
        const CIspEntry* isp = nullptr;
        benchmark::DoNotOptimize(IdentifyOperator(d, last, u"", EDataReader::Telmio, &isp));
        // No record matches: every name of every record is compared.
        benchmark::DoNotOptimize(
            IdentifyOperator(d, u"+COPS: 0,2,\"99999\"", u"", EDataReader::Telmio, &isp));
    }
}
BENCHMARK(BM_IdentifyLastAndMissing)->Unit(benchmark::kMicrosecond);

// What a program start pays: the whole file read and parsed, then one identification.
void BM_LoadAndIdentify(benchmark::State& state) {
    CBenchDevice device;
    for (auto _ : state) {
        CConnectionData d;
        if (!LoadConnectionData(d, EDataReader::Telmio, kDir).Ok())
            state.SkipWithError("load failed");
        const CIspEntry* isp = nullptr;
        benchmark::DoNotOptimize(
            IdentifyOperator(d, u"+COPS: 0,2,\"99999\"", u"", EDataReader::Telmio, &isp));
    }
}
BENCHMARK(BM_LoadAndIdentify)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
