#include "tools/kvophone/scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

#include "tools/kvophone/sms_pdu.h"
#include "tools/kvophone/text_codec.h"

namespace kvo::phone {
namespace {

constexpr std::string_view kSpace = " \t";

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(kSpace);
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(kSpace);
    return s.substr(b, e - b + 1);
}

// Cuts a comment: ';' after white space, outside double quotes.
std::string_view StripComment(std::string_view line) {
    bool bQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (bQuoted && c == '\\') {
            ++i;
        } else if (c == '"') {
            bQuoted = !bQuoted;
        } else if (!bQuoted && c == ';' && i > 0 && (line[i - 1] == ' ' || line[i - 1] == '\t')) {
            return line.substr(0, i);
        }
    }
    return line;
}

// A field: quoted with escapes, or the raw trimmed text.
bool ReadField(std::string_view raw, std::string& out, std::string& error) {
    raw = Trim(raw);
    if (raw.empty() || raw[0] != '"') {
        out.assign(raw);
        return true;
    }
    if (raw.size() < 2 || raw.back() != '"') {
        error = "unterminated quoted text";
        return false;
    }
    return UnescapeBytes(raw.substr(1, raw.size() - 2), out, error);
}

// Splits at commas outside quotes into at most maxFields fields; the last takes the rest.
std::vector<std::string_view> SplitFields(std::string_view value, size_t maxFields) {
    std::vector<std::string_view> fields;
    bool bQuoted = false;
    size_t start = 0;
    for (size_t i = 0; i < value.size() && fields.size() + 1 < maxFields; ++i) {
        char c = value[i];
        if (bQuoted && c == '\\') {
            ++i;
        } else if (c == '"') {
            bQuoted = !bQuoted;
        } else if (!bQuoted && c == ',') {
            fields.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    fields.push_back(value.substr(start));
    return fields;
}

bool ParseInt(std::string_view s, int min, int max, int& value) {
    s = Trim(s);
    if (s.empty() || s.size() > 9) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    auto res = std::from_chars(s.data(), s.data() + s.size(), value);
    return res.ec == std::errc() && value >= min && value <= max;
}

bool ParseBool(std::string_view s, bool& value) {
    s = Trim(s);
    if (s == "on" || s == "yes" || s == "1" || s == "true") {
        value = true;
        return true;
    }
    if (s == "off" || s == "no" || s == "0" || s == "false") {
        value = false;
        return true;
    }
    return false;
}

bool IsStorageName(std::string_view s) {
    if (s.empty() || s.size() > 4) return false;
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

bool IsPhoneNumber(std::string_view s) {
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool ok = (c >= '0' && c <= '9') || c == '*' || c == '#' || c == 'p' || c == 'P' ||
                  c == 'w' || c == 'W' || (c == '+' && i == 0);
        if (!ok) return false;
    }
    return true;
}

bool IsSmsc(std::string_view s) {
    if (s.empty()) return true;
    size_t i = s[0] == '+' ? 1 : 0;
    if (i == s.size() || s.size() - i > 20) return false;
    return std::all_of(s.begin() + i, s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A message given as sender, time and text, encoded once the service centre is known.
struct PendingText {
    int nLine;
    size_t nStorage;
    int nSlot;
    std::string strAddress, strTime, strText;
    DeliverForm form;
};

class CParser {
public:
    CParser(Scenario& out, std::string& error) : m_out(out), m_error(error) {}
    bool Run(std::string_view text);
    // One "key = value" line of [dialect], applied to m_out as it stands.
    bool DialectLine(std::string_view line) {
        m_nLine = 1;
        m_section = DIALECT;
        return Line(line);
    }

private:
    bool Fail(const std::string& what) {
        m_error = "line " + std::to_string(m_nLine) + ": " + what;
        return false;
    }
    bool Line(std::string_view line);
    bool Section(std::string_view header);
    bool PhoneKey(std::string_view key, std::string_view value);
    bool SmsKey(std::string_view key, std::string_view value);
    bool PhonebookKey(std::string_view key, std::string_view value);
    bool QuirkKey(std::string_view key, std::string_view value);
    bool DialectKey(std::string_view key, std::string_view value);
    bool ScriptLine(std::string_view line);
    bool SubmittedKey(std::string_view key, std::string_view value);
    bool Text(std::string_view value, std::string& out) {
        std::string err;
        if (!ReadField(value, out, err)) return Fail(err);
        return true;
    }

    Scenario& m_out;
    std::string& m_error;
    int m_nLine = 0;
    enum { NONE, PHONE, SMS, PHONEBOOK, QUIRKS, DIALECT, SCRIPT, SUBMITTED, DATA } m_section = NONE;
    size_t m_nIndex = 0;  // storage or phonebook in its vector
    std::set<std::string> m_seenSections;
    bool m_bHadSms = false, m_bHadPhonebook = false;
    std::vector<PendingText> m_pending;
    bool SlotForm(std::string_view words, DeliverForm& form);
};

bool CParser::Run(std::string_view text) {
    Scenario defaults = DefaultScenario();
    m_out = Scenario{};
    m_out.phone = defaults.phone;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++m_nLine;
        if (!Line(line)) return false;
        pos = end + 1;
    }
    if (!m_bHadSms) m_out.smsStorages = defaults.smsStorages;
    if (!m_bHadPhonebook) m_out.phonebooks = defaults.phonebooks;
    for (PendingText& p : m_pending) {
        std::string err;
        SmsSlot& slot = m_out.smsStorages[p.nStorage].slots[p.nSlot];
        bool ok = slot.nStatus <= SMS_REC_READ
                      ? EncodeDeliver(m_out.phone.strSmsc, p.strAddress, p.strTime, p.strText,
                                      slot.strPdu, err, p.form)
                      : EncodeStoredSubmit(p.strAddress, p.strText, slot.strPdu, err);
        if (!ok) {
            m_nLine = p.nLine;
            return Fail(err);
        }
    }
    return true;
}

bool CParser::Line(std::string_view raw) {
    std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#' || line[0] == ';') return true;
    line = Trim(StripComment(line));
    if (line[0] == '[') return Section(line);
    if (m_section == SCRIPT) return ScriptLine(line);
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return Fail("expected key = value");
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));
    if (key.empty()) return Fail("missing key before '='");
    switch (m_section) {
    case PHONE: return PhoneKey(key, value);
    case SMS: return SmsKey(key, value);
    case PHONEBOOK: return PhonebookKey(key, value);
    case QUIRKS: return QuirkKey(key, value);
    case DIALECT: return DialectKey(key, value);
    case SUBMITTED: return SubmittedKey(key, value);
    case DATA: {
        std::string err;
        if (!ParseDataKey(key, value, m_out.data, err)) return Fail(err);
        return true;
    }
    default: return Fail("key outside a section");
    }
}

bool CParser::Section(std::string_view header) {
    if (header.back() != ']') return Fail("section header without ']'");
    std::string_view inner = Trim(header.substr(1, header.size() - 2));
    size_t sp = inner.find_first_of(kSpace);
    std::string_view kind = inner.substr(0, sp);
    std::string_view arg = sp == std::string_view::npos ? std::string_view{} : Trim(inner.substr(sp));
    std::string canonical = std::string(kind) + " " + std::string(arg);
    if (!m_seenSections.insert(canonical).second) return Fail("section repeated");
    if (kind == "dialect") {
        if (!arg.empty()) return Fail("section [dialect] takes no name");
        m_section = DIALECT;
        return true;
    }
    if (kind == "phone" || kind == "quirks" || kind == "script" || kind == "submitted" ||
        kind == "data") {
        if (!arg.empty()) return Fail("section [" + std::string(kind) + "] takes no name");
        m_section = kind == "phone" ? PHONE : kind == "quirks" ? QUIRKS
                  : kind == "script" ? SCRIPT : kind == "data" ? DATA : SUBMITTED;
        return true;
    }
    if (kind == "sms" || kind == "phonebook") {
        if (!IsStorageName(arg)) return Fail("storage name must be 1-4 capitals or digits");
        if (kind == "sms") {
            m_bHadSms = true;
            m_section = SMS;
            m_nIndex = m_out.smsStorages.size();
            m_out.smsStorages.push_back(SmsStorage{std::string(arg), 0, {}});
            return true;
        }
        m_bHadPhonebook = true;
        m_section = PHONEBOOK;
        m_nIndex = m_out.phonebooks.size();
        Phonebook pb;
        pb.strName = std::string(arg);
        m_out.phonebooks.push_back(pb);
        return true;
    }
    return Fail("unknown section [" + std::string(kind) + "]");
}

bool CParser::PhoneKey(std::string_view key, std::string_view value) {
    PhoneIdentity& p = m_out.phone;
    std::string text;
    if (!Text(value, text)) return false;
    if (key == "manufacturer") p.strManufacturer = text;
    else if (key == "model") p.strModel = text;
    else if (key == "serial") p.strSerial = text;
    else if (key == "revision") p.strRevision = text;
    else if (key == "imsi") p.strImsi = text;
    else if (key == "operator") p.strOperator = text;
    else if (key == "operator_code") p.strOperatorCode = text;
    else if (key == "pin") p.strPin = text;
    else if (key == "smsc") {
        if (!IsSmsc(text)) return Fail("smsc must be digits with an optional leading '+'");
        p.strSmsc = text;
    } else if (key == "echo") {
        if (!ParseBool(text, p.bEcho)) return Fail("echo must be on or off");
    } else if (key == "pin_required") {
        if (!ParseBool(text, p.bPinRequired)) return Fail("pin_required must be yes or no");
    } else if (key == "cmee") {
        if (!ParseInt(text, 0, 2, p.nCmee)) return Fail("cmee must be 0, 1 or 2");
    } else {
        return Fail("unknown key '" + std::string(key) + "' in [phone]");
    }
    return true;
}

bool CParser::SmsKey(std::string_view key, std::string_view value) {
    SmsStorage& st = m_out.smsStorages[m_nIndex];
    if (key == "size") {
        if (!st.slots.empty()) return Fail("size must come before the slots");
        if (!ParseInt(value, 0, 1000, st.nSize)) return Fail("size must be 0..1000");
        return true;
    }
    int index;
    if (!ParseInt(key, 1, 1000, index)) return Fail("unknown key '" + std::string(key) + "'");
    if (index > st.nSize) return Fail("slot " + std::to_string(index) + " outside 1.." +
                                      std::to_string(st.nSize) + " (size comes first)");
    if (st.slots.count(index)) return Fail("slot " + std::to_string(index) + " given twice");
    std::vector<std::string_view> f = SplitFields(value, 4);
    SmsSlot slot;
    // The status may be followed by words that shape a received message: "data" (the text
    // is hex octets), "part=I/N" with "ref=R" (one part of a long message; "ref16=R" for a
    // 16-bit reference) and "port=P".
    std::string_view status = f[0];
    std::string_view words;
    if (size_t sp = status.find(' '); sp != std::string_view::npos) {
        words = status.substr(sp + 1);
        status = status.substr(0, sp);
    }
    if (!ParseInt(status, 0, 3, slot.nStatus)) return Fail("status must be 0..3");
    DeliverForm form;
    if (!SlotForm(words, form)) return false;
    bool bShaped = !(form == DeliverForm{});
    if (bShaped && (slot.nStatus > SMS_REC_READ || f.size() != 4))
        return Fail("data, part, ref and port shape received messages given as text");
    if (f.size() == 2) {
        std::string pdu;
        if (!Text(f[1], pdu)) return false;
        if (TpduLength(pdu) < 1) return Fail("not a PDU in hex");
        slot.strPdu = pdu;
        st.slots[index] = slot;
        return true;
    }
    if (f.size() != 4) return Fail("slot wants status,PDU or status,number,time,text");
    PendingText p{m_nLine, m_nIndex, index, {}, {}, {}, form};
    if (!Text(f[1], p.strAddress) || !Text(f[2], p.strTime) || !Text(f[3], p.strText)) {
        return false;
    }
    // Check now so that the error names this line; encode at the end with the final smsc.
    std::string hex, err;
    bool ok = slot.nStatus <= SMS_REC_READ
                  ? EncodeDeliver("", p.strAddress, p.strTime, p.strText, hex, err, form)
                  : EncodeStoredSubmit(p.strAddress, p.strText, hex, err);
    if (!ok) return Fail(err);
    st.slots[index] = slot;
    m_pending.push_back(p);
    return true;
}

bool CParser::SlotForm(std::string_view words, DeliverForm& form) {
    bool bPart = false, bRef = false;
    while (!words.empty()) {
        size_t sp = words.find(' ');
        std::string_view w = words.substr(0, sp);
        words = sp == std::string_view::npos ? std::string_view() : words.substr(sp + 1);
        if (w.empty()) continue;
        std::string_view key = w.substr(0, w.find('='));
        std::string_view val = key.size() < w.size() ? w.substr(key.size() + 1) : "";
        if (w == "data") {
            form.bData = true;
        } else if (key == "part") {
            size_t slash = val.find('/');
            if (slash == std::string_view::npos ||
                !ParseInt(val.substr(slash + 1), 1, 255, form.nCount) ||
                !ParseInt(val.substr(0, slash), 1, form.nCount, form.nSeq))
                return Fail("part wants I/N with 1 <= I <= N <= 255");
            bPart = true;
        } else if (key == "ref" || key == "ref16") {
            if (!ParseInt(val, 0, key == "ref" ? 255 : 65535, form.nRef))
                return Fail(std::string(key) + (key == "ref" ? " must be 0..255" : " must be 0..65535"));
            form.bRef16 = key == "ref16";
            bRef = true;
        } else if (key == "port") {
            if (!ParseInt(val, 0, 65535, form.nPort)) return Fail("port must be 0..65535");
        } else {
            return Fail("unknown word '" + std::string(w) + "' after the status");
        }
    }
    if (bPart != bRef) return Fail("part and ref come together");
    return true;
}

bool CParser::PhonebookKey(std::string_view key, std::string_view value) {
    Phonebook& pb = m_out.phonebooks[m_nIndex];
    if (key == "range" || key == "number_length" || key == "name_length") {
        if (!pb.entries.empty()) return Fail(std::string(key) + " must come before the entries");
        if (key == "number_length") {
            if (!ParseInt(value, 1, 80, pb.nNumberLength)) return Fail("number_length 1..80");
            return true;
        }
        if (key == "name_length") {
            if (!ParseInt(value, 1, 80, pb.nNameLength)) return Fail("name_length 1..80");
            return true;
        }
        size_t dash = value.find('-');
        if (dash == std::string_view::npos || !ParseInt(value.substr(0, dash), 0, 9999, pb.nFirst) ||
            !ParseInt(value.substr(dash + 1), 0, 9999, pb.nLast) || pb.nFirst > pb.nLast) {
            return Fail("range must read first-last");
        }
        return true;
    }
    int index;
    if (!ParseInt(key, 0, 9999, index)) return Fail("unknown key '" + std::string(key) + "'");
    if (index < pb.nFirst || index > pb.nLast) {
        return Fail("location " + std::to_string(index) + " outside the range");
    }
    if (pb.entries.count(index)) return Fail("location " + std::to_string(index) + " given twice");
    std::vector<std::string_view> f = SplitFields(value, 3);
    if (f.size() != 3) return Fail("entry wants number,type,name");
    PhonebookEntry e;
    if (!Text(f[0], e.strNumber) || !Text(f[2], e.strName)) return false;
    if (!IsPhoneNumber(e.strNumber)) return Fail("bad number '" + e.strNumber + "'");
    if (static_cast<int>(e.strNumber.size()) > pb.nNumberLength) return Fail("number too long");
    if (static_cast<int>(EncodeCharset(e.strName, "GSM").size()) > pb.nNameLength) {
        return Fail("name too long");
    }
    if (Trim(f[1]).empty()) {
        e.nType = !e.strNumber.empty() && e.strNumber[0] == '+' ? 145 : 129;
    } else if (!ParseInt(f[1], 128, 255, e.nType)) {
        return Fail("type must be 128..255");
    }
    pb.entries[index] = e;
    return true;
}

bool CParser::QuirkKey(std::string_view key, std::string_view value) {
    Quirks& q = m_out.quirks;
    std::string text;
    if (!Text(value, text)) return false;
    bool* flag = key == "no_echo"           ? &q.bNoEcho
                 : key == "cmti_in_reply"   ? &q.bCmtiInReply
                 : key == "cpms_total_zero" ? &q.bCpmsTotalZero
                 : key == "cpms_empty"      ? &q.bCpmsEmpty
                                            : nullptr;
    if (flag) {
        if (!ParseBool(text, *flag)) return Fail(std::string(key) + " must be yes or no");
        return true;
    }
    std::vector<std::string>* list = key == "error"       ? &q.errorFor
                                     : key == "silent"    ? &q.silentFor
                                     : key == "hangup_in" ? &q.hangupIn
                                                          : nullptr;
    if (list) {
        if (text.empty()) return Fail(std::string(key) + " needs a command");
        list->push_back(text);
        return true;
    }
    if (key == "garbage") {
        q.strGarbage = text;
        return true;
    }
    if (key == "reply_delay_ms") {
        if (!ParseInt(text, 0, 600000, q.nReplyDelayMs)) return Fail("reply_delay_ms 0..600000");
        return true;
    }
    return Fail("unknown quirk '" + std::string(key) + "'");
}

bool CParser::DialectKey(std::string_view key, std::string_view value) {
    Dialect& d = m_out.dialect;
    std::string text;
    if (!Text(value, text)) return false;
    auto oneOf = [&](std::string& out, std::initializer_list<const char*> allowed) {
        std::string list;
        for (const char* a : allowed) {
            if (text == a) {
                out = text;
                return true;
            }
            list += list.empty() ? a : std::string(", ") + a;
        }
        return Fail(std::string(key) + " must be one of " + list);
    };
    auto flag = [&](bool& out) {
        if (!ParseBool(text, out)) return Fail(std::string(key) + " must be yes or no");
        return true;
    };
    if (key == "cmgf") {
        if (!ParseInt(text, 0, 1, d.nCmgf)) return Fail("cmgf must be 0 or 1");
        return true;
    }
    if (key == "charset") {
        std::string upper = text;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!IsKnownCharset(upper)) return Fail("charset must be GSM, IRA, 8859-1 or UCS2");
        d.strCharset = upper;
        return true;
    }
    if (key == "ucs2_replies") return flag(d.bUcs2Replies);
    if (key == "unsolicited") {
        if (text.empty() || text.find_first_of("\r\n") != std::string::npos) {
            return Fail("unsolicited wants one line of text");
        }
        d.unsolicited.push_back(text);
        return true;
    }
    if (key == "unsolicited_at") return oneOf(d.strUnsolicitedAt, {"before", "inside", "after", "prompt"});
    if (key == "unsolicited_every") {
        if (!ParseInt(text, 1, 1000, d.nUnsolicitedEvery)) return Fail("unsolicited_every 1..1000");
        return true;
    }
    if (key == "empty_slot") {
        return oneOf(d.strEmptySlot, {"ok", "cmgr0", "cms320", "cms321", "cms500", "error"});
    }
    if (key == "first_index") {
        if (!ParseInt(text, 0, 1, d.nFirstIndex)) return Fail("first_index must be 0 or 1");
        return true;
    }
    if (key == "cpms_numbers") {
        if (!ParseInt(text, 4, 6, d.nCpmsNumbers) || d.nCpmsNumbers == 5) {
            return Fail("cpms_numbers must be 4 or 6");
        }
        return true;
    }
    if (key == "cpms_test") return oneOf(d.strCpmsTest, {"brackets", "plain", "empty"});
    if (key == "cmgr_header") return oneOf(d.strCmgrHeader, {"plain", "quoted", "nostat", "alpha"});
    if (key == "no_space") return flag(d.bNoSpace);
    if (key == "sim_busy_ms") {
        if (!ParseInt(text, 0, 600000, d.nSimBusyMs)) return Fail("sim_busy_ms 0..600000");
        return true;
    }
    if (key == "cmgs_delay_ms") {
        if (!ParseInt(text, 0, 600000, d.nCmgsDelayMs)) return Fail("cmgs_delay_ms 0..600000");
        return true;
    }
    if (key == "no_final_ok") {
        if (text.empty()) return Fail("no_final_ok needs a command");
        d.noFinalOk.push_back(text);
        return true;
    }
    if (key == "unknown") return oneOf(d.strUnknown, {"error", "cme", "not_support"});
    if (key == "damaged_echo") return flag(d.bDamagedEcho);
    if (key == "phonebook_empty") return oneOf(d.strPhonebookEmpty, {"ok", "cme22"});
    if (key == "cmgl") return oneOf(d.strCmgl, {"list", "error", "cms302", "cut"});
    if (key == "cmgl_max") {
        if (!ParseInt(text, 0, 1000, d.nCmglMax)) return Fail("cmgl_max 0..1000");
        return true;
    }
    if (key == "cmgl_pause_ms") {
        if (!ParseInt(text, 0, 60000, d.nCmglPauseMs)) return Fail("cmgl_pause_ms 0..60000");
        return true;
    }
    if (key == "no_sms_storage") return flag(d.bNoSmsStorage);
    return Fail("unknown dialect key '" + std::string(key) + "'");
}

bool CParser::ScriptLine(std::string_view line) {
    if (line[0] != '"') {
        size_t eq = line.find('=');
        if (eq != std::string_view::npos && Trim(line.substr(0, eq)) == "only") {
            if (!ParseBool(line.substr(eq + 1), m_out.bScriptOnly)) return Fail("only: yes or no");
            return true;
        }
        return Fail("script rule wants \"bytes in\" = \"bytes out\"");
    }
    // The trigger's closing quote: the first unescaped quote after the opening one.
    size_t i = 1;
    for (; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\') ++i;
    }
    if (i >= line.size()) return Fail("unterminated trigger");
    std::string_view rest = Trim(line.substr(i + 1));
    if (rest.empty() || rest[0] != '=') return Fail("script rule wants '=' after the trigger");
    rest = Trim(rest.substr(1));
    if (rest.empty() || rest[0] != '"') return Fail("script response must be quoted");
    ScriptRule rule;
    if (!Text(line.substr(0, i + 1), rule.strTrigger) || !Text(rest, rule.strResponse)) return false;
    if (rule.strTrigger.empty()) return Fail("empty trigger");
    m_out.script.push_back(rule);
    return true;
}

bool CParser::SubmittedKey(std::string_view key, std::string_view value) {
    int index;
    if (!ParseInt(key, 1, 1000000, index) ||
        index != static_cast<int>(m_out.submitted.size()) + 1) {
        return Fail("submitted messages are numbered 1, 2, 3 ...");
    }
    std::string pdu;
    if (!Text(value, pdu)) return false;
    if (TpduLength(pdu) < 1) return Fail("not a PDU in hex");
    m_out.submitted.push_back(pdu);
    return true;
}

// Quotes a value when reading it back raw would change it.
std::string Value(std::string_view s, bool bCommaSpecial = false) {
    bool bQuote = !s.empty() && (s.front() == ' ' || s.front() == '\t' || s.back() == ' ' ||
                                 s.back() == '\t' || s.front() == '"');
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == ';' || c == '"' || (bCommaSpecial && c == ',')) {
            bQuote = true;
        }
    }
    if (!bQuote) return std::string(s);
    return "\"" + EscapeBytes(s) + "\"";
}

}  // namespace

Scenario DefaultScenario() {
    Scenario s;
    s.smsStorages.push_back(SmsStorage{"ME", 20, {}});
    s.smsStorages.push_back(SmsStorage{"SM", 10, {}});
    Phonebook pb;
    pb.strName = "SM";
    s.phonebooks.push_back(pb);
    return s;
}

bool ParseScenario(std::string_view text, Scenario& out, std::string& error) {
    Scenario result;
    CParser parser(result, error);
    if (!parser.Run(text)) return false;
    out = std::move(result);
    return true;
}

bool ApplyDialectSetting(std::string_view line, Dialect& dialect, std::string& error) {
    Scenario scratch;
    scratch.dialect = dialect;
    CParser parser(scratch, error);
    if (line.find('=') == std::string_view::npos) {
        error = "expected key=value";
        return false;
    }
    if (!parser.DialectLine(line)) {
        if (error.compare(0, 8, "line 1: ") == 0) error.erase(0, 8);
        return false;
    }
    dialect = scratch.dialect;
    return true;
}

std::string FormatScenario(const Scenario& s) {
    const PhoneIdentity& p = s.phone;
    std::string out = "[phone]\n";
    auto kv = [&out](const char* key, const std::string& value) {
        out += key;
        out += " = ";
        out += value;
        out += '\n';
    };
    kv("manufacturer", Value(p.strManufacturer));
    kv("model", Value(p.strModel));
    kv("serial", Value(p.strSerial));
    kv("revision", Value(p.strRevision));
    kv("imsi", Value(p.strImsi));
    kv("operator", Value(p.strOperator));
    kv("operator_code", Value(p.strOperatorCode));
    kv("smsc", Value(p.strSmsc));
    kv("echo", p.bEcho ? "on" : "off");
    kv("pin", Value(p.strPin));
    kv("pin_required", p.bPinRequired ? "yes" : "no");
    kv("cmee", std::to_string(p.nCmee));
    for (const SmsStorage& st : s.smsStorages) {
        out += "\n[sms " + st.strName + "]\n";
        kv("size", std::to_string(st.nSize));
        for (const auto& [index, slot] : st.slots) {
            kv(std::to_string(index).c_str(),
               std::to_string(slot.nStatus) + "," + Value(slot.strPdu, true));
        }
    }
    for (const Phonebook& pb : s.phonebooks) {
        out += "\n[phonebook " + pb.strName + "]\n";
        kv("range", std::to_string(pb.nFirst) + "-" + std::to_string(pb.nLast));
        kv("number_length", std::to_string(pb.nNumberLength));
        kv("name_length", std::to_string(pb.nNameLength));
        for (const auto& [index, e] : pb.entries) {
            kv(std::to_string(index).c_str(), Value(e.strNumber, true) + "," +
                                                  std::to_string(e.nType) + "," + Value(e.strName));
        }
    }
    const Quirks& q = s.quirks;
    if (!(q == Quirks{})) {
        out += "\n[quirks]\n";
        if (q.bNoEcho) kv("no_echo", "yes");
        if (q.bCmtiInReply) kv("cmti_in_reply", "yes");
        if (q.bCpmsTotalZero) kv("cpms_total_zero", "yes");
        if (q.bCpmsEmpty) kv("cpms_empty", "yes");
        for (const std::string& c : q.errorFor) kv("error", Value(c));
        for (const std::string& c : q.silentFor) kv("silent", Value(c));
        for (const std::string& c : q.hangupIn) kv("hangup_in", Value(c));
        if (!q.strGarbage.empty()) kv("garbage", "\"" + EscapeBytes(q.strGarbage) + "\"");
        if (q.nReplyDelayMs) kv("reply_delay_ms", std::to_string(q.nReplyDelayMs));
    }
    if (!(s.data == DataCallSettings{})) out += "\n" + FormatDataSection(s.data);
    const Dialect& d = s.dialect;
    if (!(d == Dialect{})) {
        const Dialect plain;
        out += "\n[dialect]\n";
        if (d.nCmgf != plain.nCmgf) kv("cmgf", std::to_string(d.nCmgf));
        if (d.strCharset != plain.strCharset) kv("charset", d.strCharset);
        if (d.bUcs2Replies) kv("ucs2_replies", "yes");
        for (const std::string& line : d.unsolicited) kv("unsolicited", Value(line));
        if (d.strUnsolicitedAt != plain.strUnsolicitedAt) kv("unsolicited_at", d.strUnsolicitedAt);
        if (d.nUnsolicitedEvery != 1) kv("unsolicited_every", std::to_string(d.nUnsolicitedEvery));
        if (d.strEmptySlot != plain.strEmptySlot) kv("empty_slot", d.strEmptySlot);
        if (d.nFirstIndex != 1) kv("first_index", std::to_string(d.nFirstIndex));
        if (d.nCpmsNumbers != 6) kv("cpms_numbers", std::to_string(d.nCpmsNumbers));
        if (d.strCpmsTest != plain.strCpmsTest) kv("cpms_test", d.strCpmsTest);
        if (d.strCmgrHeader != plain.strCmgrHeader) kv("cmgr_header", d.strCmgrHeader);
        if (d.bNoSpace) kv("no_space", "yes");
        if (d.nSimBusyMs) kv("sim_busy_ms", std::to_string(d.nSimBusyMs));
        if (d.nCmgsDelayMs) kv("cmgs_delay_ms", std::to_string(d.nCmgsDelayMs));
        for (const std::string& c : d.noFinalOk) kv("no_final_ok", Value(c));
        if (d.strUnknown != plain.strUnknown) kv("unknown", d.strUnknown);
        if (d.bDamagedEcho) kv("damaged_echo", "yes");
        if (d.strPhonebookEmpty != plain.strPhonebookEmpty) kv("phonebook_empty", d.strPhonebookEmpty);
        if (d.strCmgl != plain.strCmgl) kv("cmgl", d.strCmgl);
        if (d.nCmglMax) kv("cmgl_max", std::to_string(d.nCmglMax));
        if (d.nCmglPauseMs) kv("cmgl_pause_ms", std::to_string(d.nCmglPauseMs));
        if (d.bNoSmsStorage) kv("no_sms_storage", "yes");
    }
    if (!s.script.empty() || s.bScriptOnly) {
        out += "\n[script]\n";
        kv("only", s.bScriptOnly ? "yes" : "no");
        for (const ScriptRule& r : s.script) {
            out += "\"" + EscapeBytes(r.strTrigger) + "\" = \"" + EscapeBytes(r.strResponse) + "\"\n";
        }
    }
    if (!s.submitted.empty()) {
        out += "\n[submitted]\n";
        for (size_t i = 0; i < s.submitted.size(); ++i) {
            kv(std::to_string(i + 1).c_str(), Value(s.submitted[i]));
        }
    }
    return out;
}

SmsStorage* FindStorage(Scenario& scenario, std::string_view name) {
    for (SmsStorage& st : scenario.smsStorages) {
        if (st.strName == name) return &st;
    }
    return nullptr;
}

Phonebook* FindPhonebook(Scenario& scenario, std::string_view name) {
    for (Phonebook& pb : scenario.phonebooks) {
        if (pb.strName == name) return &pb;
    }
    return nullptr;
}

}  // namespace kvo::phone
