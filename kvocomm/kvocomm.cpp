#include "kvocomm/kvocomm.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "common/narrow.h"
#include "kvocomm/reply_framer.h"
#include "kvocomm/reply_shaper.h"
#include "kvocomm/sar_sync.h"
#include "platform/error.h"
#include "platform/serial.h"
#include "platform/thread.h"
#include "platform/trace.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// How long a worker waits for a byte before it looks whether it was retired. Bounds the time
// a retired worker lives on, not any result.
constexpr int kReadSliceMs = 50;
constexpr auto kIdleLook = 100ms;
constexpr auto kStopGrace = 5s;
// After the line is set: drop what a phone still sends for a session that was killed in the
// middle of a command, until the line has been quiet this long (many byte times even at
// 1200 baud), but never for longer than the limit, as a chatty phone may never go quiet.
// What comes later is caught by the retries of the opening handshake.
constexpr int kDrainQuietMs = 100;
constexpr int kDrainLimitMs = 1500;

std::string TraceText(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    std::string s(a);
    s += b;
    s += c;
    return s;
}

}  // namespace

struct CKvoComm::Request {
    std::string strCommand;
    int nMode = 0;
    std::shared_ptr<ce::SerialPort> hPort;
    std::u16string* pReply = nullptr;
};

CKvoComm::CKvoComm() : m_pSync(std::make_unique<CSarSync>()) {}

CKvoComm::CKvoComm(const CKvoComm& other) : m_pSync(std::make_unique<CSarSync>()) {
    m_nMode = other.m_nMode.load();
    m_hPort = other.m_hPort;
}

CKvoComm& CKvoComm::operator=(const CKvoComm& other) {
    if (this != &other) {
        m_nMode = other.m_nMode.load();
        m_hPort = other.m_hPort;
    }
    return *this;
}

CKvoComm::~CKvoComm() {
    // The worker holds `this`; it must be gone before the members are.
    StopSAR();
}

bool CKvoComm::PortOpen() const {
    return m_hPort && m_hPort->IsOpen();
}

int CKvoComm::OpenPort(std::u16string strPort) {
    ce::Trace("opening port");
    m_hPort = ce::CreateFile(strPort);
    return m_hPort ? 1 : 0;
}

int CKvoComm::SetParams(int nBaudRate, int nParity, int nDataBits, int nStopBits) {
    ce::Trace("SetParams - start");
    ce::DCB dcb;
    if (!ce::GetCommState(m_hPort, dcb))
        return 0;
    dcb.BaudRate = static_cast<uint32_t>(nBaudRate);
    dcb.fBinary = true;
    dcb.fParity = false;
    dcb.fOutxCtsFlow = false;
    dcb.fOutxDsrFlow = false;
    dcb.fTXContinueOnXoff = false;
    // AT commands need no software flow control, and 0x11/0x13 are GSM letters.
    dcb.fOutX = false;
    dcb.fInX = false;
    dcb.fRtsControl = ce::RTS_CONTROL_ENABLE;
    switch (nParity) {
        case 1:
            dcb.Parity = ce::ODDPARITY;
            break;
        case 2:
            dcb.Parity = ce::EVENPARITY;
            break;
        case 3:
            dcb.Parity = ce::MARKPARITY;
            break;
        case 4:
            dcb.Parity = ce::SPACEPARITY;
            break;
        default:
            dcb.Parity = ce::NOPARITY;
            break;
    }
    switch (nStopBits) {
        case 1:
            dcb.StopBits = ce::ONE5STOPBITS;
            break;
        case 2:
            dcb.StopBits = ce::TWOSTOPBITS;
            break;
        default:
            dcb.StopBits = ce::ONESTOPBIT;
            break;
    }
    // Out of range is refused by SetCommState, not wrapped into range.
    dcb.ByteSize = nDataBits >= 5 && nDataBits <= 8 ? static_cast<uint8_t>(nDataBits) : 0;
    if (!ce::SetCommState(m_hPort, dcb))
        return 0;
    if (!ce::SetCommMask(m_hPort, ce::EV_RXCHAR | ce::EV_TXEMPTY | ce::EV_CTS | ce::EV_DSR |
                                      ce::EV_BREAK | ce::EV_ERR))
        return 0;
    ce::COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = ce::MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 1000;
    timeouts.ReadTotalTimeoutConstant = ce::MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    ce::SetCommTimeouts(m_hPort, timeouts);
    size_t dropped = m_hPort->DiscardInput(kDrainQuietMs, kDrainLimitMs);
    if (dropped > 0)
        ce::Trace("SetParams - dropped " + std::to_string(dropped) + " stale bytes");
    ce::Trace("SetParams - end");
    return 1;
}

void CKvoComm::ClosePort() {
    ce::Trace("closing port");
    if (m_hPort)
        ce::CloseHandle(m_hPort);
    m_hPort.reset();
}

void CKvoComm::_SetBuf(char* pBuf, size_t nBufSize, const char* pszCommand) {
    if (nBufSize < 2) {
        if (nBufSize == 1)
            pBuf[0] = 0;
        return;
    }
    size_t n = std::min(std::strlen(pszCommand), nBufSize - 2);
    std::memcpy(pBuf, pszCommand, n);
    pBuf[n] = '\r';
    pBuf[n + 1] = 0;
}

int CKvoComm::IsPDUMsg(const std::u16string& strReply) {
    return kvocomm::HoldsPduMessage(strReply) ? 1 : 0;
}

std::u16string CKvoComm::LastErrorReply() const {
    std::lock_guard lock(m_pSync->mutex);
    return m_strLastError;
}

int CKvoComm::IsMsgInfo(const std::u16string& strReply) {
    return kvocomm::HoldsMessageInfo(strReply) ? 1 : 0;
}

bool CKvoComm::Stale(uint64_t nGeneration) const {
    return m_pSync->nGeneration.load() != nGeneration;
}

void CKvoComm::StartWorkerLocked(std::unique_lock<std::mutex>& lock) {
    uint64_t gen = ++m_pSync->nGeneration;
    if (m_pThread) {
        m_pSync->retired.push_back({std::move(*m_pThread), m_pSync->pDone});
        m_pThread.reset();
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_pSync->pDone = done;
    m_pThread = std::make_unique<std::thread>(ce::StartThread(
        [this, gen, done] {
            SarThread(gen);
            done->store(true);
        },
        ce::THREAD_PRIORITY_ABOVE_IDLE));
    // Not m_nRunning: a worker that finds a stop signal comes up and ends at once.
    m_pSync->cvStatus.wait(lock, [&] { return m_pSync->nStartedGeneration >= gen || Stale(gen); });
}

void CKvoComm::RetireWorkerLocked() {
    // The terminate of the handheld: from here on the old worker touches nothing shared.
    ++m_pSync->nGeneration;
    m_nRunning = 0;
    if (m_pThread) {
        m_pSync->retired.push_back({std::move(*m_pThread), m_pSync->pDone});
        m_pThread.reset();
        m_pSync->pDone.reset();
    }
    m_pSync->cvRequest.notify_all();
    // A StopSAR waiting for the worker to end: it has.
    m_pSync->cvStatus.notify_all();
}

void CKvoComm::JoinEndedWorkers(bool bAll) {
    // Joined outside the lock (an ending worker may still want it); only the ones that have
    // ended unless all are asked for, so a time-out never waits for its old worker.
    std::vector<std::thread> ended;
    {
        std::lock_guard lock(m_pSync->mutex);
        auto& retired = m_pSync->retired;
        for (auto it = retired.begin(); it != retired.end();) {
            if (bAll || !it->pDone || it->pDone->load()) {
                ended.push_back(std::move(it->thread));
                it = retired.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : ended)
        if (t.joinable())
            t.join();
}

void CKvoComm::StartSAR() {
    if (m_bStarted.exchange(1) != 0)
        return;
    ce::Trace("starting SAR");
    JoinEndedWorkers(false);
    std::unique_lock lock(m_pSync->mutex);
    // The end signal of the last StopSAR is spent.
    m_nRequest = 0;
    StartWorkerLocked(lock);
}

void CKvoComm::StopSAR() {
    m_bStarted = 0;
    ce::Trace("Stoping SAR");
    {
        std::unique_lock lock(m_pSync->mutex);
        for (int i = 0; i < 4; ++i) ++m_nRequest;
    }
    m_pSync->cvRequest.notify_all();
    {
        std::unique_lock lock(m_pSync->mutex);
        bool stopped =
            m_pSync->cvStatus.wait_for(lock, kStopGrace, [this] { return m_nRunning.load() == 0; });
        if (!stopped)
            ce::Trace("timeout while stopping SAR - terminating");
        // Ended or not, it is retired now and ends within one read slice.
        RetireWorkerLocked();
    }
    JoinEndedWorkers(true);
    ce::Trace("SAR stoped.");
}

int CKvoComm::SendAndReceive(const char* pszCommand, std::u16string& strReply, int nMode,
                             int nTimeout) {
    JoinEndedWorkers(false);
    std::unique_lock lock(m_pSync->mutex);
    m_nMode = nMode;
    m_pReply = &strReply;
    m_pszCommand = pszCommand;
    m_nStatus = STATUS_PENDING;
    m_hRequestPort = m_hPort;
    ++m_nRequest;
    m_pSync->cvRequest.notify_all();

    auto deadline = Clock::now() + std::chrono::seconds(std::max(nTimeout, 0));
    m_pSync->cvStatus.wait_until(lock, deadline, [this] { return m_nStatus.load() != 0; });
    int32_t status = m_nStatus.load();
    if (status != STATUS_PENDING) {
        m_pReply = nullptr;
        return status == STATUS_DONE ? 1 : 0;
    }
    // Time-out. Under the lock no worker is between taking a byte and appending it, so what
    // the old worker appended stays in strReply and every later byte waits in the port.
    ce::Trace("thread terminated - timeout");
    m_pReply = nullptr;
    m_pszCommand = nullptr;
    bool hadWorker = m_pThread != nullptr;
    RetireWorkerLocked();
    m_nRequest = 0;
    // A StopSAR under way has cleared m_bStarted: then no new worker.
    if (hadWorker && m_bStarted.load() != 0) {
        ce::Trace("starting SAR");
        StartWorkerLocked(lock);
    }
    lock.unlock();
    JoinEndedWorkers(false);
    return 0;
}

void CKvoComm::SarThread(uint64_t nGeneration) {
    ce::Trace("starting thread");
    {
        std::lock_guard lock(m_pSync->mutex);
        if (Stale(nGeneration))
            return;
        // Drops a request nobody waits for any more, but not the end signal of a StopSAR that
        // came while this worker was being started.
        if (m_nRequest.load() <= 2)
            m_nRequest = 0;
        ++m_nRunning;
        m_pSync->nStartedGeneration = nGeneration;
    }
    m_pSync->cvStatus.notify_all();
    ce::Trace("waiting for AT...");
    for (;;) {
        Request req;
        {
            std::unique_lock lock(m_pSync->mutex);
            m_pSync->cvRequest.wait_for(
                lock, kIdleLook, [&] { return m_nRequest.load() != 0 || Stale(nGeneration); });
            if (Stale(nGeneration))
                return;
            int32_t nRequest = m_nRequest.load();
            if (nRequest == 0)
                continue;
            if (nRequest > 2) {
                --m_nRunning;
                lock.unlock();
                m_pSync->cvStatus.notify_all();
                ce::Trace("got something (in:) thread end.");
                return;
            }
            req.strCommand = m_pszCommand ? m_pszCommand : "";
            req.nMode = m_nMode.load();
            req.hPort = m_hRequestPort;
            req.pReply = m_pReply;
        }
        ce::Trace(TraceText("got something (in:", req.strCommand, ")"));
        Exchange(nGeneration, req);
    }
}

bool CKvoComm::Finish(uint64_t nGeneration, Request& req, int32_t nStatus,
                      const std::u16string* pResult) {
    {
        std::lock_guard lock(m_pSync->mutex);
        if (Stale(nGeneration))
            return false;
        if (pResult && req.pReply)
            *req.pReply = *pResult;
        --m_nRequest;
        m_nStatus = nStatus;
    }
    m_pSync->cvStatus.notify_all();
    ce::Trace("SAR - END: status: " + std::to_string(nStatus));
    return true;
}

void CKvoComm::Exchange(uint64_t nGeneration, Request& req) {
    ce::Trace(TraceText("SAR - GO: ", req.strCommand));
    const std::u16string strCommand = kvo::Widen(req.strCommand);
    {
        std::lock_guard lock(m_pSync->mutex);
        if (Stale(nGeneration))
            return;
        if (req.pReply)
            req.pReply->clear();
        m_strLastError.clear();
    }
    // A command the buffer cannot hold would go out cut: refuse it.
    if (!req.hPort || req.strCommand.size() + 2 > kTransmitBufferSize) {
        Finish(nGeneration, req, STATUS_FAILED, nullptr);
        return;
    }
    std::vector<char> buffer(kTransmitBufferSize);
    _SetBuf(buffer.data(), buffer.size(), req.strCommand.c_str());
    ce::Trace(TraceText("IN: ", req.strCommand));
    ce::Trace("writing to port");
    size_t written = 0;
    // The stop check runs under the port's locks: it must not take the engine's lock.
    bool ok = req.hPort->Write(buffer.data(), req.strCommand.size() + 1, &written,
                               [&] { return Stale(nGeneration); });
    if (!ok || written < req.strCommand.size()) {
        Finish(nGeneration, req, STATUS_FAILED, nullptr);
        return;
    }
    ce::Trace("write done");

    kvocomm::CReplyFramer framer(req.nMode, strCommand);
    kvocomm::FrameVerdict verdict = kvocomm::FrameVerdict::More;
    bool bWithoutOk = false;
    int nQuietMs = 0;
    while (verdict == kvocomm::FrameVerdict::More) {
        if (!req.hPort->WaitReadable(kReadSliceMs)) {
            if (ce::GetLastError() == ce::ERROR_TIMEOUT) {
                std::lock_guard lock(m_pSync->mutex);
                if (Stale(nGeneration))
                    return;
                nQuietMs = framer.ShapeComplete() ? nQuietMs + kReadSliceMs : 0;
                // A phone that leaves out the final OK of a reply whose shape is whole.
                if (nQuietMs >= framer.ShapeGraceMs()) {
                    bWithoutOk = true;
                    break;
                }
                continue;
            }
            Finish(nGeneration, req, STATUS_FAILED, nullptr);
            return;
        }
        std::unique_lock lock(m_pSync->mutex);
        if (Stale(nGeneration))
            return;
        uint8_t byte = 0;
        size_t got = 0;
        if (!req.hPort->ReadAvailable(&byte, 1, &got)) {
            lock.unlock();
            Finish(nGeneration, req, STATUS_FAILED, nullptr);
            return;
        }
        if (got == 0 || byte == 0)
            continue;
        nQuietMs = 0;
        char16_t c = static_cast<char16_t>(byte);
        if (req.pReply)
            req.pReply->push_back(c);
        verdict = framer.Feed(c);
        lock.unlock();
        if (ce::TraceEnabled())
            ce::Trace(u"reading: <s>" + framer.Reply() + u"</s>");
    }

    m_nIndications += framer.MessageIndications();
    if (verdict == kvocomm::FrameVerdict::Error) {
        ce::Trace(u"ERROR: " + framer.Reply());
        {
            std::lock_guard lock(m_pSync->mutex);
            m_strLastError = framer.Reply();
        }
        const std::u16string empty;
        Finish(nGeneration, req, STATUS_DONE, &empty);
        return;
    }
    ce::Trace(u"OUT: " + framer.Reply());
    // A reply whole by its shape is shaped as if its OK had come.
    kvocomm::ShapedReply shaped = kvocomm::ShapeReply(
        bWithoutOk ? framer.Reply() + u"\r\nOK\r\n" : framer.Reply(), strCommand);
    switch (shaped.kind) {
        case kvocomm::ReplyKind::MessageInfo:
            ce::Trace("Is msg info");
            break;
        case kvocomm::ReplyKind::PduMessage:
            ce::Trace("Is pdu msg");
            break;
        case kvocomm::ReplyKind::Prompt:
            ce::Trace(" '>' msg");
            break;
        case kvocomm::ReplyKind::Payload:
            ce::Trace("creating output str");
            ce::Trace(u"result: " + shaped.text);
            break;
        case kvocomm::ReplyKind::TooShort:
            ce::Trace("error - out too short");
            break;
    }
    Finish(nGeneration, req, shaped.status,
           shaped.kind == kvocomm::ReplyKind::TooShort ? nullptr : &shaped.text);
}

CKvoComm& GetKvoComm() {
    static CKvoComm* engine = new CKvoComm;
    return *engine;
}
