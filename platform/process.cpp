#include "process.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "device.h"
#include "error.h"
#include "text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace ce {

pid_t CreateProcess(std::u16string_view path, std::u16string_view commandLine) {
    fs::path host = MapPath(path);
    std::error_code ec;
    if (!fs::exists(host, ec)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return -1;
    }
    std::string exe = host.string();
    std::string arg = ToUtf8(commandLine);
    std::vector<char*> argv{exe.data()};
    if (!arg.empty()) argv.push_back(arg.data());
    argv.push_back(nullptr);

    // The child must see the same device, whatever chose it here.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).substr(0, 11) != "KVO_DEVICE=") env.emplace_back(*e);
    env.push_back("KVO_DEVICE=" + DeviceRoot().string());
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);

    // exec through the link itself, so the process's name is the link's name.
    pid_t pid;
    int rc = posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data());
    if (rc != 0) {
        SetLastErrorFromErrno(rc);
        return -1;
    }
    return pid;
}

int WaitProcess(pid_t pid) {
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<ProcessEntry> ProcessSnapshot() {
    std::vector<ProcessEntry> out;
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream comm(it->path() / "comm");
        std::string line;
        if (!std::getline(comm, line)) continue;  // gone meanwhile
        // A zombie has ended; it is only waiting to be reaped.
        std::ifstream stat(it->path() / "stat");
        std::string statLine;
        std::getline(stat, statLine);
        size_t paren = statLine.rfind(')');
        if (paren != std::string::npos && paren + 2 < statLine.size() &&
            statLine[paren + 2] == 'Z')
            continue;
        out.push_back({static_cast<pid_t>(std::atoi(name.c_str())), FromUtf8(line)});
    }
    return out;
}

std::vector<ProcessEntry> DeviceProcessSnapshot() {
    std::error_code ec;
    const fs::path mine = fs::weakly_canonical(DeviceRoot(), ec);
    const char* ownEnv = std::getenv("KVO_DEVICE");
    std::vector<ProcessEntry> out;
    for (ProcessEntry& p : ProcessSnapshot()) {
        std::ifstream in("/proc/" + std::to_string(p.pid) + "/environ", std::ios::binary);
        if (!in) continue;  // another user's: not on our device
        std::string entry;
        std::optional<std::string> root;
        while (std::getline(in, entry, '\0')) {
            if (entry.rfind("KVO_DEVICE=", 0) == 0) root = entry.substr(11);
        }
        bool same = root ? fs::weakly_canonical(*root, ec) == mine : (ownEnv == nullptr);
        if (same) out.push_back(std::move(p));
    }
    return out;
}

bool IsProcessRunning(std::u16string_view exeName) {
    // comm holds at most 15 bytes of the name.
    std::u16string want(exeName.substr(0, 15));
    for (const auto& p : ProcessSnapshot())
        if (EqualsNoCase(p.exeName, want)) return true;
    return false;
}

}  // namespace ce
