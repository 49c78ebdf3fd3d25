// The simulated phone's behaviour, without threads or file descriptors: bytes in, bytes out.
// CPhoneSim serves it on a pseudo-terminal; tests and fuzzers can drive it directly.
#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kvophone/scenario.h"

namespace kvo::phone {

// What the phone sends: bytes, after an optional pause; or the line closing.
struct OutputChunk {
    std::string strBytes;
    int nDelayMs = 0;
    bool bHangUp = false;
};

class CPhoneCore {
public:
    explicit CPhoneCore(Scenario scenario);

    // Takes bytes from the line; replies queue up for TakeOutput.
    void Receive(std::string_view bytes);
    std::vector<OutputChunk> TakeOutput();
    std::vector<std::string> TakeJournal();

    // Stores a received message in the first free slot of the storage ("" = the storage
    // for new messages, +CPMS's third) and announces it with +CMTI.
    bool InjectSms(std::string_view storage, int status, std::string_view pdu, int& index,
                   std::string& error);
    // Sends bytes as an unsolicited line would go (held back during a prompt or data call).
    void SendUnsolicited(std::string_view bytes);
    // Closes the line now.
    void HangUp();

    Quirks& GetQuirks() { return m_s.quirks; }
    // The dialect as it stands; a change to power-on values (cmgf, charset) shows after ATZ.
    Dialect& GetDialect() { return m_s.dialect; }
    void AddScriptRule(const ScriptRule& rule) { m_s.script.push_back(rule); }
    void ClearScript();
    void SetScriptOnly(bool bOnly) { m_s.bScriptOnly = bOnly; }
    // A phonebook by name ("SM", "ME"), for edits made on the phone's own keypad; null when the
    // phone has no such phonebook.
    Phonebook* EditPhonebook(std::string_view name) { return FindPhonebook(m_s, name); }
    // The current state as a scenario (what --state-out writes).
    const Scenario& State() const { return m_s; }
    bool IsHungUp() const { return m_mode == MODE_DEAD; }
    bool InDataCall() const { return m_mode == MODE_DATA; }

    // Data calls run on the phone's clock (milliseconds, never going back): it paces the
    // traffic the phone sends, ends the call after its duration and times the "+++" guard.
    // The server calls this before every Receive and often while NeedsClock() holds.
    void AdvanceClock(int64_t nowMs);
    bool NeedsClock() const { return m_bDataCall; }
    // Flow control: while the line does not take what was sent, a call's traffic waits.
    void SetFlowStopped(bool bStopped) { m_bFlowStopped = bStopped; }

private:
    enum Mode { MODE_COMMAND, MODE_PROMPT, MODE_DATA, MODE_DEAD };
    enum Kind {
        RES_OK, RES_ERROR, RES_CME, RES_CMS, RES_CONNECT, RES_NO_CARRIER, RES_PROMPT,
        RES_BUSY, RES_SILENT,  // a failing dial: BUSY, or no answer at all
        RES_NOT_SUPPORT
    };
    struct Res {
        Kind kind = RES_OK;
        int nCode = 0;
    };
    struct Arg {
        std::string strText;
        bool bQuoted = false;
        bool Empty() const { return !bQuoted && strText.empty(); }
    };

    void ScriptByte(char c);
    void InterpretByte(char c);
    void CommandByte(char c);
    void PromptByte(char c);
    void DataByte(char c);
    void ExecuteLine(const std::string& line);
    void ExecuteLineInner(const std::string& line);
    Res ExecuteChain(std::string_view rest, std::vector<std::string>& info);
    Res Extended(std::string_view cmd, std::vector<std::string>& info);
    Res Basic(char letter, std::string_view& rest, std::vector<std::string>& info);
    Res Dial(std::string_view dial);
    // Data calls (phone_data.cpp).
    bool DialFails(std::string_view dial, Res& res) const;
    Res DataDial();
    Res ResumeData();
    // Journals "HANGUP <how> received=N sent=M" and drops the call.
    void EndDataCall(const char* how);
    int GuardMs() const;
    void FinishPrompt();

    Res Identity(const std::string& name, char form, std::vector<std::string>& info);
    Res Cpin(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Clck(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cops(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Csca(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cscs(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cpms(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cmgr(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cmgl(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    std::string SenderName(const std::string& pdu) const;
    Res Cmgd(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res CmgsCmgw(bool bWrite, char form, const std::vector<Arg>& args);
    Res Cpbs(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cpbr(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cpbw(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cgdcont(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cmgf(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Cfun(char form, const std::vector<Arg>& args, std::vector<std::string>& info);
    Res Setting(const std::string& name, char form, const std::vector<Arg>& args,
                std::vector<std::string>& info);

    void Reset();
    void PowerOn();
    bool SimReady() const { return !m_s.phone.bPinRequired || m_bPinEntered; }
    bool SimBusy() const;
    // Message slots as the phone numbers them (from 0 or 1) and as the storage keeps them.
    int Outside(int slot) const { return slot - 1 + m_s.dialect.nFirstIndex; }
    int Inside(int index) const { return index + 1 - m_s.dialect.nFirstIndex; }
    // "+CMGR: " or "+CMGR:" as the dialect writes information lines.
    std::string Tag(const char* name) const;
    // Text that +COPS? and +CSCA? show in the character set, on phones that do so.
    std::string InCharset(const std::string& text) const;
    // The error an empty or missing slot gets; RES_OK with info for the quiet forms.
    Res EmptySlot(std::vector<std::string>& info) const;
    std::string NextUnsolicited();
    bool UnsolicitedDue() const;
    SmsStorage* Mem(int n) { return FindStorage(m_s, m_mem[n]); }
    std::string FinalText(const Res& res) const;
    bool Matches(const std::vector<std::string>& prefixes, std::string_view line) const;
    void Emit(std::string_view bytes, int nDelayMs = 0);
    void Reply(std::string info, const std::string& final, int nExtraDelayMs = 0);
    void Journal(std::string line) { m_journal.push_back(std::move(line)); }
    void Announce(const std::string& storage, int index);

    Scenario m_s;
    Mode m_mode = MODE_COMMAND;
    std::string m_strLine;
    std::string m_strHeld;  // bytes the script may still take
    std::vector<OutputChunk> m_output;
    std::vector<std::string> m_journal;
    std::string m_strUrcHeld;  // unsolicited output waiting for the command mode

    bool m_bEcho = true;
    int m_nCmgf = 0;
    int m_nCfun = 1;
    std::chrono::steady_clock::time_point m_simReadyAt{};
    size_t m_nUnsolicitedNext = 0;  // the dialect's next unsolicited line
    long m_nLines = 0;              // command lines executed, for unsolicited_every
    bool m_bUrcBeforeDone = false;  // this line's unsolicited line went before its echo
    std::string m_strTextTo;        // text mode prompt: the recipient
    int m_nCmee = 1;
    std::string m_strCharset = "GSM";
    int m_nCopsFormat = 0;
    std::string m_mem[3];
    std::string m_strPhonebook;
    bool m_bPinEntered = false;
    bool m_bVoiceCall = false;
    bool m_bPausedListing = false;  // the reply being made is a listing with pauses
    bool m_bHangUpReply = false;  // the reply being built closes the line halfway
    int m_nNextMr = 1;
    std::map<int, std::string> m_contexts;      // +CGDCONT cid -> its parameters as shown
    std::map<std::string, std::string> m_settings;  // plain settable values (+CNMI, +CBST ...)
    std::map<int, int> m_sregs;

    // Prompt (AT+CMGS / AT+CMGW) in progress.
    bool m_bPromptWrite = false;
    int m_nPromptLength = 0;
    int m_nPromptStatus = SMS_STO_UNSENT;
    std::string m_strPdu;
    int m_nPlusRun = 0;  // "+++" escape from a data call

    // The data call; it stays up in command mode after "+++" until ATH or its end.
    bool m_bDataCall = false;
    int64_t m_nNowMs = 0;
    int64_t m_nCallStartMs = 0;
    int64_t m_nLastDataRxMs = 0;  // the last byte from the line in data mode
    int64_t m_nLastPlusMs = 0;
    int64_t m_nRateCredit = 0;    // bytes x ms owed at the scenario's rate
    uint64_t m_nDataReceived = 0;
    uint64_t m_nDataSent = 0;
    unsigned m_nPattern = 0;
    bool m_bFlowStopped = false;
};

// Makes a journal line readable: control bytes as \xHH.
std::string JournalText(std::string_view bytes);

}  // namespace kvo::phone
