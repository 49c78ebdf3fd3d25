#include "connection.h"

#include <chrono>
#include <thread>

#include "common/install_dir.h"
#include "common/narrow.h"
#include "connect/data/data_reader.h"
#include "connect/dialup/connect_strings.h"
#include "connect/flow/update_schedule.h"
#include "connect/provisioning/provisioning.h"
#include "platform/connmgr.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/ras.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "telmio/settings/settings_file.h"

namespace kvo::connect {
namespace {

constexpr char16_t kData[] = u"data";
constexpr char16_t kUpdaterApp[] = u"WM2003_kvopro_Eng_300";

std::u16string UpdaterKey() {
    return std::u16string(kAppsKey) + u"\\" + std::u16string(kUpdaterKey);
}

}  // namespace

CConnection::CConnection(IUserInterface& ui, CKvoComm& comm) : CDialup(ui, comm) {
    m_provision = [this](const std::u16string& entry) {
        if (ProvisionConnection(entry, IsIntranetMode(), m_intranet, m_guidDestination))
            return true;
        Fail(IDS_REGISTRY_FAILED);
        return false;
    };
}

bool CConnection::Initialise(bool bShowUi) {
    CDataLoadResult r =
        LoadConnectionData(m_data, EDataReader::Connect, m_strAppDir,
                           [this](CConnectionData&) { return EnumerateLineDevices(); });
    if (!r.Ok()) {
        if (std::u16string m = r.Message(); !m.empty()) {
            if (r.InMessageBox())
                m_ui.MessageBox(m);
            else
                Notify(m);
        }
        Fail(IDS_DATABASE_FAILED);
        return false;
    }
    std::string error;
    SettingsLoad how = LoadKvoIni(KvoIniPath(), m_saved, error);
    if (how == SettingsLoad::failed) {
        Fail(LoadString(IDS_DATABASE_FAILED) + u" (" + ce::FromUtf8(error) + u")");
        return false;
    }
    if (!LoadIntranetSettings())
        return false;
    if (bShowUi)
        m_comm.StartSAR();
    return true;
}

EFlowResult CConnection::RunConnectFlow(bool bDetectOnly) {
    const std::u16string choiceBefore = m_saved.m_strNetworkChoice;
    struct Restore {
        CConnection& c;
        const std::u16string& choice;
        ~Restore() {
            c.m_saved.m_strNetworkChoice = choice;
            c.ShutdownLines();
        }
    } restore{*this, choiceBefore};

    if (m_bForceNetworkQuestion ||
        m_saved.m_strNetworkChoice == LoadString(IDS_CHOOSE_AT_CONNECTION)) {
        ENetworkAnswer a = m_chooseNetwork ? m_chooseNetwork() : ENetworkAnswer::Cancel;
        if (a == ENetworkAnswer::Cancel) {
            m_strLastError = u"Cancelled: no network chosen.";
            return EFlowResult::Cancelled;
        }
        m_saved.m_strNetworkChoice =
            LoadString(a == ENetworkAnswer::Intranet ? IDS_INTRANET : IDS_INTERNET_PRIVATE);
    }
    if (IsIntranetMode()) {
        std::u16string user = m_intranet.user, password = m_intranet.password;
        if (!m_intranetLogin || !m_intranetLogin(user, password)) {
            m_strLastError = u"Cancelled: no intranet login.";
            return EFlowResult::Cancelled;
        }
        m_saved.m_strLoginUser = user;
        m_saved.m_strLoginPassword = password;
        m_intranet.user = user;
        m_intranet.password = password;
        if (!SaveIntranetSettings())
            return EFlowResult::Failed;
    }

    // Only a method the user left to the program falls back.
    const bool bMethodSaved = !m_saved.m_strConnectionMethod.empty();
    EFlowResult result = EFlowResult::Failed;
    while (DetectPhoneAndOperator()) {
        if (bDetectOnly)
            return EFlowResult::Detected;
        uint32_t status = Connect();
        if (m_bConnected || status == ce::CONNMGR_STATUS_CONNECTED)
            result = EFlowResult::Connected;
        if (status != ce::CONNMGR_STATUS_CONNECTIONFAILED || bMethodSaved ||
            m_nMethod == METHOD_GSM)
            break;
        int next = m_nMethod == METHOD_GPRS ? METHOD_HSCSD : METHOD_GSM;
        if (!m_ui.Ask(FormatString(IDS_ASK_FALLBACK, m_strMethod, MethodText(next)))) {
            result = EFlowResult::Cancelled;
            if (m_strLastError.empty())
                m_strLastError = u"The connection failed.";
            break;
        }
        m_saved.m_strConnectionMethod = MethodText(next);
        if (!SaveChoices())
            break;
    }
    if (result == EFlowResult::Failed && m_strLastError.empty())
        m_strLastError = u"The connection failed.";
    return result;
}

bool CConnection::WriteHandleFile(uint32_t handle) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(handle >> (8 * i));
    return ce::WriteFileAtomic(HandleFile(), bytes);
}

uint32_t CConnection::Connect() {
    if (m_bConnected) {
        Fail(IDS_ALREADY_CONNECTED);
        return ce::CONNMGR_STATUS_CONNECTED;
    }
    CreateDialEntry();
    if (m_bPinMustBeDisabled && m_device.m_pProfile &&
        !m_device.m_pProfile->m_strInitTemplate.empty() &&
        m_ui.Ask(LoadString(IDS_ASK_DISABLE_PIN)))
        m_comm.DisablePIN(m_strPort, m_saved.m_strPin, m_nBaudRate, m_nParity, m_nDataBits,
                          m_nStopBits);
    WriteDialLocation();

    ce::CONNMGR_CONNECTIONINFO info;
    info.cbSize = 64;
    info.dwParams = ce::CONNMGR_PARAM_GUIDDESTNET;
    info.dwFlags = 0;
    info.dwPriority = ce::CONNMGR_PRIORITY_USERBACKGROUND;
    info.bExclusive = false;
    info.bDisabled = false;
    info.guidDestNet = m_guidDestination;
    uint32_t handle = 0, status = 0;
    ce::HRESULT hr =
        ce::ConnMgrEstablishConnectionSync(info, &handle, m_nRequestTimeoutMs, &status);
    m_nLinkStatus = status;
    if (hr != ce::S_OK) {
        m_strLastError = u"The connection failed: " + ce::FromUtf8(ce::GetLastErrorText());
        WriteHandleFile(0);
        m_bConnected = false;
        ce::WriteProfileInt(kData, u"updatenow", 0);
        return status;
    }
    if (status != ce::CONNMGR_STATUS_DISCONNECTED &&
        status != ce::CONNMGR_STATUS_NOPATHTODESTINATION) {
        m_hConnection = handle;
        if (!WriteHandleFile(handle)) {
            // Nobody could end it through "kvo.con2": a connection nobody can find is not kept.
            m_strLastError = u"Cannot write kvo.con2: " + ce::FromUtf8(ce::GetLastErrorText());
            ce::ConnMgrReleaseConnection(handle, 0);
            m_hConnection = 0;
            return ce::CONNMGR_STATUS_DISCONNECTED;
        }
        m_bConnected = true;
        if (m_onConnected)
            m_onConnected(handle);
        WatchConnection();
        return status;
    }
    WriteHandleFile(0);
    m_bConnected = false;
    return status;
}

void CConnection::EndWatchedConnection() {
    HangUpAll();
    ce::ConnMgrReleaseConnection(m_hConnection, 0);
}

uint32_t CConnection::WatchConnection() {
    CheckUpdateSchedule();
    ce::SetCurrentThreadPriority(ce::THREAD_PRIORITY_IDLE);
    uint32_t status = ce::CONNMGR_STATUS_CONNECTED;
    for (;;) {
        // Slices of the second, so a stop request does not wait for the whole tick.
        for (int i = 0; i < 10 && !(m_pStop && m_pStop->load()); ++i) ce::Sleep(100);
        ce::ConnMgrConnectionStatus(m_hConnection, &status);
        m_nLinkStatus = status;
        if (ce::FileExists(RequestFile()) || (m_pStop && m_pStop->load())) {
            ce::DeleteFile(RequestFile());
            EndWatchedConnection();
            ce::SetCurrentThreadPriority(ce::THREAD_PRIORITY_NORMAL);
            return status;
        }
        if (status != ce::CONNMGR_STATUS_CONNECTED &&
            status != ce::CONNMGR_STATUS_WAITINGCONNECTION)
            break;
    }
    ce::SetCurrentThreadPriority(ce::THREAD_PRIORITY_NORMAL);
    m_comm.StopSAR();
    return status;
}

void CConnection::HangUpAll() {
    std::vector<ce::RASCONN> conns(20);
    conns[0].dwSize = sizeof(ce::RASCONN);
    ce::DWORD cb = static_cast<ce::DWORD>(conns.size() * sizeof(ce::RASCONN)), count = 0;
    if (ce::RasEnumConnections(conns.data(), &cb, &count) != 0)
        return;
    for (ce::DWORD i = 0; i < count && i < conns.size(); ++i)
        if (ce::RasHangUp(conns[i].hrasconn) != 0)
            break;
}

bool CConnection::ReleaseRequestedConnection() {
    ce::File f = ce::File::OpenRead(RequestFile());
    if (!f)
        return true;
    uint8_t b[4];
    if (!f.ReadExact(b, 4)) {
        m_strLastError = u"kvo.conn holds no connection handle.";
        return false;
    }
    uint32_t handle = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
    if (ce::ConnMgrReleaseConnection(handle, 0) != ce::S_OK) {
        m_strLastError = u"Cannot release the connection: " + ce::FromUtf8(ce::GetLastErrorText());
        return false;
    }
    return true;
}

bool CConnection::VoiceDial(const std::u16string& commandText) {
    if (commandText.size() <= 2) {
        m_strLastError = u"No number to dial.";
        return false;
    }
    std::u16string number;
    for (char16_t c : commandText.substr(2))
        if (c == u'+' || (c >= u'0' && c <= u'9'))
            number.push_back(c);
    Notify(FormatString(IDS_DIAL, number), 5);
    if (!SelectPort()) {
        Fail(IDS_UNKNOWN_METHOD);
        return false;
    }
    m_nBaudRate = 9600;
    m_nDataBits = 8;
    m_nParity = 0;
    m_nStopBits = 0;
    m_nModemOptions = 16;
    if (!m_comm.OpenPort(m_strPort)) {
        Fail(IDS_CANNOT_OPEN_PORT);
        m_comm.StopSAR();
        return false;
    }
    if (!m_comm.SetParams(m_nBaudRate, m_nParity, m_nDataBits, m_nStopBits)) {
        Fail(IDS_COMM_ERROR);
        m_comm.ClosePort();
        m_comm.StopSAR();
        return false;
    }
    bool ok = false;
    std::u16string reply;
    if (m_comm.SendAndReceive("AT", reply, 0, m_nAtTimeout) && reply.empty()) {
        std::string dial = "ATD" + Narrow(number) + ";";
        ok = m_comm.SendAndReceive(dial.c_str(), reply, 0, 3);
    }
    if (!ok)
        Fail(IDS_NO_PHONE);
    m_comm.ClosePort();
    m_comm.StopSAR();
    return ok;
}

bool CConnection::CheckUpdateSchedule() {
    uint32_t autoUpdate = ce::GetProfileInt(kData, u"autoupdate", 1);
    uint32_t updateNow = ce::GetProfileInt(kData, u"updatenow", 0);
    if (autoUpdate != 1 && updateNow == 0)
        return false;
    ce::WriteProfileInt(kData, u"updatenow", 0);
    if (!ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, UpdaterKey())) {
        Fail(IDS_REGISTRY_FAILED);
        return false;
    }
    ce::SYSTEMTIME today = ce::GetLocalTime();
    if (updateNow != 1 &&
        InsideUpdateWindow(today, static_cast<int>(ce::GetProfileInt(kData, u"upd_y", 2000)),
                           static_cast<int>(ce::GetProfileInt(kData, u"upd_m", 0)),
                           static_cast<int>(ce::GetProfileInt(kData, u"upd_d", 0))))
        return false;
    ce::WriteProfileInt(kData, u"upd_y", today.wYear);
    ce::WriteProfileInt(kData, u"upd_m", today.wMonth);
    ce::WriteProfileInt(kData, u"upd_d", today.wDay);
    return StartUpdater();
}

bool CConnection::StartUpdater() {
    if (!ce::RegKeyExists(ce::HKEY_LOCAL_MACHINE, UpdaterKey())) {
        Fail(IDS_NO_UPDATER);
        return false;
    }
    auto dir = ce::RegQueryValue(ce::HKEY_LOCAL_MACHINE, UpdaterKey(), u"InstlDir");
    if (!dir || !dir->AsSz()) {
        Fail(IDS_REGISTRY_FAILED);
        return false;
    }
    std::u16string appDir = m_strAppDir;
    if (!appDir.empty() && (appDir.back() == u'\\' || appDir.back() == u'/'))
        appDir.pop_back();
    std::u16string args = u"/app=" + std::u16string(kUpdaterApp) + u" \"/path=" + appDir + u"\"";
    if (ce::CreateProcess(*dir->AsSz() + u"\\updater.exe", args) < 0) {
        m_strLastError = u"Cannot start the updater: " + ce::FromUtf8(ce::GetLastErrorText());
        return false;
    }
    return true;
}

}  // namespace kvo::connect
