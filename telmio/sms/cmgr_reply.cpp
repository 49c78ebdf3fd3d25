#include "telmio/sms/cmgr_reply.h"

#include "common/narrow.h"
#include "telmio/sms/sms_message.h"
#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

constexpr std::u16string_view kCmgrPrefix = u"+CMGR:";
constexpr size_t kStatusIndex = 7;
constexpr char kStoredUnsent = '2';
constexpr char kStoredSent = '3';

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

void Trim(std::u16string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    s = s.substr(b, e - b);
}

int Pair(std::string_view digits, size_t i) {
    return (digits[i] - '0') * 10 + (digits[i + 1] - '0');
}

}  // namespace

int StorageCode(std::u16string_view storage) {
    return storage == u"ME" ? STORAGE_ME : STORAGE_SM;
}

int StateFromStatus(char status) {
    switch (status) {
        case '1':
            return SMS_READ;
        case '3':
            return SMS_SENT_ON_PHONE;
        default:
            return SMS_UNREAD;
    }
}

ce::OleDate TimeFromStamp(std::string_view digits) {
    bool bDigits = digits.size() >= 12;
    for (size_t i = 0; bDigits && i < 12; ++i) bDigits = digits[i] >= '0' && digits[i] <= '9';
    if (bDigits) {
        int year = 2000 + Pair(digits, 0), month = Pair(digits, 2), day = Pair(digits, 4);
        int hour = Pair(digits, 6), minute = Pair(digits, 8), second = Pair(digits, 10);
        if (ce::IsValidDate(year, month, day, hour, minute, second))
            return ce::OleDate::FromParts(year, month, day, hour, minute, second);
    }
    return ce::OleDate::FromSystemTime(ce::GetLocalTime());
}

int CSmsPdu::ParseCmgrReply(std::u16string_view reply, std::u16string_view storage, int index,
                            int mode, ISmsImport* import, CSmsMessage* out) const {
    if (reply.substr(0, kCmgrPrefix.size()) != kCmgrPrefix)
        return CMGR_NOT_CMGR;
    char status = reply.size() > kStatusIndex ? static_cast<char>(reply[kStatusIndex] & 0xFF) : 0;
    if (status == kStoredUnsent)
        return CMGR_DONE;
    size_t lineBreak = reply.find(u"\r\n");
    if (lineBreak == std::u16string_view::npos)
        return CMGR_NO_LINE_BREAK;
    std::u16string_view pduLine = reply.substr(lineBreak + 2);
    // The engine may leave a line break after the PDU; the PDU ends there.
    size_t end = pduLine.find_first_of(u"\r\n");
    if (end != std::u16string_view::npos)
        pduLine = pduLine.substr(0, end);
    if (pduLine.size() > kMaxCmgrPduChars)
        return CMGR_PDU_TOO_LONG;
    std::string pdu = Narrow(pduLine);

    CDecodedSms decoded;
    if (DecodeMessage(pdu, status == kStoredSent, decoded) < 0)
        return CMGR_UNDECODABLE;
    std::string timestamp =
        status == kStoredSent ? std::string("00000000000000") : decoded.m_strStamp;
    std::u16string text = std::move(decoded.m_strText);
    ExpandLineBreaks(text);
    // A part's blanks at either end belong between the words of its long message.
    if (!decoded.m_part.IsPart())
        Trim(text);
    if (text.empty())
        return CMGR_EMPTY_TEXT;

    std::u16string wideNumber = std::move(decoded.m_strNumber);
    if (mode == CMGR_IMPORT) {
        if (import)
            import->ImportPart(wideNumber, timestamp, text, status, std::u16string(storage), index,
                               decoded.m_part);
        return CMGR_DONE;
    }
    if (out) {
        out->m_nState = StateFromStatus(status);
        out->m_strNumber = wideNumber;
        out->m_strText = text;
        out->m_time = TimeFromStamp(timestamp);
        out->m_bMarked = false;
        out->m_nStorage = StorageCode(storage);
        out->m_nIndex = index;
        out->m_nFilePos = -1;
        out->m_nFolder = 0;
        out->m_bFlash = false;
        out->m_part = decoded.m_part;
    }
    return CMGR_DONE;
}

}  // namespace kvo
