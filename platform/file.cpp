#include "file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "device.h"
#include "error.h"
#include "sys.h"
#include "text.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

// Opens a host path MapPathInside resolved. A file it creates is 0600 whatever the umask;
// an existing file keeps its mode. A link put in place since the check is refused.
int OpenPrivate(const fs::path& host, int flags) {
    flags |= O_NOFOLLOW;
    if (!(flags & O_CREAT)) return SysOpen(host.c_str(), flags);
    for (int attempt = 0;; ++attempt) {
        if (!(flags & O_EXCL)) {
            int fd = SysOpen(host.c_str(), flags & ~O_CREAT);
            if (fd >= 0 || errno != ENOENT) return fd;
        }
        int fd = SysOpen(host.c_str(), flags | O_EXCL, kPrivateFileMode);
        if (fd >= 0) {
            ::fchmod(fd, kPrivateFileMode);
            return fd;
        }
        // Made meanwhile by another program: open that one.
        if (errno != EEXIST || (flags & O_EXCL) || attempt > 8) return fd;
    }
}

void SyncFolder(const fs::path& dir) {
    int dfd = SysOpen(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        Sys().fsync(dfd);
        SysClose(dfd);
    }
}

// True when `fd` is the file that `host` names now (not deleted, not renamed over).
bool StillAtPath(int fd, const fs::path& host) {
    struct stat held, now;
    if (fstat(fd, &held) != 0 || ::lstat(host.c_str(), &now) != 0) return false;
    return held.st_dev == now.st_dev && held.st_ino == now.st_ino;
}

}  // namespace

File::~File() { Close(); }
File::File(File&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

File File::Open(std::u16string_view path, uint32_t access, uint32_t share,
                Disposition disposition) {
    int flags = 0;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) {
        flags = O_RDWR;
    } else if (access & GENERIC_WRITE) {
        flags = O_WRONLY;
    } else if (access & GENERIC_READ) {
        flags = O_RDONLY;
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return File();
    }
    bool truncate = false;
    switch (disposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT; truncate = true; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: truncate = true; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return File();
    }
    if (truncate && !(access & GENERIC_WRITE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return File();
    }
    fs::path host;
    if (!MapPathInside(path, host)) return File();
    std::error_code ec;
    if (fs::is_directory(host, ec)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return File();
    }
    // A lock taken on a file that another program has meanwhile deleted or replaced by a
    // rename guards nothing: whoever opens the path next gets the new file. So the locked
    // file must still be the one at the path, else open again.
    int fd = -1;
    for (int attempt = 0;; ++attempt) {
        fd = OpenPrivate(host, flags);
        if (fd < 0) {
            int err = errno;
            if (err == EEXIST) {
                SetLastError(ERROR_FILE_EXISTS);
            } else if (err == ENOENT && !fs::is_directory(host.parent_path(), ec)) {
                SetLastError(ERROR_PATH_NOT_FOUND);
            } else {
                SetLastErrorFromErrno(err, "cannot open " + host.string());
            }
            return File();
        }
        // Lock before truncating so a shared holder never sees its file emptied under it.
        int op = (share == FILE_SHARE_NONE ? LOCK_EX : LOCK_SH) | LOCK_NB;
        if (SysFlock(fd, op) != 0) {
            int err = errno;
            SysClose(fd);
            if (err == EWOULDBLOCK) {
                SetLastError(ERROR_SHARING_VIOLATION);
            } else {
                SetLastErrorFromErrno(err);
            }
            return File();
        }
        if (StillAtPath(fd, host)) break;
        SysClose(fd);
        if (attempt == 20) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return File();
        }
    }
    if (truncate && Sys().ftruncate(fd, 0) != 0) {
        SetLastErrorFromErrno(errno);
        SysClose(fd);
        return File();
    }
    SetLastError(ERROR_SUCCESS);
    return File(fd);
}

File File::OpenWait(std::u16string_view path, uint32_t access, uint32_t share,
                    Disposition disposition, uint32_t waitMs) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        File f = Open(path, access, share, disposition);
        if (f || GetLastError() != ERROR_SHARING_VIOLATION) return f;
        auto now = Clock::now();
        if (now >= deadline) return f;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
        SetLastError(ERROR_SHARING_VIOLATION);
    }
}

File File::OpenRead(std::u16string_view path) {
    return Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}
File File::Create(std::u16string_view path) {
    return Open(path, GENERIC_WRITE, FILE_SHARE_NONE, CREATE_ALWAYS);
}
File File::OpenAppend(std::u16string_view path) {
    File f = Open(path, GENERIC_WRITE, FILE_SHARE_NONE, OPEN_ALWAYS);
    if (f && f.Seek(0, FILE_END) < 0) f.Close();
    return f;
}

bool File::Read(void* buf, size_t n, size_t* got) {
    *got = 0;
    if (m_fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    ssize_t r = SysRead(m_fd, buf, n);
    if (r < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    *got = static_cast<size_t>(r);
    return true;
}

bool File::ReadExact(void* buf, size_t n) {
    auto p = static_cast<char*>(buf);
    while (n > 0) {
        size_t got;
        if (!Read(p, n, &got)) return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        p += got;
        n -= got;
    }
    return true;
}

bool File::Write(const void* buf, size_t n) {
    if (m_fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!SysWriteAll(m_fd, buf, n)) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

int64_t File::Seek(int64_t offset, SeekOrigin origin) {
    if (m_fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    off_t r = Sys().lseek(m_fd, offset, origin);
    if (r < 0) SetLastErrorFromErrno(errno);
    return r;
}

int64_t File::Tell() { return Seek(0, FILE_CURRENT); }

int64_t File::Size() {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    return st.st_size;
}

bool File::SetEndOfFile() {
    int64_t pos = Tell();
    if (pos < 0) return false;
    if (Sys().ftruncate(m_fd, pos) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool File::Flush() {
    if (m_fd < 0 || Sys().fsync(m_fd) != 0) {
        SetLastErrorFromErrno(m_fd < 0 ? EBADF : errno);
        return false;
    }
    return true;
}

void File::Close() {
    if (m_fd >= 0) {
        SysClose(m_fd);
        m_fd = -1;
    }
}

bool FileExists(std::u16string_view path) {
    fs::path host;
    std::error_code ec;
    return MapPathInside(path, host) && fs::is_regular_file(host, ec);
}

bool DirectoryExists(std::u16string_view path) {
    fs::path host;
    std::error_code ec;
    return MapPathInside(path, host) && fs::is_directory(host, ec);
}

bool DeleteFile(std::u16string_view path) {
    // A link is removed itself, never what it points at.
    fs::path host;
    if (!MapPathInside(path, host, false)) return false;
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (Sys().unlink(host.c_str()) != 0) {
        SetLastErrorFromErrno(errno, "cannot delete " + host.string());
        return false;
    }
    return true;
}

bool CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists) {
    std::string bytes;
    if (!ReadFileBytes(from, bytes)) return false;
    if (failIfExists && FileExists(to)) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }
    File out = File::Create(to);
    if (!out) return false;
    return out.Write(bytes);
}

bool MoveFile(std::u16string_view from, std::u16string_view to) {
    fs::path src, dst;
    if (!MapPathInside(from, src, false) || !MapPathInside(to, dst, false)) return false;
    if (Sys().rename(src.c_str(), dst.c_str()) != 0) {
        SetLastErrorFromErrno(errno, "cannot move " + src.string() + " to " + dst.string());
        return false;
    }
    return true;
}

bool CreateDirectory(std::u16string_view path) {
    fs::path host;
    if (!MapPathInside(path, host, false)) return false;
    struct stat st;
    if (::lstat(host.c_str(), &st) == 0) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    if (::mkdir(host.c_str(), kPrivateDirMode) != 0) {
        int err = errno;
        if (err == ENOENT) {
            SetLastError(ERROR_PATH_NOT_FOUND);
        } else {
            SetLastErrorFromErrno(err, "cannot create " + host.string());
        }
        return false;
    }
    ::chmod(host.c_str(), kPrivateDirMode);  // whatever the umask took away
    return true;
}

bool CreateDirectories(std::u16string_view path) {
    fs::path host;
    if (!MapPathInside(path, host)) return false;
    if (int err = CreatePrivateDirectories(host)) {
        SetLastErrorFromErrno(err, "cannot create " + host.string());
        return false;
    }
    return true;
}

bool RemoveDirectory(std::u16string_view path) {
    fs::path host;
    if (!MapPathInside(path, host, false)) return false;
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (::rmdir(host.c_str()) != 0) {
        SetLastErrorFromErrno(errno, "cannot remove " + host.string());
        return false;
    }
    return true;
}

bool ReadFileBytes(std::u16string_view path, std::string& out) {
    out.clear();
    File f = File::OpenRead(path);
    if (!f) return false;
    char buf[65536];
    for (;;) {
        size_t got;
        if (!f.Read(buf, sizeof buf, &got)) return false;
        if (got == 0) return true;
        out.append(buf, got);
    }
}

bool WriteFileAtomic(std::u16string_view path, std::string_view bytes) {
    fs::path host;
    if (!MapPathInside(path, host)) return false;
    // The copy is never more open than 0600, nor than the file it replaces (a user's chmod
    // stays).
    mode_t mode = kPrivateFileMode;
    struct stat old;
    if (::stat(host.c_str(), &old) == 0) mode &= old.st_mode;
    // Each writer its own temporary, so two programs saving at once never write into one.
    static std::atomic<unsigned> s_counter{0};
    fs::path tmp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        tmp = host;
        tmp += ".part" + std::to_string(::getpid()) + "-" + std::to_string(s_counter++);
        fd = SysOpen(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        SetLastErrorFromErrno(errno, "cannot create " + tmp.string());
        return false;
    }
    ::fchmod(fd, mode);
    bool ok = SysWriteAll(fd, bytes.data(), bytes.size()) && Sys().fsync(fd) == 0;
    int err = errno;
    SysClose(fd);
    if (ok && Sys().rename(tmp.c_str(), host.c_str()) == 0) {
        SyncFolder(host.parent_path());  // the rename itself survives a power cut
        return true;
    }
    if (ok) err = errno;
    Sys().unlink(tmp.c_str());
    SetLastErrorFromErrno(err, "cannot write " + host.string());
    return false;
}

bool MatchPattern(std::u16string_view pattern, std::u16string_view name) {
    // Iterative wildcard match with one backtrack point.
    size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p, ++n;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++, starN = n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1, n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

std::vector<FindData> FindFiles(std::u16string_view pattern) {
    std::vector<FindData> out;
    size_t cut = pattern.find_last_of(u"\\/");
    std::u16string_view dir = cut == std::u16string_view::npos ? u"" : pattern.substr(0, cut);
    std::u16string_view mask = cut == std::u16string_view::npos ? pattern : pattern.substr(cut + 1);
    fs::path host;
    if (!MapPathInside(dir, host)) return out;
    std::error_code ec;
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
        std::u16string name = FromUtf8(it->path().filename().string());
        if (!MatchPattern(mask, name)) continue;
        FindData d;
        d.name = name;
        // A link leading out of the device is listed, but nothing of its target is told.
        fs::path target;
        uint32_t saved = GetLastError();
        bool inside = !it->is_symlink(ec) ||
                      MapPathInside(std::u16string(dir) + u"\\" + name, target);
        SetLastError(saved);
        if (inside) {
            d.isDirectory = it->is_directory(ec);
            d.size = d.isDirectory ? 0 : it->file_size(ec);
        }
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(),
              [](const FindData& a, const FindData& b) { return a.name < b.name; });
    if (out.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
    return out;
}

}  // namespace ce
