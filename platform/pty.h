// Pseudo-terminals: the simulated phone holds the master side, the suite opens the slave side
// as it would open a serial port.
#pragma once
#include <string>

namespace ce {

// How the slave side starts: raw, or as the kernel makes a fresh terminal (echo, line editing,
// CR/LF translation, XON/XOFF), which is how a USB or Bluetooth serial device comes up.
enum class PtyLine { Raw, KernelDefault };

// The master side of a pty (the master itself never translates), and the path of its slave. Moving
// transfers ownership; the destructor closes the master and removes the link if one was made.
class PtyMaster {
public:
    PtyMaster() = default;
    ~PtyMaster();
    PtyMaster(PtyMaster&& other) noexcept;
    PtyMaster& operator=(PtyMaster&& other) noexcept;
    PtyMaster(const PtyMaster&) = delete;
    PtyMaster& operator=(const PtyMaster&) = delete;

    // Opens a new pty; false with the reason in error. The slave is kept open by a hidden
    // descriptor so that the master does not see a hang-up while no client has it open.
    bool Open(std::string& error, PtyLine line = PtyLine::Raw);
    // Makes linkPath a symbolic link to the slave (replacing an old link, never a real file).
    bool Link(const std::string& linkPath, std::string& error);
    // Drops the hidden slave descriptor: the master sees EIO once every client has closed, as
    // a phone sees the cable pulled. Used to simulate a line that closes.
    void ReleaseSlaveHold();
    void Close();

    bool IsOpen() const { return m_fdMaster >= 0; }
    int Fd() const { return m_fdMaster; }
    const std::string& SlavePath() const { return m_slavePath; }
    const std::string& LinkPath() const { return m_linkPath; }

private:
    int m_fdMaster = -1;
    int m_fdSlaveHold = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};

// Puts a terminal descriptor into raw mode at the given baud rate (0 leaves the speed).
bool MakeRaw(int fd, int baud, std::string& error);

}  // namespace ce
