// The handheld's line devices that can reach a phone: usable telephony devices, with the
// port "ExtModems" or the data file's modem profile gives them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "connect/data/connection_data.h"
#include "platform/line.h"

namespace kvo::connect {

struct CLineDevice {
    std::u16string m_strName;
    std::u16string m_strPort;  // "COM3:"; empty when nothing names one
    uint32_t m_nDeviceId = 0;
    ce::HLINE m_hLine = nullptr;
    uint32_t m_nApiVersion = 0;
    const CModemProfile* m_pProfile = nullptr;  // owned by the connection data
};

enum class ELineResult { Ok, RegistryFailed, InitFailed, NoDevices, GaveUp };

// Fills `devices`; the telephony session stays open in `app` (closed with lineShutdown) on
// success. Messages go to `ui` (a retry question every `retryMs` of LINEERR_REINIT).
ELineResult EnumerateLineDevices(IUserInterface& ui, const CConnectionData& data,
                                 std::vector<CLineDevice>& devices, ce::HLINEAPP& app,
                                 uint32_t retryMs = 5000);

// No saved name: the first device on "COM3:"; otherwise the device of that name. Null when
// none fits.
const CLineDevice* SelectLineDevice(const std::vector<CLineDevice>& devices,
                                    const std::u16string& savedName);

}  // namespace kvo::connect
