#include "reply_framer.h"

namespace kvocomm {
namespace {

constexpr std::u16string_view kCrLf = u"\r\n";
constexpr std::u16string_view kCmt = u"+CMT:";
constexpr std::u16string_view kCmti = u"+CMTI: ";

bool EndsWithCrLf(std::u16string_view s) {
    return s.size() >= 2 && s.substr(s.size() - 2) == kCrLf;
}

constexpr std::u16string_view kUnsolicited[] = {
    u"+CMTI:",       u"+CREG:",   u"+CGREG:", u"+CEREG:", u"^RSSI:",      u"^MODE:",   u"^BOOT:",
    u"*RADIOPOWER:", u"^SRVST:",  u"^SIMST:", u"^HCSQ:",  u"^DSFLOWRPT:", u"+CIEV:",   u"+CDSI:",
    u"^SYSSTART",    u"+PBREADY", u"RING",    u"+CRING:", u"+CLIP:",      u"*ESIMSR:", u"+PACSP",
};

bool StartsWith(std::u16string_view s, std::u16string_view head) {
    return s.size() >= head.size() && s.substr(0, head.size()) == head;
}

// The command's name as a phone writes it in its reply lines: "+CPMS" of "AT+CPMS=\"ME\"".
std::u16string_view CommandName(std::u16string_view command) {
    if (command.size() < 3)
        return {};
    command.remove_prefix(2);
    size_t end = 1;
    while (end < command.size() && ((command[end] >= u'A' && command[end] <= u'Z') ||
                                    (command[end] >= u'a' && command[end] <= u'z') ||
                                    (command[end] >= u'0' && command[end] <= u'9')))
        ++end;
    return command.substr(0, end);
}

// Commands whose whole answer is known by its shape: one line, or +CMGR's two.
bool OneLineAnswer(std::u16string_view command) {
    constexpr std::u16string_view kOneLine[] = {
        u"AT+CGMI",  u"AT+CGMM",  u"AT+CGMR",  u"AT+CGSN",  u"AT+CIMI",  u"AT+GMI",
        u"AT+GMM",   u"AT+COPS?", u"AT+CSCA?", u"AT+CSCS?", u"AT+CMGF?", u"AT+CFUN?",
        u"AT+CPMS=", u"AT+CPMS?", u"AT+CPIN?", u"AT+CSQ",
    };
    for (std::u16string_view c : kOneLine)
        if (command == c || (c.back() == u'=' && StartsWith(command, c)))
            return true;
    return false;
}

}  // namespace

bool IsUnsolicitedLine(std::u16string_view line, std::u16string_view command) {
    for (std::u16string_view head : kUnsolicited) {
        if (!StartsWith(line, head))
            continue;
        // "+CREG:" answering AT+CREG? is the reply itself.
        std::u16string_view name = head.back() == u':' ? head.substr(0, head.size() - 1) : head;
        std::u16string_view asked = CommandName(command);
        if (!asked.empty() && asked.size() == name.size()) {
            bool same = true;
            for (size_t i = 0; i < name.size() && same; ++i) {
                char16_t a = asked[i] >= u'a' && asked[i] <= u'z' ? asked[i] - 32 : asked[i];
                same = a == name[i];
            }
            if (same)
                return false;
        }
        return true;
    }
    return false;
}

bool HoldsPduMessage(std::u16string_view reply) {
    size_t p = reply.find(kCmt);
    if (p == std::u16string_view::npos)
        return false;
    std::u16string_view after = reply.substr(p + kCmt.size());
    size_t q = after.find(kCrLf);
    if (q == std::u16string_view::npos)
        return false;
    std::u16string_view pdu = after.substr(q + 2);
    return pdu.size() > 1 && EndsWithCrLf(pdu);
}

bool HoldsMessageInfo(std::u16string_view reply) {
    size_t p = reply.find(kCmti);
    if (p == std::u16string_view::npos)
        return false;
    return EndsWithCrLf(reply.substr(p + kCmti.size()));
}

bool CReplyFramer::EndsWith(std::u16string_view tail) const {
    return m_strReply.size() >= tail.size() &&
           std::u16string_view(m_strReply).substr(m_strReply.size() - tail.size()) == tail;
}

bool CReplyFramer::PduMessage() const {
    return m_nPduLine != std::u16string::npos && m_strReply.size() - m_nPduLine > 1 &&
           EndsWith(kCrLf);
}

bool CReplyFramer::MessageInfo() const {
    return m_nCmti != std::u16string::npos && m_strReply.size() - (m_nCmti + kCmti.size()) >= 2 &&
           EndsWith(kCrLf);
}

bool CReplyFramer::ShapeComplete() const {
    if (!m_bCommand || m_nInfoLines == 0 || !EndsWith(kCrLf))
        return false;
    if (StartsWith(m_strCommand, u"AT+CMGR=")) {
        if (!StartsWith(m_strFirstLine, u"+CMGR:"))
            return false;
        // "+CMGR: 0,,0": an empty slot has no PDU line.
        return m_nInfoLines >= 2 || (m_strFirstLine.size() > 2 &&
                                     m_strFirstLine.substr(m_strFirstLine.size() - 2) == u",0");
    }
    if (StartsWith(m_strCommand, u"AT+CMGL")) {
        // A listing comes in pairs of header and PDU line: whole after a PDU line.
        return StartsWith(m_strFirstLine, u"+CMGL:") && m_nInfoLines % 2 == 0 && !m_bLastHeader;
    }
    return OneLineAnswer(m_strCommand);
}

int CReplyFramer::ShapeGraceMs() const {
    return m_bCommand && StartsWith(m_strCommand, u"AT+CMGL") ? 2000 : 300;
}

// A line has just ended with CR LF: an unsolicited one is taken out with its line break.
void CReplyFramer::LineEnded() {
    const size_t n = m_strReply.size();
    std::u16string_view line =
        std::u16string_view(m_strReply).substr(m_nLineStart, n - 2 - m_nLineStart);
    if (IsUnsolicitedLine(line, m_strCommand)) {
        if (StartsWith(line, u"+CMTI:"))
            ++m_nIndications;
        size_t from = m_nLineStart;
        bool blankBefore = true;
        for (size_t i = 0; i < from && blankBefore; ++i)
            blankBefore = m_strReply[i] == u'\r' || m_strReply[i] == u'\n';
        if (blankBefore) {
            from = 0;
        } else if (from >= 3 &&
                   (std::u16string_view(m_strReply).substr(from - 3, 3) == u"\n\r\n" ||
                    std::u16string_view(m_strReply).substr(from - 3, 3) == u"\r\r\n")) {
            from -= 2;  // "\r\n<line>\r\n" came after the echo or between two lines
        }
        m_strReply.erase(from);
        if (m_nCmti != std::u16string::npos && m_nCmti >= from)
            m_nCmti = std::u16string::npos;
        if (m_nCmt != std::u16string::npos && m_nCmt >= from) {
            m_nCmt = std::u16string::npos;
            m_nPduLine = std::u16string::npos;
        }
        m_nLineStart = m_strReply.size();
        return;
    }
    // The echo ends in CR before the reply's CR LF; blank lines and the final result count
    // for nothing.
    if (!line.empty() && line.back() != u'\r' && line != m_strCommand && line != u"OK" &&
        line.find(u"ERROR") == std::u16string_view::npos) {
        if (m_nInfoLines == 0)
            m_strFirstLine.assign(line);
        ++m_nInfoLines;
        m_bLastHeader = StartsWith(line, u"+CMGL:");
    }
    m_nLineStart = n;
}

FrameVerdict CReplyFramer::Feed(char16_t c) {
    m_strReply.push_back(c);
    if (m_bCommand && c == u'\n' && EndsWith(kCrLf)) {
        LineEnded();
        if (m_strReply.size() < 2 || !EndsWith(kCrLf))
            return FrameVerdict::More;
        if (EndsWith(u"COMMAND NOT SUPPORT\r\n"))
            m_bError = true;
    }
    const size_t n = m_strReply.size();
    // Every new occurrence of a marker ends at the character just added; only the first
    // occurrence counts, as a search from the front would find it.
    if (!m_bError && EndsWith(u"ERROR"))
        m_bError = true;
    if (m_nCmt == std::u16string::npos && EndsWith(kCmt))
        m_nCmt = n - kCmt.size();
    if (m_nCmti == std::u16string::npos && EndsWith(kCmti))
        m_nCmti = n - kCmti.size();
    if (m_nCmt != std::u16string::npos && m_nPduLine == std::u16string::npos && n >= 2 &&
        n - 2 >= m_nCmt + kCmt.size() && EndsWith(kCrLf)) {
        m_nPduLine = n;
    }
    if (n >= 4) {
        if (EndsWith(u"OK\r\n") || (c == u'>' && m_nMode != 1) || PduMessage() || MessageInfo())
            return FrameVerdict::Complete;
    }
    if (m_bError && EndsWith(kCrLf))
        return FrameVerdict::Error;
    return FrameVerdict::More;
}

}  // namespace kvocomm
