// One phone model of the connection data file.
#pragma once
#include <string>

namespace kvo::connect {

struct CPhoneModel {
    std::u16string m_strName;  // maker and model display names joined by one space
    int m_nBaudRate = 0;
    int m_nDataBits = 0;
    int m_nParity = 0;    // Windows parity code, 0 = none
    int m_nStopBits = 0;  // Windows stop-bits code, 0 = one
    int m_nModemOptions = 0;  // low byte of the unimodem option word (16 = hardware flow control)
    std::u16string m_strGsmInitAlt;
    std::u16string m_strGsmInit;
    std::u16string m_strHscsdInitAlt;
    std::u16string m_strHscsdInit;  // not empty: the phone does HSCSD
    std::u16string m_strGprsInit;   // may hold "APN" and "PIN"; not empty: the phone does GPRS
    std::u16string m_strGprsNumber;  // '$' stands for '#'
    std::u16string m_strMakerId;     // occurs in the AT+CGMI reply
    std::u16string m_strModelId;     // matched against the AT+CGMM reply
    int m_nMemoryFallback = 0;       // message-memory size when the phone does not tell
    bool m_bField17Empty = true;
    std::u16string m_strField18;
    std::u16string m_strField19;
};

// The phone telmio works with when none of the table matches.
CPhoneModel DefaultPhoneModel();

}  // namespace kvo::connect
