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

// True when the line (without its CR LF) is one a phone sends unprompted (+CMTI, +CREG,
// ^RSSI, ^MODE, ^BOOT, *RADIOPOWER ...) and the command did not ask for it.
bool IsUnsolicitedLine(std::u16string_view line, std::u16string_view command);

class CReplyFramer {
public:
    explicit CReplyFramer(int nMode) : m_nMode(nMode) {}
    // With the command: unsolicited lines are taken out of the reply wherever they arrive
    // (+CMTI ones counted), error codes of other forms end the reply, and the reply of a
    // known command can be seen to be whole without its final OK.
    CReplyFramer(int nMode, std::u16string_view command)
        : m_nMode(nMode), m_strCommand(command), m_bCommand(true) {}

    // Appends one character and judges the reply so far: Complete once it has at least 4
    // characters and ends in "OK\r\n", a '>' prompt (not in mode 1), or a complete
    // indication; otherwise Error once it holds "ERROR" and ends in CR LF.
    FrameVerdict Feed(char16_t c);
    const std::u16string& Reply() const { return m_strReply; }
    bool PduMessage() const;
    bool MessageInfo() const;
    // +CMTI lines taken out so far.
    int MessageIndications() const { return m_nIndications; }
    // The reply so far holds all a known command answers, only the final OK is missing.
    bool ShapeComplete() const;
    // How long the line must then stay quiet before the reply counts as whole: a listing may
    // pause between its entries while the phone reads the next one from the SIM.
    int ShapeGraceMs() const;

private:
    bool EndsWith(std::u16string_view tail) const;
    void LineEnded();

    int m_nMode;
    std::u16string m_strReply;
    bool m_bError = false;
    size_t m_nCmt = std::u16string::npos;      // first "+CMT:"
    size_t m_nPduLine = std::u16string::npos;  // start of the line after it
    size_t m_nCmti = std::u16string::npos;     // first "+CMTI: "
    std::u16string m_strCommand;
    bool m_bCommand = false;
    size_t m_nLineStart = 0;  // where the line being received begins
    int m_nIndications = 0;
    std::u16string m_strFirstLine;  // first information line after the echo
    int m_nInfoLines = 0;
    bool m_bLastHeader = false;  // the last information line was a "+CMGL:" header
};

}  // namespace kvocomm
