// "monitor.ini": whatever the bytes, the settings stay usable (a price unit above 0, a
// start day of 1..31, amounts finite and not negative) and write back to 31 bytes that
// read as the same settings.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "linkwatch/monitor_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvo::linkwatch;
    MonitorSettings s;
    int fields =
        ParseMonitorSettings(std::string_view(reinterpret_cast<const char*>(data), size), s);
    if (fields < 0 || fields > 10)
        std::abort();
    if (s.priceUnitKb < 1 || s.blockSizeKb < 0 || s.monthStartDay < 1 || s.monthStartDay > 31 ||
        s.iconX < -1)
        std::abort();
    for (float v : {s.monthlyPayment, s.inclusiveMegabytes, s.additionalPrice})
        if (!std::isfinite(v) || v < 0)
            std::abort();
    std::string bytes = FormatMonitorSettings(s);
    MonitorSettings back;
    if (bytes.size() != kMonitorSettingsSize || ParseMonitorSettings(bytes, back) != 10 ||
        !(back == s))
        std::abort();
    return 0;
}
