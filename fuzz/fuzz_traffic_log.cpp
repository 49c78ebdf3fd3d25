// Traffic logs: every record has a day of 1..31 and a stamp of the stamp's shape, and a
// record written back reads as the same counts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkwatch/traffic_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvo::linkwatch;
    auto records = ParseTrafficLog(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const TrafficRecord& r : records) {
        if (r.nDay < 1 || r.nDay > 31 || r.strStamp.size() != 19)
            std::abort();
        ce::SYSTEMTIME t{};
        t.wDay = static_cast<uint16_t>(r.nDay);
        t.wMonth = 1;
        t.wYear = 2000;
        auto again = ParseTrafficLog(FormatTrafficRecord(t, r.nReceived, r.nTransmitted, r.nPeak));
        if (again.size() != 1 || again[0].nReceived != r.nReceived ||
            again[0].nTransmitted != r.nTransmitted || again[0].nPeak != r.nPeak ||
            again[0].nDay != r.nDay)
            std::abort();
    }
    return 0;
}
