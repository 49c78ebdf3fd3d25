// Connection Manager: destination networks and the dial-up connections that reach them, kept
// in the registry as the programs configure them, and a synchronous connection request that
// dials the matching connection's dial-up entry.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/guid.h"

namespace ce {

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006);
constexpr HRESULT HRESULT_FROM_WIN32(uint32_t code) {
    return code == 0 ? S_OK : static_cast<HRESULT>((code & 0xFFFF) | 0x80070000u);
}

enum : uint32_t {
    CONNMGR_STATUS_UNKNOWN = 0x00,
    CONNMGR_STATUS_CONNECTED = 0x10,
    CONNMGR_STATUS_DISCONNECTED = 0x20,
    CONNMGR_STATUS_CONNECTIONFAILED = 0x21,
    CONNMGR_STATUS_NOPATHTODESTINATION = 0x24,
    CONNMGR_STATUS_WAITINGCONNECTION = 0x40,
};

enum : uint32_t { CONNMGR_PARAM_GUIDDESTNET = 0x1 };
enum : uint32_t { CONNMGR_PRIORITY_USERBACKGROUND = 0x2000 };

// Where the configuration lives (HKEY_LOCAL_MACHINE).
extern const char16_t* const kConnMgrKey;              // SOFTWARE\Microsoft\ConnMgr
extern const char16_t* const kConnMgrDestinationsKey;  // ...\Destinations\<network name>
// ...\Providers\{7C4B7A38-...}\Connections\<entry name>: "DestId", "Enabled", ...
extern const char16_t* const kConnMgrDialUpConnectionsKey;
extern const char16_t* const kConnMgrProxiesKey;  // ...\Providers\{EF097F4C-...}
extern const GUID kInternetDestination;           // {436EF144-B4FB-4863-A041-8F905A62C572}
extern const GUID kWapDestination;                // {7022E968-5A97-4051-BC1C-C578E2FBA5D9}

struct CONNMGR_CONNECTIONINFO {
    uint32_t cbSize = 64;
    uint32_t dwParams = 0;
    uint32_t dwFlags = 0;
    uint32_t dwPriority = 0;
    bool bExclusive = false;
    bool bDisabled = false;
    GUID guidDestNet;
};

// What the request dials through: the dial-up service. Handles are its connection handles,
// so a connection requested by one program can be queried and released by another.
class IConnectionDialer {
public:
    enum class LinkState { Dialling, Connected, Gone };
    struct Result {
        bool bConnected = false;
        bool bTimedOut = false;  // nothing answered in time; the attempt was hung up
        uint32_t hConnection = 0;
        std::string strError;
    };
    virtual ~IConnectionDialer() = default;
    // Dials the entry and returns when it is connected, has failed, or timeoutMs has passed.
    virtual Result Dial(std::u16string_view entryName, uint32_t timeoutMs) = 0;
    virtual LinkState State(uint32_t hConnection) = 0;
    virtual bool HangUp(uint32_t hConnection) = 0;
};
// The dialer the requests use: the dial-up service (RasConnectionDialer) unless a test sets
// another; nullptr makes every request fail.
void SetConnectionDialer(IConnectionDialer* dialer);
IConnectionDialer& RasConnectionDialer();

// The dial-up entry of the enabled connection whose "DestId" is `destination`, if any.
std::optional<std::u16string> ConnMgrFindConnection(const GUID& destination);

// Synchronous request. S_OK with the handle and CONNMGR_STATUS_CONNECTED; otherwise a failure
// code with the status: no connection for the destination gives NOPATHTODESTINATION, a
// failed or timed-out dial CONNECTIONFAILED. The reason is in GetLastErrorText().
HRESULT ConnMgrEstablishConnectionSync(const CONNMGR_CONNECTIONINFO& info, uint32_t* phConnection,
                                       uint32_t dwTimeout, uint32_t* pdwStatus);
// CONNECTED, WAITINGCONNECTION while it is still being dialled, DISCONNECTED once it is gone.
HRESULT ConnMgrConnectionStatus(uint32_t hConnection, uint32_t* pdwStatus);
// Hangs the connection up (nothing is kept for reuse, whatever lCache says).
HRESULT ConnMgrReleaseConnection(uint32_t hConnection, int32_t lCache);

}  // namespace ce
