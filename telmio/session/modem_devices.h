// The modems the client may talk through: "ExtModems" entries matched with usable line
// devices of the same name.
#pragma once
#include <string>
#include <vector>

#include "common/user_interface.h"

namespace kvo {

struct CModemDevice {
    std::u16string m_strName;
    std::u16string m_strPort;  // "COM3:"
    uint32_t m_nLine = 0;      // line device index
};

// False when start-up must fail; messages go to the user at once. Retrying a telephony
// service that asks to be re-initialised asks the user every retryMs of retrying.
bool EnumerateModemDevices(kvo::IUserInterface& ui, std::vector<CModemDevice>& devices,
                           uint32_t retryMs = 5000);

// Port choice of a session. Empty port when none can be chosen.
struct PortChoice {
    std::u16string strDevice;
    std::u16string strPort;
};
PortChoice ChoosePort(bool userPort, const std::u16string& userPortName,
                      const std::u16string& storedDevice, const std::vector<CModemDevice>& devices);

}  // namespace kvo
