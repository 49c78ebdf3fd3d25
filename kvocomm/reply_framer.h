// Framing of a phone's reply, byte by byte: says when the reply is complete, or is an error
// reply, without knowing what the command meant. Incremental, so each byte costs the same.
#pragma once
#include <string>
#include <string_view>

namespace kvocomm {

enum class FrameVerdict { More, Complete, Error };

// Whole-text forms of the two unsolicited-indication tests (the exported ones use these).
bool HoldsPduMessage(std::u16string_view reply);   // complete "+CMT:" header and PDU line
bool HoldsMessageInfo(std::u16string_view reply);  // complete "+CMTI: " line

class CReplyFramer {
public:
    explicit CReplyFramer(int nMode) : m_nMode(nMode) {}

    // Appends one character and judges the reply so far: Complete once it has at least 4
    // characters and ends in "OK\r\n", a '>' prompt (not in mode 1), or a complete
    // indication; otherwise Error once it holds "ERROR" and ends in CR LF.
    FrameVerdict Feed(char16_t c);
    const std::u16string& Reply() const { return m_strReply; }
    bool PduMessage() const;
    bool MessageInfo() const;

private:
    bool EndsWith(std::u16string_view tail) const;

    int m_nMode;
    std::u16string m_strReply;
    bool m_bError = false;
    size_t m_nCmt = std::u16string::npos;      // first "+CMT:"
    size_t m_nPduLine = std::u16string::npos;  // start of the line after it
    size_t m_nCmti = std::u16string::npos;     // first "+CMTI: "
};

}  // namespace kvocomm
