// One network operator / access provider of the connection data file.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace kvo::connect {

// Name server address, bytes in the order written (network order).
using IpAddress = std::array<uint8_t, 4>;

struct CIspEntry {
    std::u16string m_strName;
    std::u16string m_strCountryCode;  // decimal text
    std::u16string m_strAreaCode;
    std::u16string m_strDialNumber;
    std::u16string m_strApn;
    // Never filled from the file; the dial-up set-up may use them.
    std::u16string m_strExtra1;
    std::u16string m_strExtra2;
    std::u16string m_strExtra3;
    IpAddress m_dnsPrimary{};
    IpAddress m_dnsSecondary{};
    std::array<std::u16string, 6> m_strOperator;  // names as the phone reports them in AT+COPS?
    std::u16string m_strSmsCentre;                // as the phone reports it in AT+CSCA?
    std::u16string m_strUser;
    std::u16string m_strPassword;
    bool m_bCsdAllowed = true;
    bool m_bGprsAllowed = true;
    bool m_bSwCompression = true;
    bool m_bHeaderCompression = false;
};

}  // namespace kvo::connect
