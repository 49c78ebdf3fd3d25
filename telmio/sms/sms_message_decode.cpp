// Messages as networks deliver them: sender names, UCS2, 8-bit data and the user-data header
// of long messages and application ports. Also the UCS2 form of SMS-SUBMIT.
#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

constexpr uint8_t kFirstOctetUdhi = 0x40;
constexpr uint8_t kTypeOfNumberMask = 0x70;
constexpr uint8_t kTypeAlphanumeric = 0x50;
constexpr uint8_t kTypeInternationalBits = 0x10;

enum class Alphabet { gsm7, eightBit, ucs2 };

// The alphabet a data coding scheme names; reserved groups read as the default alphabet.
Alphabet AlphabetOf(uint8_t dcs) {
    switch (dcs >> 4) {
        case 0x0:
        case 0x1:
        case 0x2:
        case 0x3:
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x7:
            switch ((dcs >> 2) & 0x03) {
                case 1:
                    return Alphabet::eightBit;
                case 2:
                    return Alphabet::ucs2;
                default:
                    return Alphabet::gsm7;
            }
        case 0xE:
            return Alphabet::ucs2;
        case 0xF:
            return (dcs & 0x04) ? Alphabet::eightBit : Alphabet::gsm7;
        default:
            return Alphabet::gsm7;
    }
}

// Concatenation and port elements of a user-data header. An element that runs past the
// header ends the walk; one with impossible values is ignored, as a receiver must.
void ReadHeader(const uint8_t* h, size_t size, CDecodedSms& out) {
    size_t i = 0;
    while (i + 2 <= size) {
        uint8_t id = h[i], len = h[i + 1];
        const uint8_t* v = h + i + 2;
        if (len > size - i - 2)
            break;
        int reference = -1, count = 0, seq = 0;
        if (id == 0x00 && len == 3) {
            reference = v[0], count = v[1], seq = v[2];
        } else if (id == 0x08 && len == 4) {
            reference = v[0] << 8 | v[1], count = v[2], seq = v[3];
        } else if (id == 0x04 && len == 2) {
            out.m_nPort = v[0];
        } else if (id == 0x05 && len == 4) {
            out.m_nPort = v[0] << 8 | v[1];
        }
        if (reference >= 0 && count > 0 && seq > 0 && seq <= count)
            out.m_part = CSmsPart{reference, count, seq};
        i += 2u + len;
    }
}

// Text when every octet is printable ASCII or a line break or tab; else upper-case hex.
std::u16string EightBitText(const uint8_t* p, size_t n, bool& bBinary) {
    bBinary = false;
    for (size_t i = 0; i < n && !bBinary; ++i)
        bBinary = !(p[i] >= 0x20 && p[i] < 0x7F) && p[i] != '\r' && p[i] != '\n' && p[i] != '\t';
    static const char kDigits[] = "0123456789ABCDEF";
    std::u16string text;
    for (size_t i = 0; i < n; ++i) {
        if (!bBinary) {
            text.push_back(p[i]);
        } else {
            text.push_back(kDigits[p[i] >> 4]);
            text.push_back(kDigits[p[i] & 0x0F]);
        }
    }
    return text;
}

// Big-endian UTF-16; a lone surrogate becomes U+FFFD so that the text converts anywhere, and a
// trailing odd octet is dropped.
std::u16string Ucs2Text(const uint8_t* p, size_t n) {
    std::u16string text;
    size_t units = n / 2;
    for (size_t i = 0; i < units; ++i) {
        char16_t c = static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1]);
        bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < units) {
            char16_t next = static_cast<char16_t>(p[2 * i + 2] << 8 | p[2 * i + 3]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                text.push_back(c);
                text.push_back(next);
                ++i;
                continue;
            }
        }
        text.push_back(high || low ? u'\uFFFD' : c);
    }
    return text;
}

}  // namespace

bool CSmsPdu::DecodeAnyAddress(CPduCursor& in, std::u16string& number) const {
    number.clear();
    CPduCursor peek = in;
    uint8_t length, type;
    if (!peek.ReadOctet(length) || !peek.ReadOctet(type))
        return false;
    if ((type & kTypeOfNumberMask) != kTypeAlphanumeric) {
        std::string digits;
        if (!DecodeAddress(in, digits))
            return false;
        // Any international type of number (not only 0x91) carries the '+'.
        if ((type & kTypeOfNumberMask) == kTypeInternationalBits && type != 0x91)
            digits.insert(digits.begin(), '+');
        number.assign(digits.begin(), digits.end());
        return true;
    }
    // A sender name: the length counts semi-octets of packed septets.
    in.Skip(2);
    size_t octets = (length + 1u) / 2;
    const uint8_t* p = in.Take(octets);
    if (!p)
        return false;
    std::string codes;
    if (!UnpackSeptets(p, octets, length * 4u / 7, codes))
        return false;
    number.assign(codes.begin(), codes.end());
    SeptetsToUnicode(number);
    while (!number.empty() && number.back() == u'@' && codes.back() == 0) {
        number.pop_back();  // a name padded with zero septets
        codes.pop_back();
    }
    return true;
}

int CSmsPdu::ReadUserData(CPduCursor& in, uint8_t dcs, bool bHeader, CDecodedSms& out) const {
    uint8_t udl;
    if (!in.ReadOctet(udl))
        return PDU_USER_DATA_LENGTH;
    Alphabet alphabet = AlphabetOf(dcs);
    size_t octets = alphabet == Alphabet::gsm7 ? PackedOctets(udl) : udl;
    const uint8_t* p = in.Take(octets);
    if (!p)
        return PDU_USER_DATA;
    size_t skip = 0;  // octets of the header, its length octet included
    if (bHeader) {
        if (octets == 0 || p[0] + 1u > octets)
            return PDU_USER_DATA;
        skip = p[0] + 1u;
        ReadHeader(p + 1, p[0], out);
    }
    if (alphabet == Alphabet::gsm7) {
        // The text starts at the first septet boundary after the header (the fill bits).
        size_t headerSeptets = (skip * 8 + 6) / 7;
        if (headerSeptets > udl)
            return PDU_USER_DATA;
        std::string codes;
        if (!UnpackSeptets(p, octets, udl, codes))
            return PDU_USER_DATA;
        std::u16string text(codes.begin() + static_cast<std::ptrdiff_t>(headerSeptets),
                            codes.end());
        SeptetsToUnicode(text);
        out.m_strText = std::move(text);
    } else if (alphabet == Alphabet::ucs2) {
        out.m_strText = Ucs2Text(p + skip, octets - skip);
    } else {
        out.m_strText = EightBitText(p + skip, octets - skip, out.m_bBinary);
    }
    return static_cast<int>(out.m_strText.size());
}

int CSmsPdu::DecodeMessage(std::string_view hex, bool bSubmit, CDecodedSms& out) const {
    out = CDecodedSms{};
    int r = ReadMessage(hex, bSubmit, out);
    if (r < 0)
        out = CDecodedSms{};
    return r;
}

int CSmsPdu::ReadMessage(std::string_view hex, bool bSubmit, CDecodedSms& out) const {
    std::vector<uint8_t> bytes;
    if (int r = HexToBytes(hex, bytes); r != PDU_OK)
        return r;
    CPduCursor in(bytes);
    uint8_t centreLength, firstOctet, reference, pid, dcs;
    if (!in.ReadOctet(centreLength) || !in.Skip(centreLength))
        return PDU_CENTRE;
    if (!in.ReadOctet(firstOctet))
        return PDU_FIRST_OCTET;
    if (bSubmit && !in.ReadOctet(reference))
        return PDU_REFERENCE;
    if (!DecodeAnyAddress(in, out.m_strNumber))
        return PDU_ADDRESS;
    if (!in.ReadOctet(pid) || !in.ReadOctet(dcs))
        return PDU_PID_DCS;
    if (bSubmit) {
        if (!in.Skip(ValidityPeriodLength(firstOctet)))
            return PDU_VALIDITY;
    } else if (!DecodeTimestamp(in, out.m_strStamp)) {
        return PDU_TIMESTAMP;
    }
    return ReadUserData(in, dcs, (firstOctet & kFirstOctetUdhi) != 0, out);
}

int CSmsPdu::EncodeSubmitUcs2(std::string& hex, std::u16string_view text, std::string_view number,
                              std::string_view centre, bool bFlash) const {
    hex.clear();
    if (text.size() > static_cast<size_t>(kMaxUcs2Units))
        return -1;
    std::vector<uint8_t> pdu;
    if (!EncodeAddress(pdu, centre, true))
        return -1;
    size_t centreOctets = pdu.size();
    pdu.push_back(0x11);  // SMS-SUBMIT, relative validity period
    pdu.push_back(0);     // message reference: the phone assigns one
    if (!EncodeAddress(pdu, number, false))
        return -1;
    pdu.push_back(0);                     // protocol identifier
    pdu.push_back(bFlash ? 0x18 : 0x08);  // UCS2, class 0 when flashing
    pdu.push_back(0xFF);
    pdu.push_back(static_cast<uint8_t>(text.size() * 2));
    for (char16_t c : text) {
        pdu.push_back(static_cast<uint8_t>(c >> 8));
        pdu.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    hex = BytesToHex(pdu);
    return static_cast<int>(pdu.size() - centreOctets);
}

}  // namespace kvo
