// The `kvodat` command: packs the readable database source into "kvo.dat" and checks, dumps
// and unpacks data files.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/kvodat/host_file.h"

namespace kvo::kvodat {

// Exit codes: 0 done, 1 a file was unreadable or not a valid data file, 2 usage error.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Every file the command writes goes through this write(2); empty restores the real one.
void SetWriteCallForTest(WriteCall call);

}  // namespace kvo::kvodat
