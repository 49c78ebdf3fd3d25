#include "tools/kvophone/sms_pdu.h"

#include <cctype>
#include <optional>

#include "platform/text.h"

#include "tools/kvophone/text_codec.h"

namespace kvo::phone {
namespace {

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::string SemiOctets(std::string_view digits) {
    std::string out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        int lo = digits[i] - '0';
        int hi = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
        out.push_back(static_cast<char>((hi << 4) | lo));
    }
    return out;
}

bool ReadNumber(std::string_view text, size_t& pos, size_t digits, int min, int max, int& value) {
    if (pos + digits > text.size()) return false;
    value = 0;
    for (size_t i = 0; i < digits; ++i) {
        char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += digits;
    return value >= min && value <= max;
}

bool Expect(std::string_view text, size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

char SwappedBcd(int value) { return static_cast<char>(((value % 10) << 4) | (value / 10)); }

bool EncodeUserData(std::string_view text, std::string& octets, std::string& error) {
    std::string codes;
    if (!Utf8ToGsm(text, codes, error)) return false;
    if (codes.size() > 160) {
        error = "text longer than 160 GSM characters";
        return false;
    }
    octets.push_back(static_cast<char>(codes.size()));
    octets += PackSeptets(codes);
    return true;
}

// The user-data header of a form (without its length octet); empty when it needs none.
std::string Header(const DeliverForm& form) {
    std::string h;
    if (form.nRef >= 0) {
        if (form.nRef > 255 || form.bRef16) {
            h += {0x08, 0x04, static_cast<char>(form.nRef >> 8), static_cast<char>(form.nRef)};
        } else {
            h += {0x00, 0x03, static_cast<char>(form.nRef)};
        }
        h += {static_cast<char>(form.nCount), static_cast<char>(form.nSeq)};
    }
    if (form.nPort >= 0)
        h += {0x05, 0x04, static_cast<char>(form.nPort >> 8), static_cast<char>(form.nPort), 0, 0};
    return h;
}

// Coding scheme, then length and user data, with the header in front of the text.
bool EncodeFormUserData(std::string_view text, const DeliverForm& form, std::string& pdu,
                        std::string& error, char& dcs) {
    std::string header = Header(form);
    std::string udh = header.empty() ? std::string() : static_cast<char>(header.size()) + header;
    std::string codes, ignored;
    if (!form.bData && Utf8ToGsm(text, codes, ignored)) {
        dcs = 0x00;
        // The text starts at the septet boundary after the header (fill bits).
        size_t headerSeptets = (udh.size() * 8 + 6) / 7;
        if (headerSeptets + codes.size() > 160) {
            error = "text longer than " + std::to_string(160 - headerSeptets) +
                    " GSM characters";
            return false;
        }
        std::string packed = udh;
        unsigned acc = 0;
        int bits = 0;
        size_t fill = headerSeptets * 7 - udh.size() * 8;
        bits = static_cast<int>(fill);
        for (char c : codes) {
            acc |= (static_cast<unsigned>(c) & 0x7F) << bits;
            bits += 7;
            while (bits >= 8) {
                packed.push_back(static_cast<char>(acc & 0xFF));
                acc >>= 8;
                bits -= 8;
            }
        }
        if (bits > 0) packed.push_back(static_cast<char>(acc & 0xFF));
        pdu.push_back(static_cast<char>(headerSeptets + codes.size()));
        pdu += packed;
        return true;
    }
    std::string body;
    if (form.bData) {
        dcs = 0x04;
        if (!IsHexText(text) || !HexToBytes(text, body)) {
            error = "data must be hex octets";
            return false;
        }
    } else {
        dcs = 0x08;
        std::optional<std::u16string> wide = ce::FromUtf8Strict(text);
        if (!wide) {
            error = "text is not valid UTF-8";
            return false;
        }
        for (char16_t c : *wide) body += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
    }
    if (udh.size() + body.size() > 140) {
        error = form.bData ? "data longer than " + std::to_string(140 - udh.size()) + " octets"
                           : "UCS2 text longer than " +
                                 std::to_string((140 - udh.size()) / 2) + " characters";
        return false;
    }
    pdu.push_back(static_cast<char>(udh.size() + body.size()));
    pdu += udh + body;
    return true;
}

}  // namespace

bool EncodeAddress(std::string_view number, bool bAllowText, std::string& octets,
                   std::string& error) {
    octets.clear();
    bool bIntl = !number.empty() && number[0] == '+';
    std::string_view digits = bIntl ? number.substr(1) : number;
    if (AllDigits(digits) && digits.size() <= 20) {
        octets.push_back(static_cast<char>(digits.size()));
        octets.push_back(static_cast<char>(bIntl ? 0x91 : 0x81));
        octets += SemiOctets(digits);
        return true;
    }
    if (!bAllowText || number.empty()) {
        error = "bad number '" + std::string(number) + "'";
        return false;
    }
    std::string codes;
    if (!Utf8ToGsm(number, codes, error)) return false;
    if (codes.size() > 11) {
        error = "sender name longer than 11 characters";
        return false;
    }
    std::string packed = PackSeptets(codes);
    // Length counts semi-octets of the packed name.
    size_t semi = (codes.size() * 7 + 3) / 4;
    octets.push_back(static_cast<char>(semi));
    octets.push_back(static_cast<char>(0xD0));
    octets += packed;
    return true;
}

bool EncodeServiceCentre(std::string_view number, std::string& octets, std::string& error) {
    octets.clear();
    if (number.empty()) {
        octets.push_back(0);
        return true;
    }
    std::string addr;
    if (!EncodeAddress(number, false, addr, error)) return false;
    // Service-centre length counts octets (type + digits), not digits.
    octets.push_back(static_cast<char>(addr.size() - 1));
    octets.append(addr, 1, std::string::npos);
    return true;
}

bool EncodeTimestamp(std::string_view text, std::string& octets, std::string& error) {
    size_t pos = 0;
    int year, month, day, hour, minute, second, zone = 0;
    bool ok = ReadNumber(text, pos, 4, 1990, 2089, year) && Expect(text, pos, '-') &&
              ReadNumber(text, pos, 2, 1, 12, month) && Expect(text, pos, '-') &&
              ReadNumber(text, pos, 2, 1, 31, day) && Expect(text, pos, ' ') &&
              ReadNumber(text, pos, 2, 0, 23, hour) && Expect(text, pos, ':') &&
              ReadNumber(text, pos, 2, 0, 59, minute) && Expect(text, pos, ':') &&
              ReadNumber(text, pos, 2, 0, 59, second);
    bool bNegative = false;
    if (ok && pos < text.size()) {
        bNegative = text[pos] == '-';
        int zh, zm;
        ok = (text[pos] == '+' || text[pos] == '-') && ++pos &&
             ReadNumber(text, pos, 2, 0, 19, zh) && Expect(text, pos, ':') &&
             ReadNumber(text, pos, 2, 0, 59, zm) && zm % 15 == 0 && pos == text.size();
        if (ok) zone = zh * 4 + zm / 15;
        ok = ok && zone <= 79;
    }
    if (!ok) {
        error = "bad time '" + std::string(text) + "' (want YYYY-MM-DD HH:MM:SS[+HH:MM])";
        return false;
    }
    octets.clear();
    for (int v : {year % 100, month, day, hour, minute, second}) octets.push_back(SwappedBcd(v));
    char z = SwappedBcd(zone);
    if (bNegative) z = static_cast<char>(z | 0x08);
    octets.push_back(z);
    return true;
}

bool EncodeDeliver(std::string_view smsc, std::string_view sender, std::string_view time,
                   std::string_view text, std::string& hex, std::string& error,
                   const DeliverForm& form) {
    std::string pdu, part;
    if (!EncodeServiceCentre(smsc, pdu, error)) return false;
    bool bHeader = form.nRef >= 0 || form.nPort >= 0;
    pdu.push_back(bHeader ? 0x44 : 0x04);  // SMS-DELIVER, no more to send, header indicator
    if (!EncodeAddress(sender, true, part, error)) return false;
    pdu += part;
    pdu.push_back(0x00);  // protocol identifier
    size_t dcsAt = pdu.size();
    pdu.push_back(0x00);  // coding scheme, set below
    if (!EncodeTimestamp(time, part, error)) return false;
    pdu += part;
    char dcs = 0;
    if (!EncodeFormUserData(text, form, pdu, error, dcs)) return false;
    pdu[dcsAt] = dcs;
    hex = BytesToHex(pdu);
    return true;
}

bool DecodeSubmitText(std::string_view hex, std::string& recipient, std::string& text) {
    std::string b;
    if (!HexToBytes(hex, b) || b.empty()) return false;
    auto at = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
    size_t pos = 1 + at(0);
    if (pos + 3 > b.size()) return false;
    unsigned first = at(pos);
    if ((first & 0x03) != 1) return false;
    pos += 2;  // first octet, message reference
    size_t digits = at(pos), type = at(pos + 1);
    pos += 2;
    if (pos + (digits + 1) / 2 + 2 > b.size()) return false;
    recipient = type == 0x91 ? "+" : "";
    for (size_t i = 0; i < digits; ++i) {
        unsigned o = at(pos + i / 2);
        recipient.push_back(static_cast<char>('0' + ((i % 2) ? o >> 4 : o & 0x0F)));
    }
    pos += (digits + 1) / 2;
    unsigned dcs = at(pos + 1);
    pos += 2;
    unsigned vpf = (first >> 3) & 3;
    pos += vpf == 2 ? 1 : vpf == 0 ? 0 : 7;
    if (pos >= b.size()) return false;
    size_t udl = at(pos++);
    bool b7 = (dcs & 0x0C) == 0 || (dcs & 0xF4) == 0xF0;
    bool ucs2 = !b7 && (dcs & 0x0C) == 0x08;
    size_t octets = b7 ? (udl * 7 + 7) / 8 : udl;
    if (pos + octets > b.size()) return false;
    std::string_view ud(b.data() + pos, octets);
    size_t skip = 0;
    if (first & 0x40) {
        if (ud.empty() || static_cast<unsigned char>(ud[0]) + 1u > ud.size()) return false;
        skip = static_cast<unsigned char>(ud[0]) + 1u;
    }
    if (b7) {
        size_t headerSeptets = (skip * 8 + 6) / 7;
        if (headerSeptets > udl) return false;
        std::string codes;
        for (size_t i = headerSeptets; i < udl; ++i) {
            size_t bit = i * 7, byte = bit / 8;
            unsigned v = static_cast<unsigned char>(ud[byte]) >> (bit % 8);
            if (bit % 8 > 1) v |= static_cast<unsigned>(static_cast<unsigned char>(ud[byte + 1]))
                                  << (8 - bit % 8);
            codes.push_back(static_cast<char>(v & 0x7F));
        }
        text = GsmToUtf8(codes);
    } else if (ucs2) {
        std::u16string wide;
        for (size_t i = skip; i + 1 < ud.size(); i += 2)
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(ud[i]) << 8 |
                                                 static_cast<unsigned char>(ud[i + 1])));
        text = ce::ToUtf8(wide);
    } else {
        text = BytesToHex(ud.substr(skip));
    }
    return true;
}

bool EncodeStoredSubmit(std::string_view recipient, std::string_view text, std::string& hex,
                        std::string& error) {
    std::string pdu(1, '\0');  // the phone's own service centre
    pdu.push_back(0x11);       // SMS-SUBMIT, relative validity period
    pdu.push_back(0x00);       // message reference
    std::string part;
    if (!EncodeAddress(recipient, false, part, error)) return false;
    pdu += part;
    pdu.push_back(0x00);
    pdu.push_back(0x00);
    pdu.push_back(static_cast<char>(0xFF));
    if (!EncodeUserData(text, pdu, error)) return false;
    hex = BytesToHex(pdu);
    return true;
}

int TpduLength(std::string_view hex) {
    std::string bytes;
    if (!HexToBytes(hex, bytes) || bytes.empty()) return -1;
    size_t sca = static_cast<unsigned char>(bytes[0]);
    if (1 + sca >= bytes.size()) return -1;
    return static_cast<int>(bytes.size() - 1 - sca);
}

int TpduType(std::string_view hex) {
    if (TpduLength(hex) < 0) return -1;
    std::string bytes;
    HexToBytes(hex, bytes);
    size_t sca = static_cast<unsigned char>(bytes[0]);
    return static_cast<unsigned char>(bytes[1 + sca]) & 0x03;
}

}  // namespace kvo::phone
