// The AT command engine: one serial port to the phone, one command exchange at a time,
// performed by a worker thread while the caller waits with a time-out.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#if defined(KVOCOMM_BUILD)
#define KVOCOMM_API __attribute__((visibility("default")))
#else
#define KVOCOMM_API
#endif

namespace ce {
class SerialPort;
}

struct CSarSync;

class KVOCOMM_API CKvoComm {
public:
    // Prompt modes of SendAndReceive: 0 ends an exchange at a '>' prompt, 1 (the body of a
    // message after the prompt) runs on to the final result.
    enum : int { MODE_PROMPT = 0, MODE_BODY = 1 };
    // m_nStatus values.
    enum : int32_t { STATUS_PENDING = 0, STATUS_DONE = 1, STATUS_FAILED = 2 };
    static constexpr size_t kTransmitBufferSize = 10000;

    CKvoComm();
    // Copies take the port handle (both then drive the same port); the worker is not copied:
    // a copy starts without one.
    CKvoComm(const CKvoComm& other);
    CKvoComm& operator=(const CKvoComm& other);
    // Stops a worker that still runs (it holds a pointer to this object).
    virtual ~CKvoComm();

    // Opens "COM3:" (through the port map) or a Linux device path, not shared.
    int OpenPort(std::u16string strPort);
    // Baud rate; parity 1 odd, 2 even, 3 mark, 4 space, else none; data bits; stop bits
    // 1 one and a half, 2 two, else one. Binary, no hardware flow control, RTS raised.
    int SetParams(int nBaudRate, int nParity, int nDataBits, int nStopBits);
    // Sends pszCommand plus CR and waits up to nTimeout seconds for the reply. TRUE when the
    // exchange completed: an OK reply shaped to its payload, an ERROR reply as an empty text,
    // ">" for the prompt (mode 0), an unsolicited +CMT/+CMTI indication as raw text. FALSE on
    // a port failure, a too short payload or a time-out (which restarts the worker; strReply
    // keeps what had arrived).
    int SendAndReceive(const char* pszCommand, std::u16string& strReply, int nMode, int nTimeout);
    void ClosePort();
    void StartSAR();
    void StopSAR();
    int IsPDUMsg(const std::u16string& strReply);
    int IsMsgInfo(const std::u16string& strReply);
    // Copies the command, a CR and a zero byte into pBuf; a command that does not fit is cut
    // (the worker refuses to send such a command).
    void _SetBuf(char* pBuf, size_t nBufSize, const char* pszCommand);
    // Enters the PIN and switches the SIM's PIN lock off; TRUE if the port could be opened.
    int DisablePIN(std::u16string strPort, std::u16string strPin, int nBaudRate, int nParity,
                   int nDataBits, int nStopBits);

    // New-message indications (+CMTI lines) taken out of replies since the engine was made.
    int32_t MessageIndications() const { return m_nIndications.load(); }
    // The raw reply of the last exchange that ended in an error ("+CMS ERROR: 314" ...);
    // empty when the last exchange did not.
    std::u16string LastErrorReply() const;

    // For tests and tools: the worker's state as the counters show it.
    int32_t Running() const { return m_nRunning.load(); }
    bool Started() const { return m_bStarted.load() != 0; }
    bool PortOpen() const;

private:
    struct Request;
    void SarThread(uint64_t nGeneration);
    void Exchange(uint64_t nGeneration, Request& req);
    bool Finish(uint64_t nGeneration, Request& req, int32_t nStatus, const std::u16string* pResult);
    bool Stale(uint64_t nGeneration) const;
    // Starts a worker and waits until it is up (the lock is released meanwhile).
    void StartWorkerLocked(std::unique_lock<std::mutex>& lock);
    void RetireWorkerLocked();
    // Joins retired workers: those that have ended, or all (waiting for them).
    void JoinEndedWorkers(bool bAll);

    std::atomic<int32_t> m_nRunning{0};
    std::atomic<int32_t> m_bStarted{0};
    std::atomic<int32_t> m_nRequest{0};
    std::atomic<int32_t> m_nMode{0};
    std::u16string* m_pReply = nullptr;  // guarded by the engine lock
    const char* m_pszCommand = nullptr;  // guarded by the engine lock
    std::atomic<int32_t> m_nStatus{0};
    std::shared_ptr<ce::SerialPort> m_hRequestPort;  // guarded by the engine lock
    std::shared_ptr<ce::SerialPort> m_hPort;
    std::unique_ptr<std::thread> m_pThread;  // guarded by the engine lock
    std::unique_ptr<CSarSync> m_pSync;
    std::atomic<int32_t> m_nIndications{0};
    std::u16string m_strLastError;  // guarded by the engine lock
};

// The process's shared engine, made on first use and never destroyed.
KVOCOMM_API CKvoComm& GetKvoComm();
