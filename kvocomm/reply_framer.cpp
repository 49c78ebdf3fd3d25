#include "reply_framer.h"

namespace kvocomm {
namespace {

constexpr std::u16string_view kCrLf = u"\r\n";
constexpr std::u16string_view kCmt = u"+CMT:";
constexpr std::u16string_view kCmti = u"+CMTI: ";

bool EndsWithCrLf(std::u16string_view s) {
    return s.size() >= 2 && s.substr(s.size() - 2) == kCrLf;
}

}  // namespace

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

FrameVerdict CReplyFramer::Feed(char16_t c) {
    m_strReply.push_back(c);
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
