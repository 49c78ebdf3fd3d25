#include "tools/kvophone/cli.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/kvophone/phone_sim.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone {

const char kUsage[] =
    "usage: kvophone --link PATH [--scenario FILE] [--baud N] [--journal FILE] "
    "[--state-out FILE]\n"
    "                [--dialect KEY=VALUE]...\n";

bool ParseCommandLine(const std::vector<std::string>& args, CliOptions& options,
                      std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string baud;
        if (a == "--link") {
            if (!value(options.strLink)) return false;
        } else if (a == "--scenario") {
            if (!value(options.strScenario)) return false;
        } else if (a == "--journal") {
            if (!value(options.strJournal)) return false;
        } else if (a == "--state-out") {
            if (!value(options.strStateOut)) return false;
        } else if (a == "--dialect") {
            std::string line;
            if (!value(line)) return false;
            Dialect check;
            std::string why;
            if (!ApplyDialectSetting(line, check, why)) {
                error = "--dialect " + line + ": " + why;
                return false;
            }
            options.dialect.push_back(line);
        } else if (a == "--baud") {
            if (!value(baud)) return false;
            char* end = nullptr;
            long n = std::strtol(baud.c_str(), &end, 10);
            if (baud.empty() || *end || n <= 0 || n > 4000000) {
                error = "bad baud rate '" + baud + "'";
                return false;
            }
            options.nBaud = static_cast<int>(n);
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (options.strLink.empty()) {
        error = "--link is required";
        return false;
    }
    return true;
}

int RunKvophone(const CliOptions& options, std::ostream& out, std::ostream& err,
                const std::atomic<bool>& stop) {
    Scenario scenario = DefaultScenario();
    if (!options.strScenario.empty()) {
        std::ifstream in(options.strScenario, std::ios::binary);
        if (!in) {
            err << "kvophone: cannot read " << options.strScenario << "\n";
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::string error;
        if (!ParseScenario(text.str(), scenario, error)) {
            err << "kvophone: " << options.strScenario << ": " << error << "\n";
            return 1;
        }
    }
    std::string error;
    for (const std::string& line : options.dialect) {
        if (!ApplyDialectSetting(line, scenario.dialect, error)) {
            err << "kvophone: --dialect " << line << ": " << error << "\n";
            return 1;
        }
    }
    CPhoneSim sim(scenario);
    if (!options.strJournal.empty() && !sim.SetJournalFile(options.strJournal, error)) {
        err << "kvophone: " << error << "\n";
        return 1;
    }
    if (!sim.Start(options.strLink, options.nBaud, error)) {
        err << "kvophone: " << error << "\n";
        return 1;
    }
    out << "kvophone: serving " << sim.SlavePath() << " as " << options.strLink << std::endl;
    while (!stop.load() && sim.IsRunning()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    bool bHungUp = sim.IsHungUp();
    sim.Stop();
    if (!options.strStateOut.empty()) {
        std::ofstream state(options.strStateOut, std::ios::binary | std::ios::trunc);
        state << FormatScenario(sim.State());
        if (!state.flush()) {
            err << "kvophone: cannot write " << options.strStateOut << "\n";
            return 1;
        }
    }
    out << "kvophone: " << (bHungUp ? "line closed" : "stopped") << std::endl;
    return 0;
}

}  // namespace kvo::phone
