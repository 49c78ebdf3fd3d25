// The command table of `kvo`, the suite's command line. Each module adds its commands.
#pragma once
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace kvo::cli {

using RunFn =
    std::function<int(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)>;

struct Command {
    std::string usage;  // "phone info [--port PORT]"
    std::string help;   // one line
    RunFn run;
    bool bGroup = false;  // has subcommands of its own, which answer --help themselves
};

// Exit codes.
enum : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Top-level commands by name.
std::map<std::string, Command>& Commands();

// Runs a table of subcommands ("kvo phone info ..."): `--help` at this level lists them.
int RunSubcommand(const std::string& prefix, const std::map<std::string, Command>& table,
                  const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// True (and help printed) when args ask for help on a leaf command.
bool WantsHelp(const std::vector<std::string>& args, const Command& c, std::ostream& out);

// Parses the global options (--device DIR, --help) and runs a command.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::cli
