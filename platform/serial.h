// Serial ports as the handheld knows them: opened by name ("COM3:"), not shared, with a device
// control block, an event mask and time-outs; backed by termios on a Linux tty or pty.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

namespace ce {

// Where "COM3:" and friends live: HKLM\Drivers\kvo\PortMap, value name = port name, REG_SZ =
// Linux device path (relative paths are relative to the device root).
inline constexpr std::u16string_view kPortMapKey = u"Drivers\\kvo\\PortMap";

// The Linux device behind a port name: a name starting with "/" as it stands, else the port
// map's entry. nullopt (ERROR_FILE_NOT_FOUND) when the map has none.
std::optional<std::filesystem::path> ResolvePortName(std::u16string_view name);

enum : uint8_t { NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4 };
enum : uint8_t { ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2 };
enum : uint8_t { RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2 };
enum : uint8_t { DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1 };

enum : uint32_t {
    EV_RXCHAR = 0x0001,
    EV_TXEMPTY = 0x0004,
    EV_CTS = 0x0008,
    EV_DSR = 0x0010,
    EV_BREAK = 0x0040,
    EV_ERR = 0x0080,
};
enum : uint32_t { PURGE_TXCLEAR = 0x0004, PURGE_RXCLEAR = 0x0008 };
inline constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// The part of the device control block that a tty can carry.
struct DCB {
    uint32_t BaudRate = 9600;
    bool fBinary = true;
    bool fParity = false;  // check parity of received bytes
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;  // no Linux equivalent: SetCommState refuses it
    bool fTXContinueOnXoff = false;
    bool fOutX = false;  // XON/XOFF on output
    bool fInX = false;   // XON/XOFF on input
    uint8_t fDtrControl = DTR_CONTROL_ENABLE;
    uint8_t fRtsControl = RTS_CONTROL_ENABLE;
    uint8_t ByteSize = 8;  // 5..8
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;  // ONE5STOPBITS becomes two stop bits, as UARTs do
};

// ReadFile waits up to ReadTotalTimeoutMultiplier * n + ReadTotalTimeoutConstant ms for the
// first byte (a MAXDWORD constant adds nothing) and returns what has arrived by then; all
// zero waits without limit; ReadIntervalTimeout MAXDWORD with both totals zero returns at
// once. Writes always complete or fail.
struct COMMTIMEOUTS {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// An open port. Reads and writes may come from several threads (the engine restarts its
// worker); received bytes are held in the port's own buffer, so a byte taken from the line is
// never lost between readers. Closing wakes every waiter within one wait slice.
class SerialPort {
public:
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens a Linux device, exclusively (flock + TIOCEXCL), puts the line into binary mode
    // (raw: no echo, line editing, CR/LF translation or XON/XOFF) and drops what the driver
    // held from before; errors in GetLastError (ERROR_SHARING_VIOLATION when another handle
    // has it).
    static std::shared_ptr<SerialPort> Open(const std::filesystem::path& device);

    bool IsOpen() const;
    const std::filesystem::path& Device() const { return m_device; }

    bool GetCommState(DCB& dcb);
    // Applies the block and reads the line settings back: false (ERROR_INVALID_PARAMETER)
    // when the device did not take all of them, or for a speed Linux has no constant for
    // (14400, 28800, 56000, 128000, 256000). The line stays binary either way.
    bool SetCommState(const DCB& dcb);
    bool SetCommMask(uint32_t mask);
    uint32_t CommMask() const;
    bool SetCommTimeouts(const COMMTIMEOUTS& timeouts);
    bool GetCommTimeouts(COMMTIMEOUTS& timeouts) const;

    // Waits up to timeoutMs (negative: without limit) until a byte can be read; false on
    // time-out, error or close. Consumes nothing.
    bool WaitReadable(int timeoutMs);
    // Takes up to n buffered or waiting bytes without waiting; false on a read error or
    // hang-up (the line is gone), true with *got = 0 when nothing is there.
    bool ReadAvailable(void* buf, size_t n, size_t* got);
    // ReadFile with the port's time-outs.
    bool Read(void* buf, size_t n, size_t* got);
    // Writes everything; `stop` (checked before every attempt, under the port's locks, so it
    // must take no lock that is held around port calls) abandons a write that the line does
    // not take. *written says how much went out.
    bool Write(const void* buf, size_t n, size_t* written,
               const std::function<bool()>& stop = nullptr);
    bool Purge(uint32_t flags);
    // Drops buffered input, then reads and drops bytes until the line has been quiet for
    // quietMs, for at most limitMs in all. Returns how many bytes came in and were dropped
    // after the buffers were emptied.
    size_t DiscardInput(int quietMs, int limitMs);
    bool Close();

private:
    SerialPort() = default;
    bool WaitFd(short events, int timeoutMs);

    // Shared by every use of the descriptor, exclusive for closing it: a waiter never polls a
    // descriptor that was closed (or reused) under it. Close first wakes the waiters.
    mutable std::shared_mutex m_fdLock;
    std::atomic<bool> m_bClosed{false};
    int m_fd = -1;
    int m_fdWake = -1;           // eventfd, signalled by Close
    mutable std::mutex m_mutex;  // the input buffer and the settings
    std::filesystem::path m_device;
    std::deque<uint8_t> m_input;  // read from the line, not yet taken
    uint32_t m_nMask = 0;
    COMMTIMEOUTS m_timeouts;
    std::mutex m_writeMutex;  // one writer at a time, so commands never interleave
};

using PortHandle = std::shared_ptr<SerialPort>;

// The platform's calls over a handle; an empty handle is INVALID_HANDLE_VALUE.
// CreateFile opens a port by handheld name ("COM3:") or Linux path, for reading and writing,
// not shared, as an existing device.
PortHandle CreateFile(std::u16string_view portName);
bool CloseHandle(const PortHandle& h);
bool GetCommState(const PortHandle& h, DCB& dcb);
bool SetCommState(const PortHandle& h, const DCB& dcb);
bool SetCommMask(const PortHandle& h, uint32_t mask);
bool SetCommTimeouts(const PortHandle& h, const COMMTIMEOUTS& timeouts);
bool ReadFile(const PortHandle& h, void* buf, uint32_t n, uint32_t* read);
bool WriteFile(const PortHandle& h, const void* buf, uint32_t n, uint32_t* written);
bool PurgeComm(const PortHandle& h, uint32_t flags);

// Why the last failed open or line set-up of the calling thread failed, in words a person
// can act on ("14400 baud: Linux has no such serial speed ..."); empty when it did not say.
std::string SerialProblem();

}  // namespace ce
