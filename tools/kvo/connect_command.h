// `kvo connect ...`: the dial-up connections.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunConnect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
