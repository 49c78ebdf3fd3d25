// The simulated phone served on a pseudo-terminal by a thread of its own. Every control is
// thread safe, so a test can drive a client against the slave while it injects messages,
// switches quirks and reads the journal.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/pty.h"
#include "tools/kvophone/phone_core.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone {

class CPhoneSim {
public:
    explicit CPhoneSim(Scenario scenario = DefaultScenario());
    ~CPhoneSim();
    CPhoneSim(const CPhoneSim&) = delete;
    CPhoneSim& operator=(const CPhoneSim&) = delete;

    // Also writes every journal line to this file (truncated first). Call before Start.
    bool SetJournalFile(const std::string& path, std::string& error);
    // Opens the pty, links linkPath (if not empty) to its slave and serves it. baud > 0 paces
    // the phone's output as a serial line would (10 bits per byte).
    bool Start(const std::string& linkPath, int baud, std::string& error);
    // Stops serving and closes the pty (removing the link); prompt, whatever the phone does.
    void Stop();
    // True from Start until Stop or until the line was closed by a hang-up.
    bool IsRunning() const { return m_bRunning.load(); }
    std::string SlavePath() const;

    // Run-time controls.
    Quirks GetQuirks() const;
    void SetQuirks(const Quirks& quirks);
    void UpdateQuirks(const std::function<void(Quirks&)>& change);
    Dialect GetDialect() const;
    void UpdateDialect(const std::function<void(Dialect&)>& change);
    void AddScriptRule(std::string_view trigger, std::string_view response);
    void ClearScript();
    void SetScriptOnly(bool bOnly);
    // Stores a message (PDU hex as +CMGR shows it) and sends +CMTI; storage "" = the storage
    // for new messages. index (optional) receives the slot.
    bool InjectSms(std::string_view storage, std::string_view pdu, std::string& error,
                   int* index = nullptr);
    // The same from a sender, a time ("YYYY-MM-DD HH:MM:SS") and a UTF-8 text.
    bool InjectSms(std::string_view storage, std::string_view sender, std::string_view time,
                   std::string_view text, std::string& error, int* index = nullptr);
    // Changes a phonebook as the user would on the phone itself (no journal line); false
    // when the phone has no phonebook of that name.
    bool EditPhonebook(std::string_view name, const std::function<void(Phonebook&)>& change);
    // Raw bytes from the phone, as an unsolicited result would come.
    void SendUnsolicited(std::string_view bytes);
    // Closes the line now, as a pulled cable would.
    void HangUp();

    // Observation.
    std::vector<std::string> Journal() const;
    // Waits until a journal line contains needle; false after timeoutMs.
    bool WaitForJournal(std::string_view needle, int timeoutMs) const;
    Scenario State() const;
    uint64_t BytesIn() const { return m_nBytesIn.load(); }
    uint64_t BytesOut() const { return m_nBytesOut.load(); }
    bool IsHungUp() const { return m_bHungUp.load(); }

private:
    void Run();
    void DrainJournalLocked() const;
    void Wake();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cvJournal;
    mutable CPhoneCore m_core;  // guarded by m_mutex
    mutable std::vector<std::string> m_journal;
    mutable FILE* m_pJournalFile = nullptr;
    std::string m_strSlavePath;

    ce::PtyMaster m_pty;  // used by the serving thread only, once started
    int m_nBaud = 0;
    int m_fdWakeRead = -1;
    std::atomic<int> m_fdWakeWrite{-1};  // controls on other threads write here
    int m_fdProbe = -1;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bHungUp{false};
    std::atomic<uint64_t> m_nBytesIn{0};
    std::atomic<uint64_t> m_nBytesOut{0};
};

}  // namespace kvo::phone
