// `kvo monitor ...`: switching the traffic monitor and its tariff settings.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunMonitor(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
