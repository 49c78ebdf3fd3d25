// Runs the suite's programs as real processes, the way a person or a script does.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kvo::test {

// A built program: KVO_BINARY_DIR/bin/<name>.
inline std::string BuiltProgram(const std::string& name) {
    return std::string(KVO_BINARY_DIR) + "/bin/" + name;
}

struct ProgramResult {
    int status = -1;  // the exit code; 128 + signal when killed; 127 when it could not start
    std::string out, err;
};

// Starts `program` with stdout and stderr on the given descriptors (-1: /dev/null). With
// `uid` >= 0 it runs as that user and group.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                          int outFd, int errFd, int uid = -1) {
    // Everything the child needs is made before the fork: after it, only calls that are safe
    // in a copy of a threaded process.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int null = open("/dev/null", O_RDWR);
    dup2(outFd >= 0 ? outFd : null, 1);
    dup2(errFd >= 0 ? errFd : null, 2);
    dup2(null, 0);
    if (uid >= 0 && (setgid(static_cast<gid_t>(uid)) != 0 || setuid(static_cast<uid_t>(uid)) != 0))
        _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
}

// Waits for a started program; a program still running after `timeoutMs` is killed and
// reported as -1.
inline int WaitProgram(pid_t pid, int timeoutMs = 60000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs a program to its end and collects what it printed. One still running after
// `timeoutMs` is killed and reported with status -1.
inline ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                int uid = -1, int timeoutMs = 60000) {
    ProgramResult result;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return result;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return result;
    }
    pid_t pid = StartProgram(program, args, out[1], err[1], uid);
    close(out[1]);
    close(err[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* into[2] = {&result.out, &result.err};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool killed = false;
    int live = pid > 0 ? 2 : 0;
    while (live > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !killed) {
            kill(pid, SIGKILL);
            killed = true;
        }
        int ready = poll(fds, 2, killed ? -1 : static_cast<int>(left.count()) + 1);
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; ready > 0 && i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents)
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                into[i]->append(buf, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --live;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0)
            close(f.fd);
    if (pid > 0)
        result.status = WaitProgram(pid);
    if (killed)
        result.status = -1;
    return result;
}

}  // namespace kvo::test
