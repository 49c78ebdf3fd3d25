// `kvo-device reg ...`: the emulated registry from the shell.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kvo::device {

// args after "reg". Exit code: 0 ok, 1 failure (missing key or value, bad hive), 2 usage.
int RunRegCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kRegUsage;

}  // namespace kvo::device
