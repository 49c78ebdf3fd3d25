// The message store at the size a heavy user reaches: loading and rewriting 100,000
// messages, and single-record writes whose cost must not grow with the store.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "common/user_interface.h"
#include "platform/device.h"
#include "telmio/sms/message_store.h"

namespace fs = std::filesystem;
using namespace kvo;

namespace {

class CBenchDevice {
public:
    CBenchDevice() {
        std::string tmpl = (fs::temp_directory_path() / "kvo-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            abort();
        m_root = tmpl;
        fs::create_directories(m_root / "fs");
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

void FillStore(CSmsStore& store, int64_t n) {
    store.Messages().clear();
    for (int64_t i = 0; i < n; ++i) {
        auto m = std::make_unique<CSmsMessage>();
        m->m_nState = static_cast<int32_t>(i % 9);
        m->m_strNumber = u"+4917012345" + std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        m->m_strText = std::u16string(60 + i % 100, u'a' + static_cast<char16_t>(i % 26));
        m->m_time = ce::OleDate::FromParts(2004, 3, 7, 14, 5, 9);
        store.Messages().push_back(std::move(m));
    }
    if (!store.SaveStore())
        abort();
}

void BM_LoadStore(benchmark::State& state) {
    CBenchDevice device;
    CSilentUi ui;
    CSmsStore store(ui);
    FillStore(store, state.range(0));
    for (auto _ : state) {
        if (!store.LoadStore())
            abort();
        benchmark::DoNotOptimize(store.Messages().size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadStore)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveStore(benchmark::State& state) {
    CBenchDevice device;
    CSilentUi ui;
    CSmsStore store(ui);
    FillStore(store, state.range(0));
    for (auto _ : state) {
        if (!store.SaveStore())
            abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveStore)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_WriteMessageAppend(benchmark::State& state) {
    CBenchDevice device;
    CSilentUi ui;
    CSmsStore store(ui);
    FillStore(store, state.range(0));
    CSmsMessage msg;
    msg.m_strNumber = u"+491701234567";
    msg.m_strText = std::u16string(120, u'n');
    for (auto _ : state) {
        msg.m_nFilePos = -1;
        if (!store.WriteMessage(msg))
            abort();
    }
}
BENCHMARK(BM_WriteMessageAppend)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_WriteMessageRewrite(benchmark::State& state) {
    CBenchDevice device;
    CSilentUi ui;
    CSmsStore store(ui);
    FillStore(store, state.range(0));
    CSmsMessage& msg = *store.Messages()[store.Messages().size() / 2];
    for (auto _ : state) {
        msg.m_nState = msg.m_nState == SMS_READ ? SMS_UNREAD : SMS_READ;
        if (!store.WriteMessage(msg))
            abort();
    }
}
BENCHMARK(BM_WriteMessageRewrite)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The session's rewrite when another program queued messages meanwhile: the file is read
// back and merged before it is replaced.
void BM_SaveStoreMergingAppends(benchmark::State& state) {
    CBenchDevice device;
    CSilentUi ui;
    CSmsStore store(ui);
    FillStore(store, state.range(0));
    CSmsStore other(ui);
    for (auto _ : state) {
        state.PauseTiming();
        if (!other.LoadStore())
            abort();
        for (int i = 0; i < 10; ++i) {
            auto m = std::make_unique<CSmsMessage>();
            m->m_nState = SMS_OUTBOX;
            m->m_strNumber = u"+491701234567";
            m->m_strText = u"queued meanwhile";
            other.AddMessage(std::move(m));
        }
        state.ResumeTiming();
        if (!store.SaveStore())
            abort();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveStoreMergingAppends)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
