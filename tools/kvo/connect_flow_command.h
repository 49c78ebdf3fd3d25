// `kvo connect detect|up|down|entry|call|intranet|mail-account|uninstall`: the connection
// manager's flows without its window.
#pragma once
#include <map>
#include <string>

#include "tools/kvo/commands.h"

namespace kvo::cli {

void AddConnectFlowCommands(std::map<std::string, Command>& table);

}  // namespace kvo::cli
