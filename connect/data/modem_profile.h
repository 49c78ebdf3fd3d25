// One handheld line device the connection data file knows: its port and usual phone.
#pragma once
#include <string>

#include "connect/data/phone_model.h"

namespace kvo::connect {

struct CModemProfile {
    std::u16string m_strLineName;  // exactly as the telephony layer reports it
    std::u16string m_strPort;      // "COM3:"
    std::u16string m_strMakerId;   // of the phone normally attached; empty: none
    std::u16string m_strModelId;
    std::u16string m_strInitTemplate;  // sent during detection; may hold "APN" and "PIN"
    // Owned by the phone list of the same CConnectionData; null when no phone matches.
    const CPhoneModel* m_pPhone = nullptr;
};

}  // namespace kvo::connect
