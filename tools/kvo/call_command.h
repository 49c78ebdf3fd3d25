// `kvo call NUMBER`: the dialer's call without its window.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunCall(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
