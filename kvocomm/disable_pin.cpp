#include <string>

#include "common/narrow.h"
#include "kvocomm/kvocomm.h"

namespace {
constexpr size_t kMaxPin = 20;
}

int CKvoComm::DisablePIN(std::u16string strPort, std::u16string strPin, int nBaudRate, int nParity,
                         int nDataBits, int nStopBits) {
    if (!OpenPort(std::move(strPort)))
        return 0;
    const std::string pin = kvo::Narrow(std::u16string_view(strPin).substr(0, kMaxPin));
    const std::string cpin = "at+cpin=\"" + pin + "\"";
    const std::string clck = "at+clck=\"SC\",0,\"" + pin + "\"";
    for (int attempt = 0; attempt < 3; ++attempt) {
        SetParams(nBaudRate, nParity, nDataBits, nStopBits);
        std::u16string reply;
        if (!SendAndReceive("AT", reply, 0, 10) || !reply.empty())
            continue;
        if (!SendAndReceive(cpin.c_str(), reply, 0, 10))
            continue;
        if (SendAndReceive(clck.c_str(), reply, 0, 10))
            break;
    }
    ClosePort();
    return 1;
}
