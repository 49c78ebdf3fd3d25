#include "serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

#include "platform/device.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/sys.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace ce {
namespace {

// How long a writer waits per slice before it looks at its stop condition again.
constexpr int kWriteSliceMs = 50;

struct SpeedEntry {
    uint32_t baud;
    speed_t speed;
};
// Every speed Linux has a B-constant for. The handheld's 14400, 28800, 56000, 128000 and
// 256000 have none, so they are refused by name rather than rounded to a neighbour.
constexpr SpeedEntry kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},
    {1800, B1800},       {2400, B2400},       {4800, B4800},       {9600, B9600},
    {19200, B19200},     {38400, B38400},     {57600, B57600},     {115200, B115200},
    {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
    {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
    {4000000, B4000000},
};

std::optional<speed_t> SpeedOf(uint32_t baud) {
    for (const auto& e : kSpeeds)
        if (e.baud == baud)
            return e.speed;
    return std::nullopt;
}

uint32_t BaudOf(speed_t speed) {
    for (const auto& e : kSpeeds)
        if (e.speed == speed)
            return e.baud;
    return 0;
}

thread_local std::string t_problem;

void SetProblem(std::string text) {
    t_problem = std::move(text);
}

// What must be off for the phone's bytes to pass untouched: a fresh tty comes up with echo,
// line editing, signals, CR/LF translation and XON/XOFF on, and 0x11/0x13 are GSM letters.
constexpr tcflag_t kRawIflag =
    IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | IMAXBEL;
constexpr tcflag_t kRawOflag = OPOST;
constexpr tcflag_t kRawLflag = ECHO | ECHONL | ICANON | ISIG | IEXTEN;

void MakeBinary(termios& tio) {
    cfmakeraw(&tio);
    tio.c_iflag &= ~(kRawIflag | INPCK);
    tio.c_oflag &= ~kRawOflag;
    tio.c_lflag &= ~kRawLflag;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

bool IsBinary(const termios& tio) {
    return (tio.c_iflag & kRawIflag) == 0 && (tio.c_oflag & kRawOflag) == 0 &&
           (tio.c_lflag & kRawLflag) == 0;
}

// The flags SetCommState sets and then expects to read back (besides the binary ones).
constexpr tcflag_t kCflagChecked = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kIflagChecked = INPCK | IXON | IXOFF | IXANY;

std::string ErrnoText(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

}  // namespace

std::optional<fs::path> ResolvePortName(std::u16string_view name) {
    if (!name.empty() && name[0] == u'/')
        return fs::path(ToUtf8(name));
    auto value = RegQueryValue(HKEY_LOCAL_MACHINE, kPortMapKey, name);
    std::optional<std::u16string> text = value ? value->AsSz() : std::nullopt;
    if (!text || text->empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    fs::path device(ToUtf8(*text));
    if (device.is_relative())
        device = DeviceRoot() / device;
    return device;
}

std::shared_ptr<SerialPort> SerialPort::Open(const fs::path& device) {
    SetProblem({});
    int fd = SysOpen(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        SetProblem(ErrnoText(device.c_str(), errno));
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        SysClose(fd);
        SetProblem(device.string() + ": not a serial device");
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // flock holds against every other open, in this process or another; TIOCEXCL also keeps
    // programs out that do not lock (root ignores it, and so may a pty).
    if (SysFlock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        SysClose(fd);
        SetProblem(device.string() +
                   (err == EWOULDBLOCK ? ": in use by another program" : ": cannot be locked"));
        SetLastError(err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    SysIoctl(fd, TIOCEXCL, nullptr);
    auto fail = [&](uint32_t code, std::string problem) -> std::shared_ptr<SerialPort> {
        SetProblem(device.string() + ": " + problem);
        SysIoctl(fd, TIOCNXCL, nullptr);
        SysClose(fd);
        SetLastError(code);
        return nullptr;
    };
    // Binary from the first byte, whatever mode the device came up in; the speed stays as it
    // is until the line is set.
    termios tio{};
    if (SysTcGetAttr(fd, &tio) != 0)
        return fail(ERROR_INVALID_PARAMETER, ErrnoText("not a terminal", errno));
    MakeBinary(tio);
    termios back{};
    if (SysTcSetAttr(fd, TCSANOW, &tio) != 0 || SysTcGetAttr(fd, &back) != 0 || !IsBinary(back))
        return fail(ERROR_GEN_FAILURE, "the device does not take binary mode");
    // Whatever waits in the driver belongs to an earlier session (a reply that came after its
    // program was killed); read now, it would be taken as the answer to our first command.
    // Input only: what an earlier handle wrote still goes out.
    SysTcFlush(fd, TCIFLUSH);
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        int err = errno;
        fail(ERROR_GEN_FAILURE, ErrnoText("eventfd", err));
        SetLastErrorFromErrno(err);
        return nullptr;
    }
    std::shared_ptr<SerialPort> port(new SerialPort);
    port->m_fd = fd;
    port->m_fdWake = wake;
    port->m_device = device;
    return port;
}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::IsOpen() const {
    return !m_bClosed.load();
}

bool SerialPort::Close() {
    if (m_bClosed.exchange(true))
        return false;
    uint64_t one = 1;
    if (m_fdWake >= 0)
        (void)!::write(m_fdWake, &one, sizeof one);
    std::unique_lock fdLock(m_fdLock);
    // The exclusive flag outlives our descriptor while a pty's other side holds the slave.
    SysIoctl(m_fd, TIOCNXCL, nullptr);
    SysClose(m_fd);
    if (m_fdWake >= 0)
        SysClose(m_fdWake);
    m_fd = -1;
    m_fdWake = -1;
    return true;
}

bool SerialPort::GetCommState(DCB& dcb) {
    std::shared_lock fdLock(m_fdLock);
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    termios tio{};
    if (SysTcGetAttr(m_fd, &tio) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    dcb = DCB{};
    dcb.BaudRate = BaudOf(cfgetospeed(&tio));
    dcb.fBinary = (tio.c_lflag & ICANON) == 0 && (tio.c_oflag & OPOST) == 0;
    dcb.fParity = (tio.c_iflag & INPCK) != 0;
    dcb.fOutxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    dcb.fOutX = (tio.c_iflag & IXON) != 0;
    dcb.fInX = (tio.c_iflag & IXOFF) != 0;
    dcb.fTXContinueOnXoff = (tio.c_iflag & IXANY) != 0;
    dcb.fRtsControl = dcb.fOutxCtsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    int bits = 0;
    if (SysIoctl(m_fd, TIOCMGET, &bits) == 0 && !dcb.fOutxCtsFlow)
        dcb.fRtsControl = (bits & TIOCM_RTS) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (SysIoctl(m_fd, TIOCMGET, &bits) == 0)
        dcb.fDtrControl = (bits & TIOCM_DTR) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            dcb.ByteSize = 5;
            break;
        case CS6:
            dcb.ByteSize = 6;
            break;
        case CS7:
            dcb.ByteSize = 7;
            break;
        default:
            dcb.ByteSize = 8;
            break;
    }
    if (!(tio.c_cflag & PARENB)) {
        dcb.Parity = NOPARITY;
    } else if (tio.c_cflag & CMSPAR) {
        dcb.Parity = (tio.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (tio.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    }
    dcb.StopBits = (tio.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}

bool SerialPort::SetCommState(const DCB& dcb) {
    std::shared_lock fdLock(m_fdLock);
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::optional<speed_t> speed = SpeedOf(dcb.BaudRate);
    if (!speed) {
        SetProblem(std::to_string(dcb.BaudRate) +
                   " baud: Linux has no such serial speed (use 9600, 19200, 38400, 57600, "
                   "115200 or 230400)");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS || dcb.fOutxDsrFlow || !dcb.fBinary) {
        SetProblem("line settings out of range");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    termios tio{};
    if (SysTcGetAttr(m_fd, &tio) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    MakeBinary(tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tio.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case ODDPARITY:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case EVENPARITY:
            tio.c_cflag |= PARENB;
            break;
        case MARKPARITY:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case SPACEPARITY:
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (dcb.StopBits != ONESTOPBIT)
        tio.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY);
    if (dcb.fParity)
        tio.c_iflag |= INPCK;
    if (dcb.fOutX)
        tio.c_iflag |= IXON;
    if (dcb.fInX)
        tio.c_iflag |= IXOFF;
    if (dcb.fTXContinueOnXoff)
        tio.c_iflag |= IXANY;
    cfsetispeed(&tio, *speed);
    cfsetospeed(&tio, *speed);
    if (SysTcSetAttr(m_fd, TCSANOW, &tio) != 0) {
        SetProblem(ErrnoText("line settings", errno));
        SetLastErrorFromErrno(errno);
        return false;
    }
    // tcsetattr succeeds when any one attribute was taken: compare what the device holds.
    termios back{};
    if (SysTcGetAttr(m_fd, &back) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if ((back.c_cflag & kCflagChecked) != (tio.c_cflag & kCflagChecked) ||
        (back.c_iflag & kIflagChecked) != (tio.c_iflag & kIflagChecked) ||
        cfgetospeed(&back) != *speed || cfgetispeed(&back) != *speed || !IsBinary(back)) {
        SetProblem("the device did not take the line settings");
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Modem lines: a pty has none, and that is no reason to refuse the port.
    int rts = TIOCM_RTS, dtr = TIOCM_DTR;
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE)
        SysIoctl(m_fd, dcb.fRtsControl == RTS_CONTROL_ENABLE ? TIOCMBIS : TIOCMBIC, &rts);
    SysIoctl(m_fd, dcb.fDtrControl == DTR_CONTROL_ENABLE ? TIOCMBIS : TIOCMBIC, &dtr);
    return true;
}

bool SerialPort::SetCommMask(uint32_t mask) {
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_nMask = mask;
    return true;
}

uint32_t SerialPort::CommMask() const {
    std::lock_guard lock(m_mutex);
    return m_nMask;
}

bool SerialPort::SetCommTimeouts(const COMMTIMEOUTS& timeouts) {
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
    return true;
}

bool SerialPort::GetCommTimeouts(COMMTIMEOUTS& timeouts) const {
    std::lock_guard lock(m_mutex);
    timeouts = m_timeouts;
    return !m_bClosed;
}

bool SerialPort::WaitFd(short events, int timeoutMs) {
    // Caller holds m_fdLock shared.
    pollfd fds[2] = {{m_fd, events, 0}, {m_fdWake, POLLIN, 0}};
    int r = SysPoll(fds, 2, timeoutMs);
    if (r < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    if (m_bClosed || (fds[1].revents & POLLIN)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (r == 0) {
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    // A hang-up or error counts as ready: the read or write that follows reports it.
    return (fds[0].revents & (events | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialPort::WaitReadable(int timeoutMs) {
    std::shared_lock fdLock(m_fdLock);
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_input.empty())
            return true;
    }
    return WaitFd(POLLIN, timeoutMs);
}

bool SerialPort::ReadAvailable(void* buf, size_t n, size_t* got) {
    *got = 0;
    std::shared_lock fdLock(m_fdLock);
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (m_input.size() < n) {
        uint8_t chunk[512];
        ssize_t r = SysRead(m_fd, chunk, sizeof chunk);
        if (r > 0) {
            m_input.insert(m_input.end(), chunk, chunk + r);
        } else if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // Bytes already buffered are still delivered; the failure shows on the next call.
            if (m_input.empty()) {
                if (r == 0) {
                    SetLastError(ERROR_GEN_FAILURE);
                } else {
                    SetLastErrorFromErrno(errno);
                }
                return false;
            }
        }
    }
    auto p = static_cast<uint8_t*>(buf);
    while (*got < n && !m_input.empty()) {
        p[(*got)++] = m_input.front();
        m_input.pop_front();
    }
    return true;
}

bool SerialPort::Read(void* buf, size_t n, size_t* got) {
    *got = 0;
    if (n == 0)
        return true;
    COMMTIMEOUTS t;
    GetCommTimeouts(t);
    int waitMs;
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0) {
        waitMs = 0;
    } else if (t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
        waitMs = -1;
    } else {
        uint64_t total = uint64_t{t.ReadTotalTimeoutMultiplier} * n;
        if (t.ReadTotalTimeoutConstant != MAXDWORD)
            total += t.ReadTotalTimeoutConstant;
        waitMs = static_cast<int>(std::min<uint64_t>(total, 0x7FFFFFFF));
    }
    if (!WaitReadable(waitMs)) {
        // A time-out is a read of nothing, not a failure.
        return GetLastError() == ERROR_TIMEOUT;
    }
    return ReadAvailable(buf, n, got);
}

bool SerialPort::Write(const void* buf, size_t n, size_t* written,
                       const std::function<bool()>& stop) {
    *written = 0;
    std::shared_lock fdLock(m_fdLock);
    std::lock_guard writeLock(m_writeMutex);
    auto p = static_cast<const uint8_t*>(buf);
    while (*written < n) {
        if (m_bClosed) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        // Before every attempt, not only after a refusal: a writer given up on must not get
        // its bytes out once the line takes them again.
        if (stop && stop()) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
        ssize_t w = Sys().write(m_fd, p + *written, n - *written);
        if (w > 0) {
            *written += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFd(POLLOUT, kWriteSliceMs) && GetLastError() != ERROR_TIMEOUT)
                return false;
            continue;
        }
        if (w == 0)
            errno = EIO;
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool SerialPort::Purge(uint32_t flags) {
    std::shared_lock fdLock(m_fdLock);
    if (m_bClosed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard lock(m_mutex);
    bool rx = flags & PURGE_RXCLEAR, tx = flags & PURGE_TXCLEAR;
    if (rx)
        m_input.clear();
    if (!rx && !tx)
        return true;
    int queue = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
    if (SysTcFlush(m_fd, queue) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

size_t SerialPort::DiscardInput(int quietMs, int limitMs) {
    size_t discarded = 0;
    if (!Purge(PURGE_RXCLEAR))
        return discarded;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
        auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
        if (spent >= limitMs)
            return discarded;
        int wait = static_cast<int>(std::min<long long>(quietMs, limitMs - spent));
        if (!WaitReadable(wait))
            return discarded;
        uint8_t chunk[256];
        size_t got = 0;
        if (!ReadAvailable(chunk, sizeof chunk, &got))
            return discarded;
        discarded += got;
    }
}

std::string SerialProblem() {
    return t_problem;
}

PortHandle CreateFile(std::u16string_view portName) {
    std::optional<fs::path> device = ResolvePortName(portName);
    if (!device) {
        SetProblem(ToUtf8(portName) + ": no such port in the port map");
        return nullptr;
    }
    return SerialPort::Open(*device);
}

namespace {
bool Valid(const PortHandle& h) {
    if (h)
        return true;
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
}
}  // namespace

bool CloseHandle(const PortHandle& h) {
    return Valid(h) && h->Close();
}
bool GetCommState(const PortHandle& h, DCB& dcb) {
    return Valid(h) && h->GetCommState(dcb);
}
bool SetCommState(const PortHandle& h, const DCB& dcb) {
    return Valid(h) && h->SetCommState(dcb);
}
bool SetCommMask(const PortHandle& h, uint32_t mask) {
    return Valid(h) && h->SetCommMask(mask);
}
bool SetCommTimeouts(const PortHandle& h, const COMMTIMEOUTS& timeouts) {
    return Valid(h) && h->SetCommTimeouts(timeouts);
}
bool ReadFile(const PortHandle& h, void* buf, uint32_t n, uint32_t* read) {
    size_t got = 0;
    bool ok = Valid(h) && h->Read(buf, n, &got);
    if (read)
        *read = static_cast<uint32_t>(got);
    return ok;
}
bool WriteFile(const PortHandle& h, const void* buf, uint32_t n, uint32_t* written) {
    size_t done = 0;
    bool ok = Valid(h) && h->Write(buf, n, &done);
    if (written)
        *written = static_cast<uint32_t>(done);
    return ok;
}
bool PurgeComm(const PortHandle& h, uint32_t flags) {
    return Valid(h) && h->Purge(flags);
}

}  // namespace ce
