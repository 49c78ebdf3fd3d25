#include "telmio/sms/cmgr_reply.h"

#include "common/narrow.h"
#include "telmio/sms/sms_message.h"
#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

constexpr std::u16string_view kCmgrPrefix = u"+CMGR:";
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

// The status a header gives: its first field ("+CMGR: 1,...", "+CMGR:1,..."); a header without
// one (",,24") is taken from the PDU: a stored submit is a sent message, anything else received.
char HeaderStatus(std::u16string_view reply, std::u16string_view pdu) {
    size_t p = kCmgrPrefix.size();
    while (p < reply.size() && reply[p] == u' ') ++p;
    if (p >= reply.size())
        return 0;
    if (reply[p] != u',')
        return static_cast<char>(reply[p] & 0xFF);
    if (pdu.size() >= 4) {
        unsigned sca = 0, first = 0;
        auto hex = [](char16_t c) -> int {
            if (c >= u'0' && c <= u'9')
                return c - u'0';
            if (c >= u'A' && c <= u'F')
                return c - u'A' + 10;
            if (c >= u'a' && c <= u'f')
                return c - u'a' + 10;
            return -1;
        };
        int a = hex(pdu[0]), b = hex(pdu[1]);
        if (a >= 0 && b >= 0) {
            sca = static_cast<unsigned>(a * 16 + b);
            size_t at = 2 + 2 * sca;
            if (at + 1 < pdu.size() && hex(pdu[at]) >= 0 && hex(pdu[at + 1]) >= 0) {
                first = static_cast<unsigned>(hex(pdu[at + 1]));
                if ((first & 3) == 1)
                    return kStoredSent;
            }
        }
    }
    return '0';
}

// "+CMGR: 0,,0" and the like: a header whose last field, the length, is 0.
bool EmptyHeader(std::u16string_view header) {
    size_t comma = header.rfind(u',');
    if (comma == std::u16string_view::npos)
        return false;
    std::u16string_view length = header.substr(comma + 1);
    while (!length.empty() && IsBlank(length.back())) length.remove_suffix(1);
    while (!length.empty() && IsBlank(length.front())) length.remove_prefix(1);
    return length == u"0";
}

}  // namespace

bool ParseCpmsCounts(std::u16string_view reply, int& used, int& total) {
    constexpr std::u16string_view kCpms = u"+CPMS:";
    if (reply.substr(0, kCpms.size()) != kCpms)
        return false;
    size_t p = kCpms.size();
    auto skip = [&] {
        while (p < reply.size() && IsBlank(reply[p])) ++p;
    };
    skip();
    // The query form names the storage first.
    if (p < reply.size() && reply[p] == u'"') {
        size_t close = reply.find(u'"', p + 1);
        if (close == std::u16string_view::npos)
            return false;
        p = close + 1;
        skip();
        if (p >= reply.size() || reply[p] != u',')
            return false;
        ++p;
        skip();
    }
    auto number = [&](int& out) {
        size_t start = p;
        long v = 0;
        while (p < reply.size() && reply[p] >= u'0' && reply[p] <= u'9' && p - start < 6)
            v = v * 10 + (reply[p++] - u'0');
        out = static_cast<int>(v);
        return p > start;
    };
    if (!number(used))
        return false;
    skip();
    if (p >= reply.size() || reply[p] != u',')
        return false;
    ++p;
    skip();
    return number(total);
}

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
    size_t lineBreak = reply.find(u"\r\n");
    std::u16string_view header = reply.substr(0, lineBreak);
    std::u16string_view pduLine;
    if (lineBreak != std::u16string_view::npos) {
        pduLine = reply.substr(lineBreak + 2);
        // The engine may leave a line break after the PDU; the PDU ends there.
        size_t end = pduLine.find_first_of(u"\r\n");
        if (end != std::u16string_view::npos)
            pduLine = pduLine.substr(0, end);
    }
    if (pduLine.empty() && EmptyHeader(header))
        return CMGR_EMPTY_SLOT;
    char status = HeaderStatus(header, pduLine);
    if (status == kStoredUnsent)
        return CMGR_DONE;
    if (lineBreak == std::u16string_view::npos)
        return CMGR_NO_LINE_BREAK;
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
