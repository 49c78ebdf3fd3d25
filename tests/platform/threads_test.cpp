#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/trace.h"
#include "tests/support/temp_device.h"

using namespace ce;

namespace {

class SharedRegistry : public kvo::test::DeviceTest {};

TEST_F(SharedRegistry, ThreadsWritingAndReadingLoseNothing) {
    constexpr int kThreads = 4, kEach = 40;
    SetTraceFile((m_device.Root() / "trace.log").string());
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(StartThread(
            [t, &failures] {
                for (int i = 0; i < kEach; ++i) {
                    std::u16string name = FromUtf8("t" + std::to_string(t) + "_" + std::to_string(i));
                    if (!RegSetValue(HKEY_CURRENT_USER, u"K", name, RegValue::Dword(i))) ++failures;
                    if (RegGetDword(HKEY_CURRENT_USER, u"K", name, 999) != static_cast<uint32_t>(i))
                        ++failures;
                    Trace(std::string_view("written"));
                }
            },
            t % 2 ? THREAD_PRIORITY_IDLE : THREAD_PRIORITY_NORMAL));
    }
    for (auto& th : threads) th.join();
    SetTraceFile("");
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(RegEnumValues(HKEY_CURRENT_USER, u"K")->size(), size_t{kThreads * kEach});
}

}  // namespace
