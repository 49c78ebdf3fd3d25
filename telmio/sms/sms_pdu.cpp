#include "telmio/sms/sms_pdu.h"

namespace kvo {
namespace {

constexpr uint8_t kTypeInternational = 0x91;
constexpr uint8_t kTypeUnknown = 0x81;
constexpr uint8_t kFirstOctetSubmit = 0x11;
constexpr uint8_t kDcsDefault = 0x00;
constexpr uint8_t kDcsFlash = 0xF0;
constexpr uint8_t kValidityLongest = 0xFF;
constexpr size_t kCentreOctets = 1;  // the service-centre length octet itself

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits of a number after an optional leading '+'; false on anything else.
bool SplitNumber(std::string_view number, bool& bInternational, std::string_view& digits) {
    bInternational = !number.empty() && number[0] == '+';
    digits = bInternational ? number.substr(1) : number;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

}  // namespace

int CSmsPdu::HexToBytes(std::string_view hex, std::vector<uint8_t>& bytes) const {
    bytes.clear();
    if (hex.size() % 2 != 0)
        return PDU_ODD_LENGTH;
    bytes.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            bytes.clear();
            return PDU_BAD_HEX;
        }
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return PDU_OK;
}

std::string CSmsPdu::BytesToHex(const uint8_t* data, size_t size) const {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        hex.push_back(kDigits[data[i] >> 4]);
        hex.push_back(kDigits[data[i] & 0x0F]);
    }
    return hex;
}

bool CSmsPdu::EncodeAddress(std::vector<uint8_t>& out, std::string_view number,
                            bool bServiceCentre) const {
    bool bInternational;
    std::string_view digits;
    if (!SplitNumber(number, bInternational, digits))
        return false;
    if (number.empty()) {
        out.push_back(0);
        return true;
    }
    size_t digitOctets = (digits.size() + 1) / 2;
    size_t length = bServiceCentre ? 1 + digitOctets : digits.size();
    if (length > 0xFF)
        return false;  // would not fit the length octet
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(bInternational ? kTypeInternational : kTypeUnknown);
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint8_t lo = static_cast<uint8_t>(digits[i] - '0');
        uint8_t hi = i + 1 < digits.size() ? static_cast<uint8_t>(digits[i + 1] - '0') : 0x0F;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return true;
}

bool CSmsPdu::DecodeAddress(CPduCursor& in, std::string& number) const {
    number.clear();
    uint8_t digits, type;
    if (!in.ReadOctet(digits) || !in.ReadOctet(type))
        return false;
    const uint8_t* p = in.Take((digits + 1u) / 2);
    if (!p)
        return false;
    if (type == kTypeInternational)
        number.push_back('+');
    // Alphanumeric addresses come out as digits and punctuation; they are not recognised.
    for (size_t i = 0; i < digits; ++i) {
        uint8_t octet = p[i / 2];
        number.push_back(static_cast<char>('0' + ((i % 2) ? octet >> 4 : octet & 0x0F)));
    }
    return true;
}

bool CSmsPdu::DecodeTimestamp(CPduCursor& in, std::string& digits) const {
    digits.clear();
    const uint8_t* p = in.Take(7);
    if (!p)
        return false;
    for (int i = 0; i < 7; ++i) {
        digits.push_back(static_cast<char>('0' + (p[i] & 0x0F)));
        digits.push_back(static_cast<char>('0' + (p[i] >> 4)));
    }
    return true;
}

void CSmsPdu::PackSeptets(std::vector<uint8_t>& out, std::string_view codes) const {
    uint32_t acc = 0;
    int bits = 0;
    for (char c : codes) {
        acc |= (static_cast<uint32_t>(static_cast<uint8_t>(c)) & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        out.push_back(static_cast<uint8_t>(acc));
}

bool CSmsPdu::UnpackSeptets(const uint8_t* data, size_t octets, size_t septets,
                            std::string& codes) const {
    codes.clear();
    if (PackedOctets(septets) > octets)
        return false;
    codes.reserve(septets);
    for (size_t i = 0; i < septets; ++i) {
        size_t bit = i * 7;
        size_t byte = bit / 8;
        unsigned shift = bit % 8;
        unsigned v = data[byte] >> shift;
        if (shift > 1)
            v |= static_cast<unsigned>(data[byte + 1]) << (8 - shift);
        codes.push_back(static_cast<char>(v & 0x7F));
    }
    return true;
}

int CSmsPdu::EncodeSubmit(std::string& hex, std::string_view gsmText, std::string_view number,
                          std::string_view centre, bool bFlash) const {
    hex.clear();
    if (gsmText.size() > kMaxSeptets)
        return -1;
    for (char c : gsmText) {
        if (static_cast<uint8_t>(c) & 0x80)
            return -1;
    }
    std::vector<uint8_t> pdu;
    pdu.reserve(180);
    if (!EncodeAddress(pdu, centre, true))
        return -1;
    size_t centreOctets = pdu.size();
    pdu.push_back(kFirstOctetSubmit);
    pdu.push_back(0);  // message reference: the phone assigns one
    if (!EncodeAddress(pdu, number, false))
        return -1;
    pdu.push_back(0);  // protocol identifier
    pdu.push_back(bFlash ? kDcsFlash : kDcsDefault);
    pdu.push_back(kValidityLongest);
    pdu.push_back(static_cast<uint8_t>(gsmText.size()));
    PackSeptets(pdu, gsmText);
    hex = BytesToHex(pdu);
    return static_cast<int>(pdu.size() - centreOctets);
}

int CSmsPdu::DecodeUserData(CPduCursor& in, uint8_t dcs, std::string& gsmText) const {
    (void)dcs;  // every scheme is read as septets: 8-bit and UCS2 give wrong characters only
    uint8_t udl;
    if (!in.ReadOctet(udl))
        return PDU_USER_DATA_LENGTH;
    size_t octets = CSmsPdu::PackedOctets(udl);
    const uint8_t* p = in.Take(octets);
    if (!p)
        return PDU_USER_DATA;
    if (!UnpackSeptets(p, octets, udl, gsmText))
        return PDU_USER_DATA;
    return udl;
}

int CSmsPdu::DecodeDeliver(std::string_view hex, std::string& gsmText, std::string& number,
                           std::string& timestamp) const {
    int r = ReadDeliver(hex, gsmText, number, timestamp);
    if (r < 0) {
        // A failed decoding hands out nothing half made.
        gsmText.clear();
        number.clear();
        timestamp.clear();
    }
    return r;
}

int CSmsPdu::DecodeSubmit(std::string_view hex, std::string& gsmText, std::string& number) const {
    int r = ReadSubmit(hex, gsmText, number);
    if (r < 0) {
        gsmText.clear();
        number.clear();
    }
    return r;
}

int CSmsPdu::ReadDeliver(std::string_view hex, std::string& gsmText, std::string& number,
                         std::string& timestamp) const {
    gsmText.clear();
    number.clear();
    timestamp.clear();
    std::vector<uint8_t> bytes;
    if (int r = HexToBytes(hex, bytes); r != PDU_OK)
        return r;
    CPduCursor in(bytes);
    uint8_t centreLength, firstOctet, pid, dcs;
    if (!in.ReadOctet(centreLength) || !in.Skip(centreLength))
        return PDU_CENTRE;
    if (!in.ReadOctet(firstOctet))
        return PDU_FIRST_OCTET;
    if (!DecodeAddress(in, number))
        return PDU_ADDRESS;
    if (!in.ReadOctet(pid) || !in.ReadOctet(dcs))
        return PDU_PID_DCS;
    if (!DecodeTimestamp(in, timestamp))
        return PDU_TIMESTAMP;
    return DecodeUserData(in, dcs, gsmText);
}

int CSmsPdu::ReadSubmit(std::string_view hex, std::string& gsmText, std::string& number) const {
    gsmText.clear();
    number.clear();
    std::vector<uint8_t> bytes;
    if (int r = HexToBytes(hex, bytes); r != PDU_OK)
        return r;
    CPduCursor in(bytes);
    uint8_t centreLength, firstOctet, reference, pid, dcs;
    if (!in.ReadOctet(centreLength) || !in.Skip(centreLength))
        return PDU_CENTRE;
    if (!in.ReadOctet(firstOctet))
        return PDU_FIRST_OCTET;
    if (!in.ReadOctet(reference))
        return PDU_REFERENCE;
    if (!DecodeAddress(in, number))
        return PDU_ADDRESS;
    if (!in.ReadOctet(pid) || !in.ReadOctet(dcs))
        return PDU_PID_DCS;
    if (!in.Skip(ValidityPeriodLength(firstOctet)))
        return PDU_VALIDITY;
    return DecodeUserData(in, dcs, gsmText);
}

}  // namespace kvo
