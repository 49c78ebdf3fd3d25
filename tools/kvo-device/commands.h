// The subcommands of kvo-device.
#pragma once
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace kvo::device {

struct Command {
    std::string usage;  // one line: "create", "reg get KEY [NAME]" ...
    std::string help;   // what it does
    std::function<int(const std::vector<std::string>& args, std::ostream& out,
                       std::ostream& err)>
        run;
};

// Registered subcommands by name; later parts of the suite add theirs.
std::map<std::string, Command>& Commands();

// Folder of the built programs: $KVO_BIN_DIR, else the folder of this executable.
std::filesystem::path ProgramDir();

// Why the last platform call failed, in words ("permission denied", or the registry file's
// own complaint such as "system.reg:12: bad dword value").
std::string LastErrorText();

// Parses the global options (--device DIR, --help) and runs a subcommand.
int Main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kvo::device
