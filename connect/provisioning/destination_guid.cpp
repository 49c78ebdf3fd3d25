#include "destination_guid.h"

#include <atomic>
#include <chrono>
#include <random>

#include "platform/datetime.h"

namespace kvo::connect {

ce::GUID MakeTimeGuid(uint64_t t, uint16_t sequence, const uint8_t node[6]) {
    ce::GUID g;
    g.Data1 = static_cast<uint32_t>(t);
    g.Data2 = static_cast<uint16_t>(t >> 32);
    g.Data3 = static_cast<uint16_t>(((t >> 48) & 0xFFF0) | 2);
    g.Data4[0] = static_cast<uint8_t>(sequence >> 8);
    g.Data4[1] = static_cast<uint8_t>(sequence);
    for (int i = 0; i < 6; ++i) g.Data4[2 + i] = node[i];
    return g;
}

ce::GUID NewDestinationGuid() {
    struct Process {
        std::atomic<uint16_t> sequence;
        uint8_t node[6];
        Process() {
            std::random_device rd;
            sequence = static_cast<uint16_t>(rd() + 1);
            uint32_t tick = ce::GetTickCount(), r = rd();
            for (int i = 0; i < 4; ++i) node[i] = static_cast<uint8_t>(tick >> (8 * i));
            node[4] = static_cast<uint8_t>(r);
            node[5] = static_cast<uint8_t>(r >> 8);
        }
    };
    static Process process;
    // File time: 100 ns units since 1601; two calls in one tick still differ by sequence.
    auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    uint64_t t =
        static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100) +
        116444736000000000ull;
    return MakeTimeGuid(t, process.sequence++, process.node);
}

}  // namespace kvo::connect
