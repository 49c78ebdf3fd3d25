// The one seam for the system calls behind files, locks, ports and ptys: every call retries
// EINTR here, and tests swap the table to force EINTR, EAGAIN, short writes or ENOSPC.
#pragma once
#include <poll.h>
#include <sys/types.h>
#include <termios.h>

namespace ce {

struct SysCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buf, size_t n);
    ssize_t (*write)(int fd, const void* buf, size_t n);
    off_t (*lseek)(int fd, off_t off, int whence);
    int (*ftruncate)(int fd, off_t len);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*flock)(int fd, int op);
    // Serial ports and ptys.
    int (*poll)(pollfd* fds, nfds_t n, int timeoutMs);
    int (*ioctl)(int fd, unsigned long request, void* arg);
    int (*tcgetattr)(int fd, termios* tio);
    int (*tcsetattr)(int fd, int when, const termios* tio);
    int (*tcflush)(int fd, int queue);
};

// The table in use; the real calls unless a test replaced it.
const SysCalls& Sys();
const SysCalls& RealSys();

// Replaces the table for the lifetime of the object (tests only; not thread safe against
// calls running at the moment of the swap).
class ScopedSysOverride {
public:
    explicit ScopedSysOverride(const SysCalls& calls);
    ~ScopedSysOverride();
    ScopedSysOverride(const ScopedSysOverride&) = delete;
    ScopedSysOverride& operator=(const ScopedSysOverride&) = delete;

private:
    const SysCalls* m_pPrevious;
};

// EINTR-retrying wrappers over Sys().
int SysOpen(const char* path, int flags, mode_t mode = 0666);
int SysClose(int fd);
ssize_t SysRead(int fd, void* buf, size_t n);
// Writes everything, continuing after short writes; false with errno set on failure.
bool SysWriteAll(int fd, const void* buf, size_t n);
int SysFlock(int fd, int op);
// One poll; EINTR restarts it with the time that is left.
int SysPoll(pollfd* fds, nfds_t n, int timeoutMs);
int SysIoctl(int fd, unsigned long request, void* arg);
int SysTcGetAttr(int fd, termios* tio);
int SysTcSetAttr(int fd, int when, const termios* tio);
int SysTcFlush(int fd, int queue);

}  // namespace ce
