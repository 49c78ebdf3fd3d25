// `kvo pb ...`: the current phone's phonebook on the handheld and its synchronisation.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::cli {

int RunPb(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
