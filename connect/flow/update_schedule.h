// When the automatic update check starts the updater.
#pragma once
#include "platform/datetime.h"

namespace kvo::connect {

inline constexpr int kUpdateIntervalDays = 15;

// True when `today` is before the stored date plus 15 days. A stored date that is no date
// (the first run's 2000-00-00) is never inside the window.
bool InsideUpdateWindow(const ce::SYSTEMTIME& today, int year, int month, int day);

}  // namespace kvo::connect
