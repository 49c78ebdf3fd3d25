#include "sys.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace ce {
namespace {

int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int RealRename(const char* from, const char* to) { return ::rename(from, to); }
int RealIoctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

const SysCalls kReal = {
    RealOpen, ::close, ::read, ::write, ::lseek, ::ftruncate, ::fsync, RealRename, ::unlink,
    ::flock,     ::poll,   RealIoctl,   ::tcgetattr, ::tcsetattr, ::tcflush,
};

long long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

std::atomic<const SysCalls*> g_sys{&kReal};

}  // namespace

const SysCalls& Sys() { return *g_sys.load(std::memory_order_acquire); }
const SysCalls& RealSys() { return kReal; }

ScopedSysOverride::ScopedSysOverride(const SysCalls& calls)
    : m_pPrevious(g_sys.exchange(&calls, std::memory_order_acq_rel)) {}
ScopedSysOverride::~ScopedSysOverride() { g_sys.store(m_pPrevious, std::memory_order_release); }

int SysOpen(const char* path, int flags, mode_t mode) {
    int fd;
    do {
        fd = Sys().open(path, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int SysClose(int fd) {
    // close must not be retried on EINTR: the descriptor is gone either way.
    return Sys().close(fd);
}

ssize_t SysRead(int fd, void* buf, size_t n) {
    ssize_t r;
    do {
        r = Sys().read(fd, buf, n);
    } while (r < 0 && errno == EINTR);
    return r;
}

bool SysWriteAll(int fd, const void* buf, size_t n) {
    auto p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t w = Sys().write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

int SysFlock(int fd, int op) {
    int r;
    do {
        r = Sys().flock(fd, op);
    } while (r < 0 && errno == EINTR);
    return r;
}

int SysPoll(pollfd* fds, nfds_t n, int timeoutMs) {
    long long deadline = timeoutMs < 0 ? 0 : NowMs() + timeoutMs;
    for (;;) {
        int r = Sys().poll(fds, n, timeoutMs);
        if (r >= 0 || errno != EINTR) return r;
        if (timeoutMs >= 0) {
            long long left = deadline - NowMs();
            timeoutMs = left > 0 ? static_cast<int>(left) : 0;
        }
    }
}

int SysIoctl(int fd, unsigned long request, void* arg) {
    int r;
    do {
        r = Sys().ioctl(fd, request, arg);
    } while (r < 0 && errno == EINTR);
    return r;
}

int SysTcGetAttr(int fd, termios* tio) {
    int r;
    do {
        r = Sys().tcgetattr(fd, tio);
    } while (r < 0 && errno == EINTR);
    return r;
}

int SysTcSetAttr(int fd, int when, const termios* tio) {
    int r;
    do {
        r = Sys().tcsetattr(fd, when, tio);
    } while (r < 0 && errno == EINTR);
    return r;
}

int SysTcFlush(int fd, int queue) {
    int r;
    do {
        r = Sys().tcflush(fd, queue);
    } while (r < 0 && errno == EINTR);
    return r;
}

}  // namespace ce
