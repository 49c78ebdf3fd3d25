// `kvo traffic ...`: what the traffic monitor logged, its costs and charts.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunTraffic(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
