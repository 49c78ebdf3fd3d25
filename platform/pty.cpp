#include "pty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "sys.h"

namespace ce {
namespace {

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

bool MakeRaw(int fd, int baud, std::string& error) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        error = Errno("tcgetattr");
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (baud > 0) {
        speed_t speed;
        switch (baud) {
            case 9600:
                speed = B9600;
                break;
            case 19200:
                speed = B19200;
                break;
            case 38400:
                speed = B38400;
                break;
            case 57600:
                speed = B57600;
                break;
            case 115200:
                speed = B115200;
                break;
            case 230400:
                speed = B230400;
                break;
            default:
                error = "unsupported baud rate " + std::to_string(baud);
                return false;
        }
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = Errno("tcsetattr");
        return false;
    }
    return true;
}

PtyMaster::~PtyMaster() {
    Close();
}

PtyMaster::PtyMaster(PtyMaster&& other) noexcept {
    *this = std::move(other);
}

PtyMaster& PtyMaster::operator=(PtyMaster&& other) noexcept {
    if (this != &other) {
        Close();
        m_fdMaster = std::exchange(other.m_fdMaster, -1);
        m_fdSlaveHold = std::exchange(other.m_fdSlaveHold, -1);
        m_slavePath = std::move(other.m_slavePath);
        m_linkPath = std::move(other.m_linkPath);
        other.m_slavePath.clear();
        other.m_linkPath.clear();
    }
    return *this;
}

bool PtyMaster::Open(std::string& error, PtyLine line) {
    Close();
    int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = Errno("posix_openpt");
        return false;
    }
    char name[128];
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
        error = Errno("pty setup");
        ::close(fd);
        return false;
    }
    // The master's settings are the slave's: raw here keeps its line discipline from touching
    // the phone's bytes.
    if (line == PtyLine::Raw && !MakeRaw(fd, 0, error)) {
        ::close(fd);
        return false;
    }
    int hold = SysOpen(name, O_RDWR | O_NOCTTY);
    if (hold < 0) {
        error = Errno("open pty slave");
        ::close(fd);
        return false;
    }
    if (line == PtyLine::Raw && !MakeRaw(hold, 0, error)) {
        ::close(hold);
        ::close(fd);
        return false;
    }
    m_fdMaster = fd;
    m_fdSlaveHold = hold;
    m_slavePath = name;
    return true;
}

bool PtyMaster::Link(const std::string& linkPath, std::string& error) {
    if (!IsOpen()) {
        error = "pty not open";
        return false;
    }
    struct stat st {};
    if (lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = linkPath + " exists and is not a link";
            return false;
        }
        ::unlink(linkPath.c_str());
    }
    if (symlink(m_slavePath.c_str(), linkPath.c_str()) != 0) {
        error = Errno(("symlink " + linkPath).c_str());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PtyMaster::ReleaseSlaveHold() {
    if (m_fdSlaveHold >= 0) {
        SysClose(m_fdSlaveHold);
        m_fdSlaveHold = -1;
    }
}

void PtyMaster::Close() {
    ReleaseSlaveHold();
    if (m_fdMaster >= 0) {
        SysClose(m_fdMaster);
        m_fdMaster = -1;
    }
    if (!m_linkPath.empty()) {
        // Only our own link: someone may have replaced it meanwhile.
        char target[256];
        ssize_t n = readlink(m_linkPath.c_str(), target, sizeof target - 1);
        if (n > 0) {
            target[n] = 0;
            if (m_slavePath == target)
                ::unlink(m_linkPath.c_str());
        }
        m_linkPath.clear();
    }
    m_slavePath.clear();
}

}  // namespace ce
