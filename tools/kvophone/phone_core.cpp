#include "tools/kvophone/phone_core.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "tools/kvophone/sms_pdu.h"
#include "tools/kvophone/text_codec.h"

namespace kvo::phone {
namespace {

constexpr size_t kMaxLine = 1024;  // longer command lines are refused
constexpr size_t kMaxPdu = 2 * 200;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool ToInt(std::string_view s, int min, int max, int& value) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value >= min && value <= max;
}

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

const char* CmeText(int code) {
    switch (code) {
    case 3: return "operation not allowed";
    case 4: return "operation not supported";
    case 11: return "SIM PIN required";
    case 16: return "incorrect password";
    case 20: return "memory full";
    case 21: return "invalid index";
    case 22: return "not found";
    case 24: return "text string too long";
    case 25: return "invalid characters in text string";
    case 26: return "dial string too long";
    case 27: return "invalid characters in dial string";
    case 30: return "no network service";
    default: return "unknown";
    }
}

bool IsDialChar(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || std::strchr("*#+ABCDabcdPpTtWw,!@IiGg", c);
}

// Values of the plain settings: current value and the range +X=? reports.
struct SettingInfo {
    const char* name;
    const char* value;
    const char* range;
};
constexpr SettingInfo kSettings[] = {
    {"+CNMI", "2,1,0,0,0", "(0-2),(0-3),(0,2),(0-2),(0,1)"},
    {"+CBST", "7,0,1", "(0-7,12,14,65,66,68,70,71,75),(0),(0-3)"},
    {"+CHSN", "0,0,0,0", "(0-8),(0-3),(0,1,2,4,8),(0-4)"},
    {"+CRLP", "61,61,48,6", "(0-61),(0-61),(39-255),(1-255)"},
    {"+CGQREQ", "1,0,0,0,0,0", "\"IP\",(0-3),(0-4),(0-5),(0-9),(0-31)"},
    {"+CGQMIN", "1,0,0,0,0,0", "\"IP\",(0-3),(0-4),(0-5),(0-9),(0-31)"},
    {"+CSMS", "0", "(0)"},
    {"+CREG", "0", "(0-2)"},
    {"+CGREG", "0", "(0-2)"},
    {"+CGATT", "1", "(0,1)"},
};

const SettingInfo* FindSetting(std::string_view name) {
    for (const SettingInfo& s : kSettings) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

// Digits, commas and blanks only.
bool ValidSettingValue(std::string_view name, std::string_view value) {
    if (name == "+CSMS") return value == "0";
    if (name == "+CREG" || name == "+CGREG") return value == "0" || value == "1" || value == "2";
    if (name == "+CGATT") return value == "0" || value == "1";
    if (value.empty()) return false;
    return std::all_of(value.begin(), value.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == ',' || c == ' ' || c == '"' ||
               std::isalpha(static_cast<unsigned char>(c));
    });
}

// Septets packed least significant bits first, as SMS user data carries them.
std::string UnpackSeptets(std::string_view octets, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        size_t bit = static_cast<size_t>(i) * 7;
        size_t byte = bit / 8;
        if (byte >= octets.size()) break;
        unsigned v = static_cast<unsigned char>(octets[byte]) >> (bit % 8);
        if (bit % 8 > 1 && byte + 1 < octets.size()) {
            v |= static_cast<unsigned>(static_cast<unsigned char>(octets[byte + 1])) << (8 - bit % 8);
        }
        out.push_back(static_cast<char>(v & 0x7F));
    }
    return out;
}

// A stored PDU as text mode shows it: the quoted address and time, and the text. False when
// the PDU is cut short or not one this phone keeps.
bool TextModeFields(std::string_view hex, std::string& address, std::string& time,
                    std::string& text) {
    std::string b;
    if (!HexToBytes(hex, b) || b.empty()) return false;
    auto at = [&b](size_t i) { return static_cast<unsigned char>(b[i]); };
    size_t p = 1 + at(0);
    if (p >= b.size()) return false;
    unsigned first = at(p++);
    bool bDeliver = (first & 3) == 0;
    if (!bDeliver && p++ >= b.size()) return false;  // message reference
    if (p + 2 > b.size()) return false;
    unsigned digits = at(p), type = at(p + 1);
    p += 2;
    size_t octets = (digits + 1) / 2;
    if (p + octets > b.size()) return false;
    address.clear();
    if ((type & 0x70) == 0x50) {
        address = GsmToUtf8(UnpackSeptets(std::string_view(b).substr(p, octets), digits * 4 / 7));
    } else {
        if (type == 0x91) address = "+";
        for (unsigned i = 0; i < digits; ++i) {
            unsigned v = (at(p + i / 2) >> (i % 2 ? 4 : 0)) & 15;
            address.push_back(v < 10 ? static_cast<char>('0' + v) : '?');
        }
    }
    p += octets;
    if (p + 2 > b.size()) return false;
    unsigned dcs = at(p + 1);
    p += 2;
    time.clear();
    if (bDeliver) {
        if (p + 7 > b.size()) return false;
        char buf[32];
        auto semi = [&](size_t i) { return (at(p + i) & 15) * 10 + (at(p + i) >> 4); };
        std::snprintf(buf, sizeof buf, "%02u/%02u/%02u,%02u:%02u:%02u+%02u", semi(0), semi(1),
                      semi(2), semi(3), semi(4), semi(5), semi(6) & 0x7F);
        time = buf;
        p += 7;
    } else {
        unsigned vp = (first >> 3) & 3;
        p += vp == 2 ? 1 : vp ? 7 : 0;
    }
    if (p >= b.size()) return false;
    int length = at(p++);
    std::string_view ud = std::string_view(b).substr(p);
    if ((dcs & 0x0C) == 0) {
        text = GsmToUtf8(UnpackSeptets(ud, length));
    } else {
        text = BytesToHex(ud.substr(0, std::min<size_t>(ud.size(), length)));
    }
    return true;
}

const char* TextStatus(int status) {
    switch (status) {
    case SMS_REC_UNREAD: return "REC UNREAD";
    case SMS_REC_READ: return "REC READ";
    case SMS_STO_UNSENT: return "STO UNSENT";
    default: return "STO SENT";
    }
}

}  // namespace

std::string JournalText(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            out += "\\x";
            out.push_back(kHex[u >> 4]);
            out.push_back(kHex[u & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

CPhoneCore::CPhoneCore(Scenario scenario) : m_s(std::move(scenario)) {
    Reset();
    PowerOn();
}

void CPhoneCore::PowerOn() {
    m_nCfun = 1;
    m_simReadyAt =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(m_s.dialect.nSimBusyMs);
}

bool CPhoneCore::SimBusy() const {
    return m_s.dialect.nSimBusyMs > 0 && std::chrono::steady_clock::now() < m_simReadyAt;
}

std::string CPhoneCore::InCharset(const std::string& text) const {
    if (!m_s.dialect.bUcs2Replies || m_strCharset != "UCS2") return text;
    return EncodeCharset(text, "UCS2");
}

std::string CPhoneCore::Tag(const char* name) const {
    return std::string(name) + (m_s.dialect.bNoSpace ? ":" : ": ");
}

bool CPhoneCore::UnsolicitedDue() const {
    const Dialect& d = m_s.dialect;
    return !d.unsolicited.empty() && m_nLines % d.nUnsolicitedEvery == 0;
}

std::string CPhoneCore::NextUnsolicited() {
    const std::vector<std::string>& lines = m_s.dialect.unsolicited;
    if (lines.empty()) return {};
    std::string line = lines[m_nUnsolicitedNext++ % lines.size()];
    Journal("URC " + JournalText(line));
    return line;
}

CPhoneCore::Res CPhoneCore::EmptySlot(std::vector<std::string>& info) const {
    const std::string& form = m_s.dialect.strEmptySlot;
    if (form == "ok") return Res{RES_OK, 0};
    if (form == "cmgr0") {
        info.push_back(Tag("+CMGR") + "0,,0");
        return Res{RES_OK, 0};
    }
    if (form == "cms320") return Res{RES_CMS, 320};
    if (form == "cms500") return Res{RES_CMS, 500};
    if (form == "error") return Res{RES_ERROR, 0};
    return Res{RES_CMS, 321};
}

void CPhoneCore::Reset() {
    m_bEcho = m_s.phone.bEcho;
    m_nCmee = m_s.phone.nCmee;
    m_strCharset = m_s.dialect.strCharset;
    m_nCmgf = m_s.dialect.nCmgf;
    m_nCopsFormat = 0;
    std::string first = m_s.smsStorages.empty() ? std::string() : m_s.smsStorages[0].strName;
    for (std::string& m : m_mem) m = first;
    m_strPhonebook = m_s.phonebooks.empty() ? std::string() : m_s.phonebooks[0].strName;
    m_settings.clear();
    m_sregs.clear();
}

void CPhoneCore::ClearScript() {
    m_s.script.clear();
    m_s.bScriptOnly = false;
    // Held bytes go on to the interpreter as if no script had been there.
    std::string held;
    held.swap(m_strHeld);
    for (char c : held) InterpretByte(c);
}

std::vector<OutputChunk> CPhoneCore::TakeOutput() {
    std::vector<OutputChunk> out;
    out.swap(m_output);
    return out;
}

std::vector<std::string> CPhoneCore::TakeJournal() {
    std::vector<std::string> out;
    out.swap(m_journal);
    return out;
}

void CPhoneCore::Emit(std::string_view bytes, int nDelayMs) {
    if (bytes.empty() && nDelayMs == 0) return;
    if (nDelayMs == 0 && !m_output.empty() && !m_output.back().bHangUp) {
        m_output.back().strBytes.append(bytes);
        return;
    }
    m_output.push_back(OutputChunk{std::string(bytes), nDelayMs, false});
}

void CPhoneCore::HangUp() {
    if (m_mode == MODE_DEAD) return;
    m_mode = MODE_DEAD;
    m_output.push_back(OutputChunk{{}, 0, true});
    if (m_bDataCall) {
        EndDataCall("line");
    } else {
        Journal("HANGUP line");
    }
}

void CPhoneCore::SendUnsolicited(std::string_view bytes) {
    if (m_mode == MODE_DEAD) return;
    if (m_mode != MODE_COMMAND) {
        m_strUrcHeld.append(bytes);
        return;
    }
    Emit(bytes);
}

void CPhoneCore::Announce(const std::string& storage, int index) {
    Journal("CMTI " + storage + " " + std::to_string(index));
    SendUnsolicited("\r\n+CMTI: " + Quoted(storage) + "," + std::to_string(index) + "\r\n");
}

bool CPhoneCore::InjectSms(std::string_view storage, int status, std::string_view pdu,
                           int& index, std::string& error) {
    std::string name = storage.empty() ? m_mem[2] : std::string(storage);
    SmsStorage* st = FindStorage(m_s, name);
    if (!st) {
        error = "no SMS storage " + name;
        return false;
    }
    if (status < SMS_REC_UNREAD || status > SMS_STO_SENT) {
        error = "status must be 0..3";
        return false;
    }
    if (TpduLength(pdu) < 1) {
        error = "not a PDU in hex";
        return false;
    }
    for (int i = 1; i <= st->nSize; ++i) {
        if (!st->slots.count(i)) {
            st->slots[i] = SmsSlot{status, std::string(pdu)};
            index = Outside(i);
            Announce(name, index);
            return true;
        }
    }
    error = "storage " + name + " is full";
    return false;
}

void CPhoneCore::Receive(std::string_view bytes) {
    for (char c : bytes) {
        if (m_mode == MODE_DEAD) return;
        if (!m_s.script.empty() || m_s.bScriptOnly) {
            ScriptByte(c);
        } else {
            InterpretByte(c);
        }
    }
}

void CPhoneCore::ScriptByte(char c) {
    m_strHeld.push_back(c);
    while (!m_strHeld.empty()) {
        bool bPrefix = false;
        for (const ScriptRule& rule : m_s.script) {
            if (rule.strTrigger == m_strHeld) {
                Journal("RULE " + JournalText(rule.strTrigger));
                m_strHeld.clear();
                Emit(rule.strResponse);
                return;
            }
            if (rule.strTrigger.compare(0, m_strHeld.size(), m_strHeld) == 0) bPrefix = true;
        }
        if (bPrefix) return;
        // No rule can take these bytes any more: the first one goes to the interpreter.
        char first = m_strHeld[0];
        m_strHeld.erase(0, 1);
        if (!m_s.bScriptOnly) InterpretByte(first);
        if (m_mode == MODE_DEAD) return;
    }
}

void CPhoneCore::InterpretByte(char c) {
    switch (m_mode) {
    case MODE_COMMAND: CommandByte(c); break;
    case MODE_PROMPT: PromptByte(c); break;
    case MODE_DATA: DataByte(c); break;
    case MODE_DEAD: break;
    }
}

void CPhoneCore::CommandByte(char c) {
    bool bEcho = m_bEcho && !m_s.quirks.bNoEcho;
    if (c == '\r') {
        // Empty lines (the CR after a Ctrl-Z, CR LF line ends) are neither echoed nor answered.
        if (m_strLine.empty()) return;
        if (bEcho) Emit("\r");
        std::string line;
        line.swap(m_strLine);
        ExecuteLine(line);
        return;
    }
    if (c == '\n' || c == '\0') return;
    if (m_strLine.empty() && c != '\b' && m_s.dialect.strUnsolicitedAt == "before" &&
        UnsolicitedDue() && !m_bUrcBeforeDone) {
        // Phones put a pending indication out whenever it comes, even ahead of the echo.
        m_bUrcBeforeDone = true;
        Emit("\r\n" + NextUnsolicited() + "\r\n");
    }
    if (c == '\b') {
        if (m_strLine.empty()) return;
        m_strLine.pop_back();
        if (bEcho) Emit("\b");
        return;
    }
    if (m_strLine.size() < kMaxLine + 1) m_strLine.push_back(c);
    if (bEcho && !(m_s.dialect.bDamagedEcho && m_strLine.size() == 3)) {
        Emit(std::string_view(&c, 1));
    }
}

void CPhoneCore::PromptByte(char c) {
    if (c == 0x1B) {
        Journal("ESC");
        m_mode = MODE_COMMAND;
        m_strPdu.clear();
        Reply("", FinalText(Res{RES_OK, 0}));
        FinishPrompt();
        return;
    }
    if (c == 0x1A && !m_strTextTo.empty()) {
        // Text mode: the body is the message text itself, whatever it looks like.
        m_mode = MODE_COMMAND;
        Journal("SMSTEXT " + JournalText(m_strTextTo) + " " + JournalText(m_strPdu));
        m_strPdu.clear();
        m_strTextTo.clear();
        int mr = m_nNextMr;
        m_nNextMr = (m_nNextMr + 1) % 256;
        Reply("\r\n" + Tag("+CMGS") + std::to_string(mr) + "\r\n", FinalText(Res{RES_OK, 0}),
              m_s.dialect.nCmgsDelayMs);
        FinishPrompt();
        return;
    }
    if (!m_strTextTo.empty()) {
        if (m_strPdu.size() <= kMaxPdu) m_strPdu.push_back(c);
        if (m_bEcho && !m_s.quirks.bNoEcho) Emit(std::string_view(&c, 1));
        return;
    }
    if (c == 0x1A) {
        std::string pdu;
        pdu.swap(m_strPdu);
        m_mode = MODE_COMMAND;
        int length = TpduLength(pdu);
        if (length != m_nPromptLength || pdu.size() > kMaxPdu) {
            Journal("BADPDU " + JournalText(pdu));
            Reply("", FinalText(Res{RES_CMS, 304}));
            FinishPrompt();
            return;
        }
        if (!m_bPromptWrite) {
            if (TpduType(pdu) != 1) {
                Journal("BADPDU " + JournalText(pdu));
                Reply("", FinalText(Res{RES_CMS, 304}));
                FinishPrompt();
                return;
            }
            int mr = m_nNextMr;
            m_nNextMr = (m_nNextMr + 1) % 256;
            m_s.submitted.push_back(pdu);
            Journal("SMS " + pdu);
            std::string to, text;
            if (DecodeSubmitText(pdu, to, text)) Journal("TEXT " + to + " " + JournalText(text));
            Reply("\r\n" + Tag("+CMGS") + std::to_string(mr) + "\r\n", FinalText(Res{RES_OK, 0}),
                  m_s.dialect.nCmgsDelayMs);
            FinishPrompt();
            return;
        }
        SmsStorage* st = Mem(1);
        int index = 0;
        for (int i = 1; st && i <= st->nSize && !index; ++i) {
            if (!st->slots.count(i)) index = i;
        }
        if (!index) {
            Reply("", FinalText(Res{RES_CMS, 322}));
            FinishPrompt();
            return;
        }
        st->slots[index] = SmsSlot{m_nPromptStatus, pdu};
        Journal("STORE " + st->strName + " " + std::to_string(Outside(index)));
        Reply("\r\n" + Tag("+CMGW") + std::to_string(Outside(index)) + "\r\n",
              FinalText(Res{RES_OK, 0}));
        FinishPrompt();
        return;
    }
    if (c == '\r' || c == '\n' || c == ' ') return;
    if (m_strPdu.size() <= kMaxPdu) m_strPdu.push_back(c);
    if (m_bEcho && !m_s.quirks.bNoEcho) Emit(std::string_view(&c, 1));
}

void CPhoneCore::FinishPrompt() {
    if (m_strUrcHeld.empty() || m_mode != MODE_COMMAND) return;
    std::string held;
    held.swap(m_strUrcHeld);
    Emit(held);
}

bool CPhoneCore::Matches(const std::vector<std::string>& prefixes, std::string_view line) const {
    std::string upper = Upper(line);
    for (const std::string& p : prefixes) {
        std::string want = Upper(p);
        if (want.compare(0, 2, "AT") != 0) want = "AT" + want;
        if (upper.compare(0, want.size(), want) == 0) return true;
    }
    return false;
}

std::string CPhoneCore::FinalText(const Res& res) const {
    switch (res.kind) {
    case RES_OK: return "\r\nOK\r\n";
    case RES_ERROR: return "\r\nERROR\r\n";
    case RES_CME:
        if (m_nCmee == 0) return "\r\nERROR\r\n";
        if (m_nCmee == 2) return std::string("\r\n+CME ERROR: ") + CmeText(res.nCode) + "\r\n";
        return "\r\n+CME ERROR: " + std::to_string(res.nCode) + "\r\n";
    case RES_CMS: return "\r\n+CMS ERROR: " + std::to_string(res.nCode) + "\r\n";
    case RES_CONNECT:
        return res.nCode ? "\r\nCONNECT " + std::to_string(res.nCode) + "\r\n" : "\r\nCONNECT\r\n";
    case RES_BUSY: return "\r\nBUSY\r\n";
    case RES_SILENT: return "";
    case RES_NO_CARRIER: return "\r\nNO CARRIER\r\n";
    case RES_PROMPT: return "\r\n> ";
    case RES_NOT_SUPPORT: return "\r\nCOMMAND NOT SUPPORT\r\n";
    }
    return "\r\nERROR\r\n";
}

// Applies the reply quirks: an indication inside it, garbage in front, a pause, a hang-up.
void CPhoneCore::Reply(std::string info, const std::string& final, int nExtraDelayMs) {
    const Quirks& q = m_s.quirks;
    const Dialect& d = m_s.dialect;
    std::string after;
    if (m_mode == MODE_COMMAND && UnsolicitedDue() && !m_bUrcBeforeDone &&
        (d.strUnsolicitedAt == "inside" || d.strUnsolicitedAt == "after")) {
        std::string urc = NextUnsolicited() + "\r\n";
        size_t pos = info.size() > 2 ? info.find("\r\n", 2) : std::string::npos;
        if (d.strUnsolicitedAt == "after") {
            after = "\r\n" + urc;
        } else if (pos == std::string::npos) {
            info = "\r\n" + urc + info;
        } else {
            info.insert(pos + 2, urc);
        }
    }
    if (q.bCmtiInReply) {
        int index = 1;
        if (SmsStorage* st = Mem(2); st && !st->slots.empty()) index = st->slots.rbegin()->first;
        std::string urc = "+CMTI: " + Quoted(m_mem[2]) + "," + std::to_string(index) + "\r\n";
        size_t pos = info.size() > 2 ? info.find("\r\n", 2) : std::string::npos;
        if (pos == std::string::npos) {
            info = "\r\n" + urc + info;
        } else {
            info.insert(pos + 2, urc);
        }
    }
    std::string bytes = q.strGarbage + info + final + after;
    if (m_bHangUpReply) {
        m_bHangUpReply = false;
        Emit(std::string_view(bytes).substr(0, bytes.size() / 2), q.nReplyDelayMs + nExtraDelayMs);
        HangUp();
        return;
    }
    if (m_bPausedListing) {
        // Each further entry of the listing comes after its pause, as the phone reads it.
        m_bPausedListing = false;
        size_t from = 0, next;
        int delay = q.nReplyDelayMs + nExtraDelayMs;
        // The pause comes after a PDU line has ended, before the next header.
        while ((next = bytes.find("\r\n" + Tag("+CMGL"), from + 1)) != std::string::npos) {
            Emit(std::string_view(bytes).substr(from, next + 2 - from), delay);
            delay = d.nCmglPauseMs;
            from = next + 2;
        }
        Emit(std::string_view(bytes).substr(from), delay);
        return;
    }
    Emit(bytes, q.nReplyDelayMs + nExtraDelayMs);
}

void CPhoneCore::ExecuteLine(const std::string& line) {
    ExecuteLineInner(line);
    ++m_nLines;
    m_bUrcBeforeDone = false;
}

void CPhoneCore::ExecuteLineInner(const std::string& line) {
    Journal("> " + JournalText(line));
    std::string_view view(line);
    while (!view.empty() && view.front() == ' ') view.remove_prefix(1);
    // Without the AT prefix a phone does not take the line as a command.
    if (view.size() < 2 || std::toupper(static_cast<unsigned char>(view[0])) != 'A' ||
        std::toupper(static_cast<unsigned char>(view[1])) != 'T') {
        return;
    }
    if (Matches(m_s.quirks.silentFor, view)) return;
    m_bHangUpReply = Matches(m_s.quirks.hangupIn, view);
    if (Matches(m_s.quirks.errorFor, view) || line.size() > kMaxLine) {
        Reply("", FinalText(Res{RES_ERROR, 0}));
        return;
    }
    std::vector<std::string> info;
    Res res = ExecuteChain(view.substr(2), info);
    if (res.kind == RES_SILENT) {
        m_bHangUpReply = false;
        return;
    }
    std::string text;
    for (const std::string& block : info) text += block;
    if (res.kind == RES_PROMPT) {
        // The prompt comes at once: pauses and garbage belong to the final reply.
        Emit(text + FinalText(res));
        if (m_s.dialect.strUnsolicitedAt == "prompt" && UnsolicitedDue()) {
            Emit("\r\n" + NextUnsolicited() + "\r\n");
        }
        m_bHangUpReply = false;
        return;
    }
    // Some phones end a few replies after their information lines, without a result code.
    bool bNoFinal = res.kind == RES_OK && !text.empty() && Matches(m_s.dialect.noFinalOk, view);
    Reply(text, bNoFinal ? std::string() : FinalText(res));
    if (res.kind == RES_CONNECT && m_mode != MODE_DEAD) m_mode = MODE_DATA;
}

CPhoneCore::Res CPhoneCore::ExecuteChain(std::string_view rest, std::vector<std::string>& info) {
    while (!rest.empty()) {
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        if (c == ' ' || c == ';') {
            rest.remove_prefix(1);
            continue;
        }
        Res res;
        std::vector<std::string> lines;
        if (c == '+' || c == '*' || c == '^' || c == '$' || c == '%') {
            bool bQuoted = false;
            size_t end = 0;
            for (; end < rest.size(); ++end) {
                if (rest[end] == '"') bQuoted = !bQuoted;
                if (rest[end] == ';' && !bQuoted) break;
            }
            res = Extended(rest.substr(0, end), lines);
            rest.remove_prefix(end);
        } else if (c == 'D') {
            res = Dial(rest.substr(1));
            rest = {};
        } else {
            rest.remove_prefix(1);
            res = Basic(c, rest, lines);
        }
        if (!lines.empty()) {
            std::string block = "\r\n";
            for (size_t i = 0; i < lines.size(); ++i) {
                if (i) block += "\r\n";
                std::string& l = lines[i];
                size_t colon = l.find(": ");
                if (m_s.dialect.bNoSpace && !l.empty() && std::strchr("+^*$%", l[0]) &&
                    colon != std::string::npos && colon < 12) {
                    l.erase(colon + 1, 1);
                }
                block += l;
            }
            block += "\r\n";
            info.push_back(block);
        }
        if (res.kind != RES_OK) return res;
    }
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Basic(char letter, std::string_view& rest,
                                  std::vector<std::string>& info) {
    auto number = [&rest](int& value) {
        size_t n = 0;
        while (n < rest.size() && n < 3 && std::isdigit(static_cast<unsigned char>(rest[n]))) ++n;
        value = 0;
        if (n) std::from_chars(rest.data(), rest.data() + n, value);
        rest.remove_prefix(n);
        return n > 0;
    };
    int value = 0;
    if (letter == '&') {
        if (rest.empty()) return Res{RES_ERROR, 0};
        char sub = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[0])));
        rest.remove_prefix(1);
        number(value);
        if (sub == 'F') {
            Reset();
            return Res{RES_OK, 0};
        }
        if ((sub == 'C' || sub == 'D' || sub == 'K' || sub == 'W' || sub == 'V') && value <= 6) {
            return Res{RES_OK, 0};
        }
        return Res{RES_ERROR, 0};
    }
    if (letter == 'S') {
        int reg;
        if (!number(reg) || reg > 255 || rest.empty()) return Res{RES_ERROR, 0};
        if (rest[0] == '?') {
            rest.remove_prefix(1);
            int v = m_sregs.count(reg) ? m_sregs[reg] : reg == 3 ? 13 : reg == 4 ? 10 : reg == 5 ? 8 : reg == 12 ? 50 : 0;
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03d", v);
            info.push_back(buf);
            return Res{RES_OK, 0};
        }
        if (rest[0] != '=') return Res{RES_ERROR, 0};
        rest.remove_prefix(1);
        if (!number(value) || value > 255) return Res{RES_ERROR, 0};
        m_sregs[reg] = value;
        return Res{RES_OK, 0};
    }
    bool bHasNumber = number(value);
    switch (letter) {
    case 'E':
        if (value > 1) return Res{RES_ERROR, 0};
        if (!m_s.quirks.bNoEcho) m_bEcho = value == 1;
        return Res{RES_OK, 0};
    case 'V': return value == 1 ? Res{RES_OK, 0} : Res{RES_ERROR, 0};  // only verbose results
    case 'Q': return value == 0 ? Res{RES_OK, 0} : Res{RES_ERROR, 0};
    case 'Z':
        if (value > 0) return Res{RES_ERROR, 0};
        Reset();
        return Res{RES_OK, 0};
    case 'X':
    case 'L':
    case 'M': return value <= 4 ? Res{RES_OK, 0} : Res{RES_ERROR, 0};
    case 'I':
        info.push_back(m_s.phone.strManufacturer);
        info.push_back(m_s.phone.strModel);
        info.push_back("REVISION " + m_s.phone.strRevision);
        return Res{RES_OK, 0};
    case 'H':
        if (bHasNumber && value != 0) return Res{RES_ERROR, 0};
        if (m_bVoiceCall) Journal("HANGUP call");
        m_bVoiceCall = false;
        if (m_bDataCall) EndDataCall("data");
        return Res{RES_OK, 0};
    case 'A': return Res{RES_NO_CARRIER, 0};  // nothing is ringing
    case 'O': return ResumeData();
    default: return Res{RES_ERROR, 0};
    }
}

CPhoneCore::Res CPhoneCore::Dial(std::string_view dial) {
    while (!dial.empty() && dial.back() == ' ') dial.remove_suffix(1);
    bool bVoice = !dial.empty() && dial.back() == ';';
    std::string_view number = bVoice ? dial.substr(0, dial.size() - 1) : dial;
    if (number.empty() || number.size() > 80) return Res{RES_ERROR, 0};
    for (char c : number) {
        if (!IsDialChar(c) && c != ' ') return Res{RES_CME, 27};
    }
    if (!SimReady()) return Res{RES_CME, 11};
    Journal("DIAL " + JournalText(dial));
    if (Res failed; DialFails(number, failed)) return failed;
    if (bVoice) {
        m_bVoiceCall = true;
        return Res{RES_OK, 0};
    }
    return DataDial();
}

namespace {

// Splits AT parameters at commas outside quotes; false on an unterminated quote.
template <class ArgT>
bool SplitArgs(std::string_view text, std::vector<ArgT>& args) {
    args.clear();
    size_t i = 0;
    while (true) {
        ArgT arg;
        while (i < text.size() && text[i] == ' ') ++i;
        if (i < text.size() && text[i] == '"') {
            size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            arg.strText.assign(text.substr(i + 1, close - i - 1));
            arg.bQuoted = true;
            i = close + 1;
            while (i < text.size() && text[i] == ' ') ++i;
            if (i < text.size() && text[i] != ',') return false;
        } else {
            size_t comma = text.find(',', i);
            std::string_view raw = text.substr(i, comma == std::string_view::npos ? text.size() - i
                                                                                  : comma - i);
            while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
            if (raw.find('"') != std::string_view::npos) return false;
            arg.strText.assign(raw);
            i += raw.size();
            while (i < text.size() && text[i] == ' ') ++i;
        }
        args.push_back(arg);
        if (i >= text.size()) return true;
        ++i;  // the comma
    }
}

}  // namespace

CPhoneCore::Res CPhoneCore::Extended(std::string_view cmd, std::vector<std::string>& info) {
    size_t nameEnd = 1;
    while (nameEnd < cmd.size() && (std::isalnum(static_cast<unsigned char>(cmd[nameEnd])))) {
        ++nameEnd;
    }
    std::string name = Upper(cmd.substr(0, nameEnd));
    std::string_view tail = cmd.substr(nameEnd);
    // form: 'x' execute, '?' read, 't' test, '=' set
    char form = 'x';
    std::vector<Arg> args;
    if (tail == "?") {
        form = '?';
    } else if (tail == "=?") {
        form = 't';
    } else if (!tail.empty()) {
        if (tail[0] != '=') return Res{RES_ERROR, 0};
        form = '=';
        if (!SplitArgs(tail.substr(1), args)) return Res{RES_ERROR, 0};
    }
    if (name == "+CGMI" || name == "+GMI" || name == "+CGMM" || name == "+GMM" ||
        name == "+CGSN" || name == "+GSN" || name == "+CGMR" || name == "+GMR" ||
        name == "+CIMI") {
        return Identity(name, form, info);
    }
    if (SimBusy() && form != 't') {
        // The SIM is still being read after power-on.
        static const char* const kSms[] = {"+CPMS", "+CMGR", "+CMGL", "+CMGD", "+CMGS", "+CMGW",
                                           "+CSCA"};
        static const char* const kSim[] = {"+CPBS", "+CPBR", "+CPBW", "+CIMI", "+CPIN"};
        for (const char* n : kSms) {
            if (name == n) return Res{RES_CMS, 314};
        }
        for (const char* n : kSim) {
            if (name == n) return Res{RES_CME, 14};
        }
    }
    if (m_s.dialect.bNoSmsStorage &&
        (name == "+CPMS" || name == "+CMGR" || name == "+CMGL" || name == "+CMGD" ||
         name == "+CMGW" || name == "+CNMI")) {
        // Messages are sent over AT but not read: the storage lists are empty.
        if (name == "+CPMS" && form == 't') info.push_back(Tag("+CPMS") + "(),(),()");
        if (name == "+CPMS" && form == '?') info.push_back(Tag("+CPMS") + ",,,,,,,,");
        return name == "+CPMS" && (form == 't' || form == '?') ? Res{RES_OK, 0} : Res{RES_ERROR, 0};
    }
    if (name == "+CMGF") return Cmgf(form, args, info);
    if (name == "+CFUN") return Cfun(form, args, info);
    if (name == "+CPIN") return Cpin(form, args, info);
    if (name == "+CLCK") return Clck(form, args, info);
    if (name == "+COPS") return Cops(form, args, info);
    if (name == "+CSCA") return Csca(form, args, info);
    if (name == "+CSCS") return Cscs(form, args, info);
    if (name == "+CPMS") return Cpms(form, args, info);
    if (name == "+CMGR") return Cmgr(form, args, info);
    if (name == "+CMGL") return Cmgl(form, args, info);
    if (name == "+CMGD") return Cmgd(form, args, info);
    if (name == "+CMGS") return CmgsCmgw(false, form, args);
    if (name == "+CMGW") return CmgsCmgw(true, form, args);
    if (name == "+CPBS") return Cpbs(form, args, info);
    if (name == "+CPBR") return Cpbr(form, args, info);
    if (name == "+CPBW") return Cpbw(form, args, info);
    if (name == "+CGDCONT") return Cgdcont(form, args, info);
    if (name == "+CMEE") {
        if (form == '?') info.push_back("+CMEE: " + std::to_string(m_nCmee));
        if (form == 't') info.push_back("+CMEE: (0-2)");
        if (form == '=' && (args.size() != 1 || !ToInt(args[0].strText, 0, 2, m_nCmee))) {
            return Res{RES_ERROR, 0};
        }
        return form == 'x' ? Res{RES_ERROR, 0} : Res{RES_OK, 0};
    }
    if (name == "+CSQ" && (form == 'x' || form == 't')) {
        info.push_back(form == 'x' ? "+CSQ: 20,99" : "+CSQ: (0-31,99),(0-7,99)");
        return Res{RES_OK, 0};
    }
    if (name == "+CBC" && form == 'x') {
        info.push_back("+CBC: 0,80");
        return Res{RES_OK, 0};
    }
    if (FindSetting(name)) return Setting(name, form, args, info);
    if (m_s.dialect.strUnknown == "cme") return Res{RES_CME, 4};
    if (m_s.dialect.strUnknown == "not_support") return Res{RES_NOT_SUPPORT, 0};
    return Res{RES_ERROR, 0};
}

CPhoneCore::Res CPhoneCore::Cmgf(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == '?') {
        info.push_back(Tag("+CMGF") + std::to_string(m_nCmgf));
        return Res{RES_OK, 0};
    }
    if (form == 't') {
        info.push_back(Tag("+CMGF") + "(0,1)");
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.size() != 1 || !ToInt(args[0].strText, 0, 1, m_nCmgf)) {
        return Res{RES_ERROR, 0};
    }
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cfun(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == '?') {
        info.push_back(Tag("+CFUN") + std::to_string(m_nCfun));
        return Res{RES_OK, 0};
    }
    if (form == 't') {
        info.push_back(Tag("+CFUN") + "(0,1,4),(0,1)");
        return Res{RES_OK, 0};
    }
    int fun = 0, reset = 0;
    if (form != '=' || args.empty() || args.size() > 2 || !ToInt(args[0].strText, 0, 4, fun) ||
        (fun != 0 && fun != 1 && fun != 4) ||
        (args.size() == 2 && !ToInt(args[1].strText, 0, 1, reset))) {
        return Res{RES_CME, 4};
    }
    bool bWasOn = m_nCfun == 1;
    if (reset) Reset();
    if (fun == 1 && (!bWasOn || reset)) {
        PowerOn();
        Journal("CFUN 1");
        return Res{RES_OK, 0};
    }
    m_nCfun = fun;
    Journal("CFUN " + std::to_string(fun));
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Identity(const std::string& name, char form,
                                     std::vector<std::string>& info) {
    if (form == 't') return Res{RES_OK, 0};
    if (form != 'x') return Res{RES_ERROR, 0};
    const PhoneIdentity& p = m_s.phone;
    if (name == "+CIMI") {
        if (!SimReady()) return Res{RES_CME, 11};
        info.push_back(p.strImsi);
    } else if (name == "+CGMI" || name == "+GMI") {
        info.push_back(p.strManufacturer);
    } else if (name == "+CGMM" || name == "+GMM") {
        info.push_back(p.strModel);
    } else if (name == "+CGSN" || name == "+GSN") {
        info.push_back(p.strSerial);
    } else {
        info.push_back(p.strRevision);
    }
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cpin(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == '?') {
        info.push_back(SimReady() ? "+CPIN: READY" : "+CPIN: SIM PIN");
        return Res{RES_OK, 0};
    }
    if (form == 't') return Res{RES_OK, 0};
    if (form != '=' || args.empty() || args.size() > 2) return Res{RES_ERROR, 0};
    if (SimReady()) return Res{RES_CME, 3};  // nothing is asked for
    if (args[0].strText != m_s.phone.strPin) {
        Journal("PIN wrong");
        return Res{RES_CME, 16};
    }
    m_bPinEntered = true;
    Journal("PIN ok");
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Clck(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == 't') {
        info.push_back("+CLCK: (\"SC\")");
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.size() < 2) return Res{RES_ERROR, 0};
    if (Upper(args[0].strText) != "SC") return Res{RES_CME, 4};
    int mode;
    if (!ToInt(args[1].strText, 0, 2, mode)) return Res{RES_ERROR, 0};
    if (mode == 2) {
        info.push_back(std::string("+CLCK: ") + (m_s.phone.bPinRequired ? "1" : "0"));
        return Res{RES_OK, 0};
    }
    if (!SimReady()) return Res{RES_CME, 11};
    if (args.size() < 3 || args[2].strText != m_s.phone.strPin) {
        Journal("CLCK SC wrong password");
        return Res{RES_CME, 16};
    }
    m_s.phone.bPinRequired = mode == 1;
    // The PIN was just given, so the SIM stays usable.
    m_bPinEntered = true;
    Journal("CLCK SC " + std::to_string(mode));
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cops(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    const PhoneIdentity& p = m_s.phone;
    if (form == '?') {
        if (!SimReady()) {
            info.push_back(Tag("+COPS") + "0");
        } else {
            info.push_back(Tag("+COPS") + "0," + std::to_string(m_nCopsFormat) + "," +
                           Quoted(InCharset(m_nCopsFormat == 2 ? p.strOperatorCode
                                                               : p.strOperator)));
        }
        return Res{RES_OK, 0};
    }
    if (form == 't') {
        info.push_back("+COPS: (2," + Quoted(p.strOperator) + ",," + Quoted(p.strOperatorCode) +
                       "),,(0-4),(0,2)");
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty()) return Res{RES_ERROR, 0};
    int mode, format = m_nCopsFormat;
    if (!ToInt(args[0].strText, 0, 4, mode)) return Res{RES_ERROR, 0};
    if (args.size() > 1 && !args[1].Empty() &&
        (!ToInt(args[1].strText, 0, 2, format) || format == 1)) {
        return Res{RES_CME, 4};
    }
    if (mode == 1 || mode == 4) {
        if (args.size() < 3) return Res{RES_ERROR, 0};
        const std::string& want = args[2].strText;
        if (want != p.strOperator && want != p.strOperatorCode) return Res{RES_CME, 30};
    }
    m_nCopsFormat = format;
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Csca(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == 't') return Res{RES_OK, 0};
    if (!SimReady()) return Res{RES_CMS, 311};
    const std::string& smsc = m_s.phone.strSmsc;
    if (form == '?') {
        int type = !smsc.empty() && smsc[0] == '+' ? 145 : 129;
        info.push_back(Tag("+CSCA") + Quoted(InCharset(smsc)) + "," + std::to_string(type));
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty() || args.size() > 2 || !args[0].bQuoted) return Res{RES_ERROR, 0};
    std::string octets, error;
    if (!args[0].strText.empty() && !EncodeServiceCentre(args[0].strText, octets, error)) {
        return Res{RES_CMS, 304};
    }
    m_s.phone.strSmsc = args[0].strText;
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cscs(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == '?') {
        info.push_back("+CSCS: " + Quoted(m_strCharset));
        return Res{RES_OK, 0};
    }
    if (form == 't') {
        info.push_back("+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\")");
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.size() != 1) return Res{RES_ERROR, 0};
    std::string cs = Upper(args[0].strText);
    if (!IsKnownCharset(cs)) return Res{RES_CME, 4};
    m_strCharset = cs;
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cpms(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    const bool bZero = m_s.quirks.bCpmsTotalZero;
    auto counts = [this, bZero](const std::string& name) {
        SmsStorage* st = FindStorage(m_s, name);
        if (!st) return std::string("0,0");
        return std::to_string(st->slots.size()) + "," + std::to_string(bZero ? 0 : st->nSize);
    };
    if (form == 't') {
        const std::string& style = m_s.dialect.strCpmsTest;
        std::string list;
        for (size_t i = 0; i < m_s.smsStorages.size() && style != "empty"; ++i) {
            if (i) list += ",";
            list += Quoted(m_s.smsStorages[i].strName);
        }
        if (style != "plain") list = "(" + list + ")";
        info.push_back(Tag("+CPMS") + list + "," + list + "," + list);
        return Res{RES_OK, 0};
    }
    if (!SimReady()) return Res{RES_CMS, 311};
    if (form == '?') {
        std::string line = Tag("+CPMS");
        for (int i = 0; i < 3; ++i) {
            if (i) line += ",";
            line += Quoted(m_mem[i]) + "," + counts(m_mem[i]);
        }
        info.push_back(line);
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty() || args.size() > 3) return Res{RES_ERROR, 0};
    for (const Arg& a : args) {
        if (!FindStorage(m_s, Upper(a.strText))) return Res{RES_CMS, 302};
    }
    for (size_t i = 0; i < args.size(); ++i) m_mem[i] = Upper(args[i].strText);
    if (m_s.quirks.bCpmsEmpty) return Res{RES_OK, 0};
    std::string line = Tag("+CPMS") + counts(m_mem[0]) + "," + counts(m_mem[1]);
    if (m_s.dialect.nCpmsNumbers == 6) line += "," + counts(m_mem[2]);
    info.push_back(line);
    return Res{RES_OK, 0};
}

// The alpha field of a message header: the sender's phonebook name, when the phone knows the
// number, quoted in the current character set.
std::string CPhoneCore::SenderName(const std::string& pdu) const {
    std::string address, time, text, name;
    TextModeFields(pdu, address, time, text);
    for (const Phonebook& pb : m_s.phonebooks) {
        for (const auto& [loc, e] : pb.entries) {
            if (name.empty() && !address.empty() && e.strNumber == address) name = e.strName;
        }
    }
    return Quoted(EncodeCharset(name, m_strCharset));
}

CPhoneCore::Res CPhoneCore::Cmgr(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == 't') return Res{RES_OK, 0};
    if (form != '=' || args.size() != 1) return Res{RES_ERROR, 0};
    if (!SimReady()) return Res{RES_CMS, 311};
    SmsStorage* st = Mem(0);
    int index;
    if (!st || !ToInt(args[0].strText, 0, 9999, index)) return Res{RES_CMS, 321};
    if (index < m_s.dialect.nFirstIndex || Inside(index) > st->nSize) return EmptySlot(info);
    auto it = st->slots.find(Inside(index));
    if (it == st->slots.end()) return EmptySlot(info);
    SmsSlot& slot = it->second;
    std::string length = std::to_string(TpduLength(slot.strPdu));
    std::string stat = std::to_string(slot.nStatus);
    const std::string& header = m_s.dialect.strCmgrHeader;
    if (m_nCmgf == 1) {
        std::string address, time, text;
        if (!TextModeFields(slot.strPdu, address, time, text)) return Res{RES_CMS, 500};
        std::string line = Tag("+CMGR") + Quoted(TextStatus(slot.nStatus)) + "," +
                           Quoted(address) + ",";
        if (!time.empty()) line += "," + Quoted(time);
        info.push_back(line);
        info.push_back(text);
    } else if (header == "quoted") {
        info.push_back(Tag("+CMGR") + stat + ",\"\"," + length);
        info.push_back(slot.strPdu);
    } else if (header == "nostat") {
        info.push_back(Tag("+CMGR") + ",," + length);
        info.push_back(slot.strPdu);
    } else if (header == "alpha") {
        info.push_back(Tag("+CMGR") + stat + "," + SenderName(slot.strPdu) + "," + length);
        info.push_back(slot.strPdu);
    } else {
        info.push_back(Tag("+CMGR") + stat + ",," + length);
        info.push_back(slot.strPdu);
    }
    // Reading an unread message marks it read, as phones do.
    if (slot.nStatus == SMS_REC_UNREAD) slot.nStatus = SMS_REC_READ;
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cmgl(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == 't') {
        info.push_back("+CMGL: (0-4)");
        return Res{RES_OK, 0};
    }
    if (form == '?' || args.size() > 1) return Res{RES_ERROR, 0};
    if (!SimReady()) return Res{RES_CMS, 311};
    int stat = 0;
    if (m_nCmgf == 1) {
        static const char* const kNames[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT",
                                             "ALL"};
        std::string want = form == '=' ? Upper(args[0].strText) : "REC UNREAD";
        stat = -1;
        for (int i = 0; i < 5; ++i) {
            if (want == kNames[i]) stat = i;
        }
        if (stat < 0) return Res{RES_CMS, 304};
    } else if (form == '=' && !ToInt(args[0].strText, 0, 4, stat)) {
        return Res{RES_CMS, 304};
    }
    const std::string& style = m_s.dialect.strCmgl;
    if (style == "error") return Res{RES_ERROR, 0};
    if (style == "cms302") return Res{RES_CMS, 302};
    SmsStorage* st = Mem(0);
    if (!st) return Res{RES_CMS, 302};
    int listed = 0;
    for (auto& [index, slot] : st->slots) {
        if (stat != 4 && slot.nStatus != stat) continue;
        if (m_s.dialect.nCmglMax && listed == m_s.dialect.nCmglMax) break;
        ++listed;
        std::string at = Tag("+CMGL") + std::to_string(Outside(index)) + ",";
        std::string address, time, text;
        if (m_nCmgf == 1 && TextModeFields(slot.strPdu, address, time, text)) {
            info.push_back(at + Quoted(TextStatus(slot.nStatus)) + "," + Quoted(address) + ",," +
                           Quoted(time));
            info.push_back(text);
        } else {
            std::string alpha;
            if (m_s.dialect.strCmgrHeader == "quoted") alpha = "\"\"";
            if (m_s.dialect.strCmgrHeader == "alpha") alpha = SenderName(slot.strPdu);
            info.push_back(at + std::to_string(slot.nStatus) + "," + alpha + "," +
                           std::to_string(TpduLength(slot.strPdu)));
            info.push_back(slot.strPdu);
        }
        if (slot.nStatus == SMS_REC_UNREAD) slot.nStatus = SMS_REC_READ;
    }
    m_bPausedListing = m_s.dialect.nCmglPauseMs > 0 && listed > 1;
    // A listing garbled on the line: the last PDU loses its second half.
    if (style == "cut" && !info.empty()) info.back().resize(info.back().size() / 2);
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cmgd(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>&) {
    if (form == 't') return Res{RES_OK, 0};
    if (form != '=' || args.empty() || args.size() > 2) return Res{RES_ERROR, 0};
    if (!SimReady()) return Res{RES_CMS, 311};
    SmsStorage* st = Mem(0);
    if (!st) return Res{RES_CMS, 302};
    int flag = 0, index = 0;
    if (args.size() == 2 && !args[1].Empty() && !ToInt(args[1].strText, 0, 4, flag)) {
        return Res{RES_CMS, 304};
    }
    if (flag == 0) {
        if (!ToInt(args[0].strText, m_s.dialect.nFirstIndex, Outside(st->nSize), index)) {
            return Res{RES_CMS, 321};
        }
        st->slots.erase(Inside(index));
        Journal("DEL " + st->strName + " " + std::to_string(index));
        return Res{RES_OK, 0};
    }
    // 1 read, 2 read and sent, 3 read, sent and unsent, 4 all.
    for (auto it = st->slots.begin(); it != st->slots.end();) {
        int s = it->second.nStatus;
        bool bDelete = flag == 4 || s == SMS_REC_READ || (flag >= 2 && s == SMS_STO_SENT) ||
                       (flag >= 3 && s == SMS_STO_UNSENT);
        if (!bDelete) {
            ++it;
            continue;
        }
        Journal("DEL " + st->strName + " " + std::to_string(Outside(it->first)));
        it = st->slots.erase(it);
    }
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::CmgsCmgw(bool bWrite, char form, const std::vector<Arg>& args) {
    if (form == 't') return Res{RES_OK, 0};
    if (form != '=' || args.empty() || args.size() > 2) return Res{RES_ERROR, 0};
    if (!SimReady()) return Res{RES_CMS, 311};
    int length, status = SMS_STO_UNSENT;
    m_strTextTo.clear();
    if (m_nCmgf == 1 && !bWrite) {
        // Text mode takes the recipient here, even a number meant as a PDU length.
        if (args[0].strText.empty()) return Res{RES_CMS, 304};
        m_strTextTo = args[0].strText;
        m_mode = MODE_PROMPT;
        m_bPromptWrite = false;
        m_strPdu.clear();
        return Res{RES_PROMPT, 0};
    }
    if (!ToInt(args[0].strText, 1, 164, length)) return Res{RES_CMS, 304};
    if (args.size() == 2 && (!bWrite || !ToInt(args[1].strText, 0, 3, status))) {
        return Res{RES_CMS, 304};
    }
    m_mode = MODE_PROMPT;
    m_bPromptWrite = bWrite;
    m_nPromptLength = length;
    m_nPromptStatus = status;
    m_strPdu.clear();
    return Res{RES_PROMPT, 0};
}

CPhoneCore::Res CPhoneCore::Cpbs(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (form == 't') {
        std::string list = "+CPBS: (";
        for (size_t i = 0; i < m_s.phonebooks.size(); ++i) {
            if (i) list += ",";
            list += Quoted(m_s.phonebooks[i].strName);
        }
        info.push_back(list + ")");
        return Res{RES_OK, 0};
    }
    if (!SimReady()) return Res{RES_CME, 11};
    if (form == '?') {
        Phonebook* pb = FindPhonebook(m_s, m_strPhonebook);
        if (!pb) return Res{RES_CME, 3};
        info.push_back("+CPBS: " + Quoted(pb->strName) + "," + std::to_string(pb->entries.size()) +
                       "," + std::to_string(pb->nLast - pb->nFirst + 1));
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.size() != 1) return Res{RES_ERROR, 0};
    std::string name = Upper(args[0].strText);
    if (!FindPhonebook(m_s, name)) return Res{RES_CME, 3};
    m_strPhonebook = name;
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cpbr(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (!SimReady()) return Res{RES_CME, 11};
    Phonebook* pb = FindPhonebook(m_s, m_strPhonebook);
    if (!pb) return Res{RES_CME, 3};
    if (form == 't') {
        info.push_back("+CPBR: (" + std::to_string(pb->nFirst) + "-" + std::to_string(pb->nLast) +
                       ")," + std::to_string(pb->nNumberLength) + "," +
                       std::to_string(pb->nNameLength));
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty() || args.size() > 2) return Res{RES_ERROR, 0};
    int first, last;
    if (!ToInt(args[0].strText, pb->nFirst, pb->nLast, first)) return Res{RES_CME, 21};
    last = first;
    if (args.size() == 2 && !ToInt(args[1].strText, first, pb->nLast, last)) return Res{RES_CME, 21};
    if (m_s.dialect.strPhonebookEmpty == "cme22") {
        auto it = pb->entries.lower_bound(first);
        if (it == pb->entries.end() || it->first > last) return Res{RES_CME, 22};
    }
    for (auto it = pb->entries.lower_bound(first); it != pb->entries.end() && it->first <= last;
         ++it) {
        const PhonebookEntry& e = it->second;
        info.push_back("+CPBR: " + std::to_string(it->first) + "," + Quoted(e.strNumber) + "," +
                       std::to_string(e.nType) + "," +
                       Quoted(EncodeCharset(e.strName, m_strCharset)));
    }
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cpbw(char form, const std::vector<Arg>& args,
                                 std::vector<std::string>& info) {
    if (!SimReady()) return Res{RES_CME, 11};
    Phonebook* pb = FindPhonebook(m_s, m_strPhonebook);
    if (!pb) return Res{RES_CME, 3};
    if (form == 't') {
        info.push_back("+CPBW: (" + std::to_string(pb->nFirst) + "-" + std::to_string(pb->nLast) +
                       ")," + std::to_string(pb->nNumberLength) + ",(129,145)," +
                       std::to_string(pb->nNameLength));
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty() || args.size() > 4) return Res{RES_ERROR, 0};
    int index = 0;
    if (!args[0].Empty() && !ToInt(args[0].strText, pb->nFirst, pb->nLast, index)) {
        return Res{RES_CME, 21};
    }
    if (args.size() == 1) {
        if (!index) return Res{RES_CME, 21};
        pb->entries.erase(index);
        Journal("PBD " + pb->strName + " " + std::to_string(index));
        return Res{RES_OK, 0};
    }
    PhonebookEntry e;
    e.strNumber = args[1].strText;
    if (static_cast<int>(e.strNumber.size()) > pb->nNumberLength) return Res{RES_CME, 26};
    for (size_t i = 0; i < e.strNumber.size(); ++i) {
        char c = e.strNumber[i];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || std::strchr("*#pPwW", c) ||
              (c == '+' && i == 0))) {
            return Res{RES_CME, 27};
        }
    }
    e.nType = !e.strNumber.empty() && e.strNumber[0] == '+' ? 145 : 129;
    if (args.size() >= 3 && !args[2].Empty() && !ToInt(args[2].strText, 128, 255, e.nType)) {
        return Res{RES_CME, 4};
    }
    if (args.size() == 4 && !DecodeCharset(args[3].strText, m_strCharset, e.strName)) {
        return Res{RES_CME, 25};
    }
    if (static_cast<int>(EncodeCharset(e.strName, "GSM").size()) > pb->nNameLength) {
        return Res{RES_CME, 24};
    }
    if (!index) {
        for (int i = pb->nFirst; i <= pb->nLast && !index; ++i) {
            if (!pb->entries.count(i)) index = i;
        }
        if (!index) return Res{RES_CME, 20};
    }
    pb->entries[index] = e;
    Journal("PBW " + pb->strName + " " + std::to_string(index) + " " + e.strNumber + "," +
            std::to_string(e.nType) + "," + JournalText(e.strName));
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Cgdcont(char form, const std::vector<Arg>& args,
                                    std::vector<std::string>& info) {
    if (form == 't') {
        info.push_back("+CGDCONT: (1-3),\"IP\",,,(0-2),(0-4)");
        return Res{RES_OK, 0};
    }
    if (form == '?') {
        for (const auto& [cid, text] : m_contexts) {
            info.push_back("+CGDCONT: " + std::to_string(cid) + "," + text);
        }
        return Res{RES_OK, 0};
    }
    if (form != '=' || args.empty() || args.size() > 6) return Res{RES_ERROR, 0};
    int cid;
    if (!ToInt(args[0].strText, 1, 3, cid)) return Res{RES_CME, 21};
    if (args.size() == 1) {
        m_contexts.erase(cid);
        return Res{RES_OK, 0};
    }
    std::string type = Upper(args[1].strText);
    if (type != "IP" && type != "PPP" && type != "IPV6" && type != "IPV4V6") return Res{RES_CME, 4};
    std::string apn = args.size() > 2 ? args[2].strText : "";
    std::string addr = args.size() > 3 ? args[3].strText : "";
    int dcomp = 0, hcomp = 0;
    if (args.size() > 4 && !args[4].Empty() && !ToInt(args[4].strText, 0, 2, dcomp)) {
        return Res{RES_CME, 4};
    }
    if (args.size() > 5 && !args[5].Empty() && !ToInt(args[5].strText, 0, 4, hcomp)) {
        return Res{RES_CME, 4};
    }
    m_contexts[cid] = Quoted(type) + "," + Quoted(apn) + "," + Quoted(addr) + "," +
                      std::to_string(dcomp) + "," + std::to_string(hcomp);
    return Res{RES_OK, 0};
}

CPhoneCore::Res CPhoneCore::Setting(const std::string& name, char form,
                                    const std::vector<Arg>& args, std::vector<std::string>& info) {
    const SettingInfo* s = FindSetting(name);
    std::string value = m_settings.count(name) ? m_settings[name] : s->value;
    if (form == 't') {
        info.push_back(name + ": " + s->range);
        return Res{RES_OK, 0};
    }
    if (form == '?') {
        if (name == "+CREG" || name == "+CGREG") value += SimReady() ? ",1" : ",0";
        info.push_back(name + ": " + value);
        return Res{RES_OK, 0};
    }
    if (form != '=') return Res{RES_ERROR, 0};
    std::string joined;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) joined += ",";
        joined += args[i].bQuoted ? Quoted(args[i].strText) : args[i].strText;
    }
    if (!ValidSettingValue(name, joined)) return Res{RES_ERROR, 0};
    m_settings[name] = joined;
    return Res{RES_OK, 0};
}

}  // namespace kvo::phone
