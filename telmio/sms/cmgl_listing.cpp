#include "telmio/sms/cmgl_listing.h"

#include <set>

#include "telmio/sms/cmgr_reply.h"

namespace kvo {
namespace {

constexpr std::u16string_view kCmgl = u"+CMGL:";

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

std::u16string_view TrimBlanks(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t' || s.back() == u'\r'))
        s.remove_suffix(1);
    return s;
}

// Decimal digits only, at most `max`.
bool Number(std::u16string_view s, int max, int& out) {
    s = TrimBlanks(s);
    if (s.empty() || s.size() > 6)
        return false;
    long v = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    if (v > max)
        return false;
    out = static_cast<int>(v);
    return true;
}

struct Header {
    int nIndex = 0;
    int nLength = 0;
    std::u16string_view rest;  // "<stat>,<alpha>,<length>" as the phone wrote it
};

// "+CMGL: <index>,<stat>,[<alpha>],<length>"; the alpha field may be quoted and hold commas.
bool ParseHeader(std::u16string_view line, Header& h) {
    line.remove_prefix(kCmgl.size());
    line = TrimBlanks(line);
    size_t comma = line.find(u',');
    if (comma == std::u16string_view::npos ||
        !Number(line.substr(0, comma), kMaxListedIndex, h.nIndex))
        return false;
    h.rest = TrimBlanks(line.substr(comma + 1));
    size_t statEnd = h.rest.find(u',');
    int stat = 0;
    if (statEnd == std::u16string_view::npos || !Number(h.rest.substr(0, statEnd), 3, stat))
        return false;
    size_t last = h.rest.rfind(u',');
    if (last == statEnd)
        return false;  // no alpha field
    // A quote left open means the line was cut.
    std::u16string_view alpha = h.rest.substr(statEnd + 1, last - statEnd - 1);
    size_t quotes = 0;
    for (char16_t c : alpha) quotes += c == u'"';
    if (quotes % 2)
        return false;
    return Number(h.rest.substr(last + 1), static_cast<int>(kMaxCmgrPduChars), h.nLength);
}

// The PDU line: hex pairs holding the service-centre part and exactly `length` octets more.
bool FitsLength(std::u16string_view pdu, int length) {
    if (pdu.empty() || pdu.size() % 2 || pdu.size() > kMaxCmgrPduChars)
        return false;
    for (char16_t c : pdu)
        if (HexValue(c) < 0)
            return false;
    size_t sca = static_cast<size_t>(HexValue(pdu[0]) * 16 + HexValue(pdu[1]));
    return pdu.size() / 2 == 1 + sca + static_cast<size_t>(length);
}

}  // namespace

bool ParseCmglListing(std::u16string_view payload, std::vector<CListedSlot>& out) {
    out.clear();
    auto fail = [&out] {
        out.clear();
        return false;
    };
    std::set<int> seen;
    const Header* pending = nullptr;
    Header header;
    size_t pos = 0;
    while (pos <= payload.size()) {
        size_t end = payload.find(u'\n', pos);
        if (end == std::u16string_view::npos)
            end = payload.size();
        std::u16string_view line = TrimBlanks(payload.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty())
            continue;
        if (line.substr(0, kCmgl.size()) == kCmgl) {
            if (pending || !ParseHeader(line, header) || !seen.insert(header.nIndex).second)
                return fail();
            pending = &header;
            continue;
        }
        if (!pending || !FitsLength(line, header.nLength))
            return fail();
        CListedSlot slot;
        slot.m_nIndex = header.nIndex;
        slot.m_strReply = u"+CMGR: ";
        slot.m_strReply.append(header.rest);
        slot.m_strReply += u"\r\n";
        slot.m_strReply.append(line);
        out.push_back(std::move(slot));
        pending = nullptr;
    }
    return pending ? fail() : true;
}

}  // namespace kvo
