// Reads a PDU octet by octet and refuses, naming the field, whatever runs past its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvo {

// Which field a decoding stopped at; also the negative results of the decoders.
enum PduError : int {
    PDU_OK = 0,
    PDU_BAD_HEX = -1,  // a character other than 0-9, A-F
    PDU_CENTRE = -2,   // service-centre address runs past the end
    PDU_FIRST_OCTET = -3,
    PDU_ADDRESS = -4,    // originator or destination address
    PDU_REFERENCE = -5,  // message reference
    PDU_PID_DCS = -6,    // protocol identifier or data coding scheme
    PDU_TIMESTAMP = -7,
    PDU_ODD_LENGTH = -8,  // odd number of hex digits
    PDU_VALIDITY = -9,
    PDU_USER_DATA_LENGTH = -10,
    PDU_USER_DATA = -11,  // fewer octets than the user-data length needs
};

// Readable name of a PduError, for traces ("PDU too short: user data").
const char* PduErrorText(int error);

// Octets of an SMS-SUBMIT's validity period, from the format in its first octet: 2 relative
// (one octet); 1 enhanced and 3 absolute (seven).
inline size_t ValidityPeriodLength(uint8_t firstOctet) {
    switch ((firstOctet >> 3) & 0x03) {
        case 2: return 1;
        case 1:
        case 3: return 7;
        default: return 0;
    }
}

class CPduCursor {
public:
    CPduCursor(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}
    explicit CPduCursor(const std::vector<uint8_t>& bytes)
        : m_pData(bytes.data()), m_nSize(bytes.size()) {}

    size_t Remaining() const { return m_nSize - m_nPos; }
    size_t Position() const { return m_nPos; }
    bool ReadOctet(uint8_t& v) {
        if (m_nPos >= m_nSize)
            return false;
        v = m_pData[m_nPos++];
        return true;
    }
    bool Skip(size_t n) {
        if (n > Remaining())
            return false;
        m_nPos += n;
        return true;
    }
    // The next n octets, or nullptr when fewer are left; the cursor moves past them.
    const uint8_t* Take(size_t n) {
        if (n > Remaining())
            return nullptr;
        const uint8_t* p = m_pData + m_nPos;
        m_nPos += n;
        return p;
    }

private:
    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
};

}  // namespace kvo
