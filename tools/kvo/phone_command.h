// `kvo phone ...`: the phone through the AT command engine.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunPhone(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
