// kvophone: a GSM phone on a pseudo-terminal, for the suite's tests and demo.
#include <signal.h>

#include <atomic>
#include <iostream>
#include <string>
#include <vector>

#include "tools/kvophone/cli.h"

namespace {
std::atomic<bool> g_bStop{false};
void OnSignal(int) { g_bStop = true; }
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kvo::phone::CliOptions options;
    std::string error;
    if (!kvo::phone::ParseCommandLine(args, options, error)) {
        std::cerr << "kvophone: " << error << "\n" << kvo::phone::kUsage;
        return 2;
    }
    struct sigaction sa{};
    sa.sa_handler = OnSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return kvo::phone::RunKvophone(options, std::cout, std::cerr, g_bStop);
}
