#include "sys.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace ce {
namespace {

int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int RealRename(const char* from, const char* to) { return ::rename(from, to); }

const SysCalls kReal = {
    RealOpen, ::close, ::read, ::write, ::lseek, ::ftruncate, ::fsync, RealRename, ::unlink,
    ::flock,
};

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

}  // namespace ce
