// The dial-up half of the connection object: line devices, detection of phone and operator,
// the connection method, the init string, the dialling location and the entry "kvonet".
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "connect/data/connection_data.h"
#include "connect/dialup/dialup_rules.h"
#include "connect/dialup/intranet_settings.h"
#include "connect/dialup/line_devices.h"
#include "connect/dialup/status_notification.h"
#include "kvocomm/kvocomm.h"
#include "telmio/settings/kvo_ini.h"

namespace kvo::connect {

class CDialup {
public:
    CDialup(IUserInterface& ui, CKvoComm& comm);
    virtual ~CDialup();
    CDialup(const CDialup&) = delete;
    CDialup& operator=(const CDialup&) = delete;

    bool EnumerateLineDevices();
    void ShutdownLines();
    bool SelectPort();
    bool DetectPhoneAndOperator();
    bool ChooseMethod();
    std::u16string BuildInitString();
    bool WriteDialLocation();
    bool CreateDialEntry();
    bool LoadIntranetSettings();
    bool SaveIntranetSettings();

    bool IsIntranetMode() const;
    std::u16string KvoIniPath() const { return m_strAppDir + u"kvo.ini"; }
    std::u16string IntranetPath() const { return m_strAppDir + std::u16string(kIntranetFileName); }
    // Rewrites "kvo.ini" with the saved choices' connect fields (others keep theirs).
    bool SaveChoices();
    // Shows a failure in the status notification, and keeps it for callers that print it.
    void Fail(const std::u16string& text);
    void Fail(int stringId);
    void Notify(const std::u16string& text, uint32_t seconds = 10);

    IUserInterface& m_ui;
    CKvoComm& m_comm;
    std::u16string m_strAppDir;  // with its trailing backslash
    CConnectionData m_data;
    std::vector<CLineDevice> m_lineDevices;
    ce::HLINEAPP m_hLineApp = nullptr;
    CLineDevice m_device;
    std::u16string m_strPort;
    CPhoneModel m_phone;
    CIspEntry m_isp;
    int m_nMethod = METHOD_NONE;
    std::u16string m_strMethod = u"unknown";
    std::u16string m_strUser, m_strPassword;
    std::u16string m_strApnOverride;
    CKvoIni m_saved;
    CIntranetSettings m_intranet;
    std::u16string m_strCgmi, m_strCgmm, m_strCops, m_strCsca;
    bool m_bPinMustBeDisabled = false;
    bool m_bStoreDetected = false;
    // Working serial settings.
    int m_nBaudRate = 9600, m_nDataBits = 8, m_nParity = 0, m_nStopBits = 0, m_nModemOptions = 16;
    // What the entry's provisioning runs (Connection Manager); false fails the entry.
    std::function<bool(const std::u16string& entryName)> m_provision;
    CStatusNotification m_note;
    std::u16string m_strLastError;
    // Seconds the detection waits for the phone's "AT"; tests shorten it.
    int m_nAtTimeout = 10;
    uint32_t m_nTapiRetryMs = 5000;

private:
    void SendProfileTemplate();
};

}  // namespace kvo::connect
