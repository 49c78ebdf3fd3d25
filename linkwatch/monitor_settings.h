// "monitor.ini": the tariff and the monitor's options, a binary little-endian record that
// both the monitor and the traffic page read and write.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kvo::linkwatch {

struct MonitorSettings {
    float monthlyPayment = 0;
    float inclusiveMegabytes = 0;  // per billing month; 0 is no allowance
    float additionalPrice = 0;     // per priceUnitKb
    int32_t priceUnitKb = 1;
    int32_t blockSizeKb = 0;  // 0 is no rounding
    int32_t hourlyRounding = 0;
    int32_t monitorOn = 1;
    int32_t monthStartDay = 1;  // 1..31
    int32_t iconX = -1;         // -1: not yet placed
    int32_t firstRun = 1;
    bool operator==(const MonitorSettings&) const = default;
};

constexpr size_t kMonitorSettingsSize = 31;

// The monitor's defaults for a missing file or missing fields.
MonitorSettings MonitorDefaults();

// Reads the fields the bytes hold, in order, over `settings`: a short file keeps the values
// given for the fields it lacks. A value that cannot be used (a price unit of 0, a start day
// of 40, a negative or non-finite amount) keeps the given value too. Returns the number of
// fields taken from the bytes.
int ParseMonitorSettings(std::string_view bytes, MonitorSettings& settings);
std::string FormatMonitorSettings(const MonitorSettings& settings);

// File helpers; a missing or short file leaves what it lacks as given.
bool LoadMonitorSettings(std::u16string_view path, MonitorSettings& settings);
bool SaveMonitorSettings(std::u16string_view path, const MonitorSettings& settings);

}  // namespace kvo::linkwatch
