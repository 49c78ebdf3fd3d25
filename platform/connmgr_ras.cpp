// The Connection Manager's default road: its requests dial through the dial-up service, so a
// connection it makes is the same connection every program sees in <device>/ras/.
#include <chrono>

#include "platform/connmgr.h"
#include "platform/error.h"
#include "platform/ras.h"

namespace ce {
namespace {

class CRasDialer : public IConnectionDialer {
public:
    Result Dial(std::u16string_view entryName, uint32_t timeoutMs) override {
        Result r;
        RASDIALPARAMS params;
        params.dwSize = kRasDialParamsSize;
        params.szEntryName = std::u16string(entryName);
        HRASCONN conn = 0;
        auto start = std::chrono::steady_clock::now();
        DWORD err = RasDial(params, &conn);
        if (err != 0) {
            r.strError = GetLastErrorText();
            return r;
        }
        // RasDial ends by the link's own dialling limits; a request that asked for less gets
        // no connection it has stopped waiting for.
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeoutMs)) {
            RasHangUp(conn);
            r.bTimedOut = true;
            r.strError = "the connection was not up within the time allowed";
            return r;
        }
        r.bConnected = true;
        r.hConnection = static_cast<uint32_t>(conn);
        return r;
    }

    LinkState State(uint32_t hConnection) override {
        RASCONNSTATUS status;
        status.dwSize = sizeof status;
        if (RasGetConnectStatus(static_cast<HRASCONN>(hConnection), status) != 0)
            return LinkState::Gone;
        if (status.rasconnstate == RASCS_Connected) return LinkState::Connected;
        if (status.rasconnstate == RASCS_Disconnected) return LinkState::Gone;
        return LinkState::Dialling;
    }

    bool HangUp(uint32_t hConnection) override {
        return RasHangUp(static_cast<HRASCONN>(hConnection)) == 0;
    }
};

}  // namespace

IConnectionDialer& RasConnectionDialer() {
    static CRasDialer dialer;
    return dialer;
}

}  // namespace ce
