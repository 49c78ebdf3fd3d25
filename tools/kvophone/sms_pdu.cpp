#include "tools/kvophone/sms_pdu.h"

#include <cctype>

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
                   std::string_view text, std::string& hex, std::string& error) {
    std::string pdu, part;
    if (!EncodeServiceCentre(smsc, pdu, error)) return false;
    pdu.push_back(0x04);  // SMS-DELIVER, no more messages to send
    if (!EncodeAddress(sender, true, part, error)) return false;
    pdu += part;
    pdu.push_back(0x00);  // protocol identifier
    pdu.push_back(0x00);  // default alphabet
    if (!EncodeTimestamp(time, part, error)) return false;
    pdu += part;
    if (!EncodeUserData(text, pdu, error)) return false;
    hex = BytesToHex(pdu);
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
