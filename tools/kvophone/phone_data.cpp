// Data calls: the [data] section and the phone's side of a call in data mode.
#include <algorithm>
#include <charconv>

#include "tools/kvophone/phone_core.h"
#include "tools/kvophone/scenario.h"

namespace kvo::phone {
namespace {

constexpr std::string_view kSpace = " \t";
// Traffic the phone owes after a long pause is sent in pieces of at most this many bytes a
// tick, so a stalled reader never makes one huge chunk.
constexpr int64_t kMaxBurst = 64 * 1024;

std::string_view Trim(std::string_view s) {
    size_t b = s.find_first_not_of(kSpace);
    if (b == std::string_view::npos) return {};
    return s.substr(b, s.find_last_not_of(kSpace) - b + 1);
}

bool Number(std::string_view s, int min, int max, int& out) {
    s = Trim(s);
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    int v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    if (v < min || v > max) return false;
    out = v;
    return true;
}

bool IsDialString(std::string_view s) {
    if (s.empty() || s.size() > 80) return false;
    for (char c : s) {
        bool ok = (c >= '0' && c <= '9') || std::string_view("*#+ABCDabcdPpTtWw,!@").find(c) !=
                                                 std::string_view::npos;
        if (!ok) return false;
    }
    return true;
}

const char* ReplyName(DialFailure::Reply r) {
    switch (r) {
    case DialFailure::NO_CARRIER: return "NO CARRIER";
    case DialFailure::BUSY: return "BUSY";
    case DialFailure::ERROR: return "ERROR";
    case DialFailure::SILENT: return "SILENT";
    }
    return "NO CARRIER";
}

}  // namespace

bool ParseDataKey(std::string_view key, std::string_view value, DataCallSettings& data,
                  std::string& error) {
    key = Trim(key);
    value = Trim(value);
    if (key == "speed") {
        if (!Number(value, 300, 10000000, data.nSpeed)) {
            error = "speed must be 300..10000000";
            return false;
        }
        return true;
    }
    if (key == "rate") {
        if (!Number(value, 0, 10000000, data.nRate)) {
            error = "rate must be 0..10000000 bytes a second";
            return false;
        }
        return true;
    }
    if (key == "duration") {
        if (!Number(value, 0, 864000, data.nDuration)) {
            error = "duration must be 0..864000 seconds";
            return false;
        }
        return true;
    }
    if (key == "fail") {
        // A dial string may hold commas (pauses); the reply is after the last one.
        size_t comma = value.rfind(',');
        if (comma == std::string_view::npos) {
            error = "fail wants DIALSTRING,REPLY";
            return false;
        }
        DialFailure f;
        f.strDial = std::string(Trim(value.substr(0, comma)));
        std::string_view reply = Trim(value.substr(comma + 1));
        if (!IsDialString(f.strDial)) {
            error = "bad dial string '" + f.strDial + "'";
            return false;
        }
        if (reply == "NO CARRIER") f.eReply = DialFailure::NO_CARRIER;
        else if (reply == "BUSY") f.eReply = DialFailure::BUSY;
        else if (reply == "ERROR") f.eReply = DialFailure::ERROR;
        else if (reply == "SILENT") f.eReply = DialFailure::SILENT;
        else {
            error = "fail reply must be NO CARRIER, BUSY, ERROR or SILENT";
            return false;
        }
        data.failures.push_back(f);
        return true;
    }
    error = "unknown key '" + std::string(key) + "' in [data]";
    return false;
}

std::string FormatDataSection(const DataCallSettings& data) {
    std::string out = "[data]\n";
    out += "speed = " + std::to_string(data.nSpeed) + "\n";
    out += "rate = " + std::to_string(data.nRate) + "\n";
    out += "duration = " + std::to_string(data.nDuration) + "\n";
    for (const DialFailure& f : data.failures)
        out += "fail = " + f.strDial + "," + ReplyName(f.eReply) + "\n";
    return out;
}

bool CPhoneCore::DialFails(std::string_view dial, Res& res) const {
    for (const DialFailure& f : m_s.data.failures) {
        if (f.strDial != dial) continue;
        switch (f.eReply) {
        case DialFailure::NO_CARRIER: res = Res{RES_NO_CARRIER, 0}; break;
        case DialFailure::BUSY: res = Res{RES_BUSY, 0}; break;
        case DialFailure::ERROR: res = Res{RES_ERROR, 0}; break;
        case DialFailure::SILENT: res = Res{RES_SILENT, 0}; break;
        }
        return true;
    }
    return false;
}

CPhoneCore::Res CPhoneCore::DataDial() {
    if (m_bDataCall) return Res{RES_ERROR, 0};  // one call at a time
    m_bDataCall = true;
    m_nCallStartMs = m_nNowMs;
    m_nLastDataRxMs = m_nNowMs;
    m_nRateCredit = 0;
    m_nDataReceived = 0;
    m_nDataSent = 0;
    m_nPlusRun = 0;
    Journal("CONNECT " + std::to_string(m_s.data.nSpeed));
    return Res{RES_CONNECT, m_s.data.nSpeed};
}

CPhoneCore::Res CPhoneCore::ResumeData() {
    if (!m_bDataCall) return Res{RES_NO_CARRIER, 0};
    m_nLastDataRxMs = m_nNowMs;
    m_nPlusRun = 0;
    Journal("RESUME data");
    return Res{RES_CONNECT, m_s.data.nSpeed};
}

void CPhoneCore::EndDataCall(const char* how) {
    Journal(std::string("HANGUP ") + how + " received=" + std::to_string(m_nDataReceived) +
            " sent=" + std::to_string(m_nDataSent));
    m_bDataCall = false;
    m_nPlusRun = 0;
    if (m_mode == MODE_DATA) m_mode = MODE_COMMAND;
}

int CPhoneCore::GuardMs() const {
    auto it = m_sregs.find(12);
    return (it == m_sregs.end() ? 50 : it->second) * 20;  // S12 counts fiftieths of a second
}

// "+++" counts only with the guard time of silence before the first "+" and after the
// third, and less than the guard time between them: a "+++" inside the data stays data.
void CPhoneCore::DataByte(char c) {
    ++m_nDataReceived;
    if (c == '+' && m_nPlusRun < 3) {
        bool bStart = m_nPlusRun == 0 && m_nNowMs - m_nLastDataRxMs >= GuardMs();
        bool bNext = m_nPlusRun > 0 && m_nNowMs - m_nLastPlusMs < GuardMs();
        m_nPlusRun = bStart || bNext ? m_nPlusRun + 1 : 0;
        m_nLastPlusMs = m_nNowMs;
    } else {
        m_nPlusRun = 0;
    }
    m_nLastDataRxMs = m_nNowMs;
}

void CPhoneCore::AdvanceClock(int64_t nowMs) {
    if (nowMs < m_nNowMs) return;
    int64_t elapsed = nowMs - m_nNowMs;
    m_nNowMs = nowMs;
    if (!m_bDataCall || m_mode == MODE_DEAD) return;
    if (m_mode == MODE_DATA && m_nPlusRun == 3 && m_nNowMs - m_nLastDataRxMs >= GuardMs()) {
        m_nPlusRun = 0;
        m_nDataReceived -= 3;  // the escape is not data
        m_mode = MODE_COMMAND;
        Journal("ESCAPE data");
        Emit("\r\nOK\r\n");
        FinishPrompt();
    }
    const DataCallSettings& d = m_s.data;
    if (d.nDuration > 0 && m_nNowMs - m_nCallStartMs >= int64_t{d.nDuration} * 1000) {
        bool bData = m_mode == MODE_DATA;
        EndDataCall("carrier");
        if (bData) {
            Emit("\r\nNO CARRIER\r\n");
            FinishPrompt();
        } else {
            SendUnsolicited("\r\nNO CARRIER\r\n");
        }
        return;
    }
    if (m_mode != MODE_DATA || d.nRate <= 0 || m_bFlowStopped) return;
    m_nRateCredit = std::min(m_nRateCredit + elapsed * d.nRate, kMaxBurst * 1000);
    int64_t n = m_nRateCredit / 1000;
    if (n <= 0) return;
    m_nRateCredit -= n * 1000;
    // Lower-case hex digits: never a "+", never a result code.
    static constexpr char kPattern[] = "0123456789abcdef";
    std::string bytes(static_cast<size_t>(n), '0');
    for (char& b : bytes) b = kPattern[m_nPattern++ % 16];
    m_nDataSent += static_cast<uint64_t>(n);
    Emit(bytes);
}

}  // namespace kvo::phone
