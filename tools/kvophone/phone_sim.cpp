#include "tools/kvophone/phone_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>

#include "platform/sys.h"
#include "tools/kvophone/sms_pdu.h"

namespace kvo::phone {
namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

CPhoneSim::CPhoneSim(Scenario scenario) : m_core(std::move(scenario)) {}

CPhoneSim::~CPhoneSim() {
    Stop();
    if (m_pJournalFile) std::fclose(m_pJournalFile);
}

bool CPhoneSim::SetJournalFile(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (m_pJournalFile) std::fclose(m_pJournalFile);
    m_pJournalFile = f;
    return true;
}

bool CPhoneSim::Start(const std::string& linkPath, int baud, std::string& error) {
    if (m_thread.joinable() || m_pty.IsOpen()) {
        error = "already started";
        return false;
    }
    if (baud < 0) {
        error = "bad baud rate";
        return false;
    }
    ce::PtyMaster pty;
    if (!pty.Open(error)) return false;
    if (!linkPath.empty() && !pty.Link(linkPath, error)) return false;
    int flags = fcntl(pty.Fd(), F_GETFL);
    if (flags < 0 || fcntl(pty.Fd(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = std::string("fcntl: ") + std::strerror(errno);
        return false;
    }
    // A descriptor of our own on the slave tells how much the client has not read yet.
    m_fdProbe = ce::SysOpen(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_fdWakeRead = wake[0];
    m_fdWakeWrite = wake[1];
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_strSlavePath = pty.SlavePath();
    }
    m_pty = std::move(pty);
    m_nBaud = baud;
    m_bStop = false;
    m_bRunning = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CPhoneSim::Stop() {
    m_bStop = true;
    Wake();
    if (m_thread.joinable()) m_thread.join();
    if (m_fdProbe >= 0) ::close(m_fdProbe);
    m_fdProbe = -1;
    m_pty.Close();
    if (m_fdWakeRead >= 0) ::close(m_fdWakeRead);
    m_fdWakeRead = -1;
    int wake = m_fdWakeWrite.exchange(-1);
    if (wake >= 0) ::close(wake);
    m_bRunning = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    DrainJournalLocked();
}

void CPhoneSim::Wake() {
    int fd = m_fdWakeWrite.load();
    if (fd >= 0) {
        char c = 1;
        // A full pipe already holds a wake-up; nothing is lost.
        [[maybe_unused]] ssize_t n = ::write(fd, &c, 1);
    }
}

std::string CPhoneSim::SlavePath() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strSlavePath;
}

void CPhoneSim::DrainJournalLocked() const {
    // Called with m_mutex held; m_core is only touched under it.
    std::vector<std::string> lines = m_core.TakeJournal();
    if (lines.empty()) return;
    for (std::string& line : lines) {
        if (m_pJournalFile) {
            std::fputs(line.c_str(), m_pJournalFile);
            std::fputc('\n', m_pJournalFile);
        }
        m_journal.push_back(std::move(line));
    }
    if (m_pJournalFile) std::fflush(m_pJournalFile);
    m_cvJournal.notify_all();
}

void CPhoneSim::Run() {
    std::deque<OutputChunk> pending;
    Clock::time_point due = Clock::now();  // when the front chunk may be written
    Clock::time_point lastWrite = Clock::now();
    bool bFrontStarted = false;
    size_t frontPos = 0;
    const int fd = m_pty.Fd();
    // Paced writes go in slices of about 10 ms of line time.
    const size_t slice = m_nBaud > 0 ? std::max<size_t>(1, m_nBaud / 10 / 100) : 4096;
    char buf[4096];
    const Clock::time_point start = Clock::now();
    auto clockMs = [start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    bool bTicking = false;  // a data call wants the clock often

    while (!m_bStop) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            size_t backlog = 0;
            for (const OutputChunk& c : pending) backlog += c.strBytes.size();
            m_core.SetFlowStopped(backlog > 64 * 1024);  // nobody reads: the call's data waits
            m_core.AdvanceClock(clockMs());
            bTicking = m_core.NeedsClock();
            for (OutputChunk& c : m_core.TakeOutput()) pending.push_back(std::move(c));
            DrainJournalLocked();
        }
        Clock::time_point now = Clock::now();
        if (!pending.empty() && !bFrontStarted) {
            bFrontStarted = true;
            frontPos = 0;
            due = std::max(due, now + std::chrono::milliseconds(pending.front().nDelayMs));
        }
        if (!pending.empty() && pending.front().bHangUp && now >= due) {
            // Closing the master discards what the client has not read yet; give it a moment
            // to take the bytes sent before the drop.
            // (The pty moves written bytes to the slave a little later, hence the pause too.)
            int queued = 0;
            bool bUnread = m_fdProbe >= 0 && ioctl(m_fdProbe, FIONREAD, &queued) == 0 && queued > 0;
            if ((bUnread || now < lastWrite + std::chrono::milliseconds(50)) &&
                now < due + std::chrono::milliseconds(1000)) {
                poll(nullptr, 0, 10);
                continue;
            }
            // The client sees the line drop: the master goes away and reads fail. The flags
            // come first so that whoever sees the drop also sees them.
            m_bHungUp = true;
            m_bRunning = false;
            ::close(m_fdProbe);
            m_fdProbe = -1;
            m_pty.Close();
            break;
        }
        bool bWriteDue = !pending.empty() && now >= due;
        int timeout = bTicking ? 10 : 100;
        if (!pending.empty() && !bWriteDue) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - now).count();
            timeout = static_cast<int>(std::min<long long>(std::max<long long>(wait, 1), timeout));
        }
        pollfd fds[2] = {{fd, static_cast<short>(POLLIN | (bWriteDue ? POLLOUT : 0)), 0},
                         {m_fdWakeRead, POLLIN, 0}};
        int n = poll(fds, 2, bWriteDue ? (bTicking ? 10 : 100) : timeout);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[1].revents & POLLIN) {
            while (::read(m_fdWakeRead, buf, sizeof buf) > 0) {
            }
        }
        if ((fds[0].revents & (POLLHUP | POLLERR)) && !(fds[0].revents & POLLIN)) {
            // No slave side at all (only after a hold release): do not spin.
            poll(&fds[1], 1, 10);
        }
        if (fds[0].revents & POLLIN) {
            ssize_t got = ce::Sys().read(fd, buf, sizeof buf);
            if (got > 0) {
                m_nBytesIn += static_cast<uint64_t>(got);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_core.AdvanceClock(clockMs());
                m_core.Receive(std::string_view(buf, static_cast<size_t>(got)));
            }
        }
        if (bWriteDue && (fds[0].revents & POLLOUT) && !pending.front().bHangUp) {
            const std::string& bytes = pending.front().strBytes;
            size_t len = std::min(slice, bytes.size() - frontPos);
            ssize_t put = len ? ce::Sys().write(fd, bytes.data() + frontPos, len) : 0;
            if (put > 0) {
                lastWrite = Clock::now();
                frontPos += static_cast<size_t>(put);
                m_nBytesOut += static_cast<uint64_t>(put);
                if (m_nBaud > 0) {
                    due = Clock::now() + std::chrono::microseconds(put * 10'000'000LL / m_nBaud);
                }
            }
            if (frontPos >= bytes.size()) {
                pending.pop_front();
                bFrontStarted = false;
            }
        }
    }
    m_bRunning = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    DrainJournalLocked();
}

Quirks CPhoneSim::GetQuirks() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_core.State().quirks;
}

void CPhoneSim::SetQuirks(const Quirks& quirks) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_core.GetQuirks() = quirks;
}

void CPhoneSim::UpdateQuirks(const std::function<void(Quirks&)>& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    change(m_core.GetQuirks());
}

Dialect CPhoneSim::GetDialect() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_core.State().dialect;
}

void CPhoneSim::UpdateDialect(const std::function<void(Dialect&)>& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    change(m_core.GetDialect());
}

bool CPhoneSim::EditPhonebook(std::string_view name,
                              const std::function<void(Phonebook&)>& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Phonebook* pb = m_core.EditPhonebook(name);
    if (!pb) return false;
    change(*pb);
    return true;
}

void CPhoneSim::AddScriptRule(std::string_view trigger, std::string_view response) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_core.AddScriptRule(ScriptRule{std::string(trigger), std::string(response)});
}

void CPhoneSim::ClearScript() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_core.ClearScript();
    }
    Wake();
}

void CPhoneSim::SetScriptOnly(bool bOnly) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_core.SetScriptOnly(bOnly);
}

bool CPhoneSim::InjectSms(std::string_view storage, std::string_view pdu, std::string& error,
                          int* index) {
    int slot = 0;
    bool ok;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ok = m_core.InjectSms(storage, SMS_REC_UNREAD, pdu, slot, error);
        DrainJournalLocked();
    }
    if (ok && index) *index = slot;
    Wake();
    return ok;
}

bool CPhoneSim::InjectSms(std::string_view storage, std::string_view sender,
                          std::string_view time, std::string_view text, std::string& error,
                          int* index) {
    std::string smsc;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        smsc = m_core.State().phone.strSmsc;
    }
    std::string pdu;
    if (!EncodeDeliver(smsc, sender, time, text, pdu, error)) return false;
    return InjectSms(storage, pdu, error, index);
}

void CPhoneSim::SendUnsolicited(std::string_view bytes) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_core.SendUnsolicited(bytes);
    }
    Wake();
}

void CPhoneSim::HangUp() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_core.HangUp();
        DrainJournalLocked();
    }
    Wake();
}

std::vector<std::string> CPhoneSim::Journal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    DrainJournalLocked();
    return m_journal;
}

bool CPhoneSim::WaitForJournal(std::string_view needle, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t checked = 0;
    while (true) {
        DrainJournalLocked();
        for (; checked < m_journal.size(); ++checked) {
            if (m_journal[checked].find(needle) != std::string::npos) return true;
        }
        // Lines that control calls add land here too; a short wait picks them up.
        if (m_cvJournal.wait_until(lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(20))) ==
                std::cv_status::timeout &&
            Clock::now() >= deadline) {
            DrainJournalLocked();
            for (; checked < m_journal.size(); ++checked) {
                if (m_journal[checked].find(needle) != std::string::npos) return true;
            }
            return false;
        }
    }
}

Scenario CPhoneSim::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    DrainJournalLocked();
    return m_core.State();
}

}  // namespace kvo::phone
