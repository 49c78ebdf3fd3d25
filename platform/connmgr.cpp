#include "connmgr.h"

#include <atomic>

#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace ce {

const char16_t* const kConnMgrKey = u"SOFTWARE\\Microsoft\\ConnMgr";
const char16_t* const kConnMgrDestinationsKey = u"SOFTWARE\\Microsoft\\ConnMgr\\Destinations";
const char16_t* const kConnMgrDialUpConnectionsKey =
    u"SOFTWARE\\Microsoft\\ConnMgr\\Providers\\{7C4B7A38-5FF7-4BC1-80F6-5DA7870BB1AA}"
    u"\\Connections";
const char16_t* const kConnMgrProxiesKey =
    u"SOFTWARE\\Microsoft\\ConnMgr\\Providers\\{EF097F4C-DC4B-4C98-8FF6-AEF805DC0E8E}";
const GUID kInternetDestination = *GuidFromString(u"{436EF144-B4FB-4863-A041-8F905A62C572}");
const GUID kWapDestination = *GuidFromString(u"{7022E968-5A97-4051-BC1C-C578E2FBA5D9}");

namespace {
std::atomic<IConnectionDialer*> g_dialer{&RasConnectionDialer()};
}

void SetConnectionDialer(IConnectionDialer* dialer) {
    g_dialer = dialer;
}

std::optional<std::u16string> ConnMgrFindConnection(const GUID& destination) {
    std::optional<std::u16string> found;
    RegRead(HKEY_LOCAL_MACHINE, [&](const RegKey& root) {
        const RegKey* conns = root.Find(kConnMgrDialUpConnectionsKey);
        if (!conns)
            return;
        for (const auto& [folded, key] : conns->keys) {
            auto dest = key->values.find(FoldCase(u"DestId"));
            if (dest == key->values.end())
                continue;
            auto text = dest->second.value.AsSz();
            if (!text || GuidFromString(*text) != destination)
                continue;
            // A connection without "Enabled" is taken as enabled; 0 switches it off.
            auto enabled = key->values.find(FoldCase(u"Enabled"));
            if (enabled != key->values.end() && enabled->second.value.AsDword() == 0u)
                continue;
            found = key->name;
            return;
        }
    });
    return found;
}

HRESULT ConnMgrEstablishConnectionSync(const CONNMGR_CONNECTIONINFO& info, uint32_t* phConnection,
                                       uint32_t dwTimeout, uint32_t* pdwStatus) {
    if (!phConnection || !pdwStatus || info.cbSize != 64 ||
        !(info.dwParams & CONNMGR_PARAM_GUIDDESTNET)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_INVALIDARG;
    }
    *phConnection = 0;
    *pdwStatus = CONNMGR_STATUS_NOPATHTODESTINATION;
    std::optional<std::u16string> entry = ConnMgrFindConnection(info.guidDestNet);
    if (!entry) {
        SetLastErrorWith(ERROR_FILE_NOT_FOUND, "no connection leads to the destination network " +
                                                   ToUtf8(GuidToString(info.guidDestNet)));
        return E_FAIL;
    }
    *pdwStatus = CONNMGR_STATUS_CONNECTIONFAILED;
    IConnectionDialer* dialer = g_dialer.load();
    if (!dialer) {
        SetLastErrorWith(ERROR_GEN_FAILURE, "no dial-up service to dial " + ToUtf8(*entry));
        return E_FAIL;
    }
    uint32_t start = GetTickCount();
    IConnectionDialer::Result r = dialer->Dial(*entry, dwTimeout);
    // A dialer that answers late has still missed the caller's time-out: the caller has given
    // up on it, so the connection must not stay up unowned.
    bool late = GetTickCount() - start > dwTimeout;
    if (r.bConnected && (late || r.hConnection == 0)) {
        dialer->HangUp(r.hConnection);
        r.bConnected = false;
        r.bTimedOut = late;
    }
    if (!r.bConnected) {
        if (r.bTimedOut) {
            SetLastErrorWith(ERROR_TIMEOUT, "dialling " + ToUtf8(*entry) + " took longer than " +
                                                std::to_string(dwTimeout) + " ms");
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        }
        SetLastErrorWith(ERROR_GEN_FAILURE,
                         "dialling " + ToUtf8(*entry) + " failed" +
                             (r.strError.empty() ? std::string() : ": " + r.strError));
        return E_FAIL;
    }
    *phConnection = r.hConnection;
    *pdwStatus = CONNMGR_STATUS_CONNECTED;
    return S_OK;
}

HRESULT ConnMgrConnectionStatus(uint32_t hConnection, uint32_t* pdwStatus) {
    if (!pdwStatus)
        return E_INVALIDARG;
    IConnectionDialer* dialer = g_dialer.load();
    if (hConnection == 0 || !dialer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return E_HANDLE;
    }
    switch (dialer->State(hConnection)) {
        case IConnectionDialer::LinkState::Dialling:
            *pdwStatus = CONNMGR_STATUS_WAITINGCONNECTION;
            break;
        case IConnectionDialer::LinkState::Connected:
            *pdwStatus = CONNMGR_STATUS_CONNECTED;
            break;
        case IConnectionDialer::LinkState::Gone:
            *pdwStatus = CONNMGR_STATUS_DISCONNECTED;
            break;
    }
    return S_OK;
}

HRESULT ConnMgrReleaseConnection(uint32_t hConnection, int32_t) {
    IConnectionDialer* dialer = g_dialer.load();
    if (hConnection == 0 || !dialer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return E_HANDLE;
    }
    if (dialer->State(hConnection) == IConnectionDialer::LinkState::Gone)
        return S_OK;
    if (!dialer->HangUp(hConnection))
        return E_FAIL;
    return S_OK;
}

}  // namespace ce
