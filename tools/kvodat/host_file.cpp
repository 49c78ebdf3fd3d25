#include "tools/kvodat/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

namespace kvo::kvodat {
namespace {

std::string Reason(int err) { return std::strerror(err); }

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

class CFd {
public:
    explicit CFd(int fd) : m_fd(fd) {}
    ~CFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_fd; }
    // Closing reports the last write errors of some file systems.
    bool Close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

}  // namespace

bool ReadHostFile(const std::string& path, std::string& bytes, std::string& error,
                  size_t limit) {
    bytes.clear();
    CFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = "cannot read " + path + ": " + Reason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = "cannot read " + path + ": " + Reason(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read " + path + ": it is a folder, not a file";
        return false;
    }
    // Pipes and devices have no size to check first; the read stops at the limit instead.
    if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > limit) {
        error = "cannot read " + path + ": larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot read " + path + ": " + Reason(errno);
            return false;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            error = "cannot read " + path + ": larger than " + std::to_string(limit) + " bytes";
            bytes.clear();
            return false;
        }
        bytes.append(buf, static_cast<size_t>(n));
    }
    return true;
}

bool WriteHostFileAtomic(const std::string& path, const std::string& bytes, std::string& error,
                         const WriteCall& write) {
    std::string folder = FolderOf(path);
    // A name of its own per writer: two builds packing at once must not share a temporary.
    std::random_device rd;
    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%d.%08x.tmp", static_cast<int>(::getpid()),
                      static_cast<unsigned>(rd()));
        temp = path + suffix;
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (raw < 0 && errno != EEXIST) break;
    }
    if (raw < 0) {
        error = "cannot write " + path + ": " + Reason(errno);
        return false;
    }
    CFd fd(raw);
    auto fail = [&](int err) {
        fd.Close();
        ::unlink(temp.c_str());
        error = "cannot write " + path + ": " + Reason(err);
        return false;
    };
    // Keep the mode of the file being replaced: someone may have made it private.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.Get(), old.st_mode & 07777);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write ? write(fd.Get(), bytes.data() + done, bytes.size() - done)
                          : ::write(fd.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : ENOSPC);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.Get()) != 0) return fail(errno);
    if (!fd.Close()) {
        int err = errno;
        ::unlink(temp.c_str());
        error = "cannot write " + path + ": " + Reason(err);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        error = "cannot write " + path + ": " + Reason(err);
        return false;
    }
    // The rename itself is only durable once the folder is.
    CFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
    return true;
}

}  // namespace kvo::kvodat
