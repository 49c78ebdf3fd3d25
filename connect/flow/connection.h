// The connection object: the dial-up set-up plus the connect flow, watching and ending the
// connection, voice calls, update scheduling and uninstall.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "connect/dialup/dialup.h"
#include "platform/guid.h"

namespace kvo::connect {

enum class ENetworkAnswer { Internet, Intranet, Cancel };

enum class EFlowResult {
    Connected,  // a request succeeded (the connection has since ended or was released)
    Detected,   // detect only, and detection succeeded
    Failed,     // detection, the entry or the request failed
    Cancelled,  // the user said no
};

class CConnection : public CDialup {
public:
    CConnection(IUserInterface& ui, CKvoComm& comm);

    bool Initialise(bool bShowUi);
    EFlowResult RunConnectFlow(bool bDetectOnly);
    uint32_t Connect();
    uint32_t WatchConnection();
    void HangUpAll();
    // Command "x": releases the connection whose handle "kvo.conn" holds.
    bool ReleaseRequestedConnection();
    bool VoiceDial(const std::u16string& commandText);
    bool CheckUpdateSchedule();
    bool StartUpdater();
    bool Uninstall();

    std::u16string RequestFile() const { return m_strAppDir + u"kvo.conn"; }
    std::u16string HandleFile() const { return m_strAppDir + u"kvo.con2"; }

    uint32_t m_hConnection = 0;
    bool m_bConnected = false;
    uint32_t m_nLinkStatus = 0;
    ce::GUID m_guidDestination;
    bool m_bResetPending = false;

    // The "Connect with?" dialog and the intranet login; both cancel unless set.
    std::function<ENetworkAnswer()> m_chooseNetwork;
    std::function<bool(std::u16string& user, std::u16string& password)> m_intranetLogin;
    // Ask "Connect with?" whatever the saved network choice (a caller that picked one).
    bool m_bForceNetworkQuestion = false;
    // Called once "kvo.con2" holds the handle of a successful request.
    std::function<void(uint32_t handle)> m_onConnected;
    // Set from outside (a signal) to end a watched connection as "kvo.conn" does.
    const std::atomic<bool>* m_pStop = nullptr;
    // Connection Manager's time-out for the request.
    uint32_t m_nRequestTimeoutMs = 60000;

private:
    bool WriteHandleFile(uint32_t handle);
    void EndWatchedConnection();
};

}  // namespace kvo::connect
