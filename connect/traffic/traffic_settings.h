// The traffic page's view of "monitor.ini": its own defaults, the values its settings
// dialog offers, and the rules for changing one of them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "linkwatch/monitor_files.h"
#include "linkwatch/monitor_settings.h"

namespace kvo::traffic {

using kvo::linkwatch::MonitorSettings;

// 10.0 for the three amounts, 1 kB units and blocks, monitoring on, a first run.
MonitorSettings PageDefaults();
MonitorSettings LoadPageSettings(const kvo::linkwatch::CMonitorFiles& files);

struct Choice {
    int32_t nValue;
    const char* szLabel;
};
// The "for" list (price unit) and the "Data block size" list.
const std::vector<Choice>& PriceUnitChoices();
const std::vector<Choice>& BlockSizeChoices();

// The keys `kvo monitor set` knows, in the order `kvo monitor status` shows them.
const std::vector<std::string>& SettingKeys();
// Sets one key from its text; false, with the reason, for an unknown key or a value the
// settings dialog would not offer (the settings are then unchanged).
bool ApplySetting(MonitorSettings& settings, std::string_view key, std::string_view value,
                  std::string& error);
// Where the icon position slider (0..219) starts: at iconX when it lies on the taskbar.
int IconSliderStart(const MonitorSettings& settings);

std::string SettingText(const MonitorSettings& settings, std::string_view key);

}  // namespace kvo::traffic
