// The kvophone command line: options and the serving loop, kept out of main for tests.
#pragma once
#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace kvo::phone {

struct CliOptions {
    std::string strLink;
    std::string strScenario;
    std::string strJournal;
    std::string strStateOut;
    int nBaud = 0;
    std::vector<std::string> dialect;  // "key=value" lines laid over the scenario's [dialect]
};

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options,
                      std::string& error);
extern const char kUsage[];

// Serves until stop becomes true or the line is closed; writes the state on the way out.
// Returns the process exit code.
int RunKvophone(const CliOptions& options, std::ostream& out, std::ostream& err,
                const std::atomic<bool>& stop);

}  // namespace kvo::phone
