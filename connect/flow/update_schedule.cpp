#include "update_schedule.h"

#include <chrono>

namespace kvo::connect {

bool InsideUpdateWindow(const ce::SYSTEMTIME& today, int year, int month, int day) {
    using namespace std::chrono;
    year_month_day stored{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                          std::chrono::day(static_cast<unsigned>(day))};
    year_month_day now{std::chrono::year(today.wYear), std::chrono::month(today.wMonth),
                       std::chrono::day(today.wDay)};
    if (!stored.ok() || !now.ok())
        return false;
    return sys_days(now) < sys_days(stored) + days(kUpdateIntervalDays);
}

}  // namespace kvo::connect
