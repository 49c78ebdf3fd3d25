#include "dialup.h"

#include <algorithm>
#include <optional>

#include "common/narrow.h"
#include "connect/data/data_conversions.h"
#include "connect/data/identification.h"
#include "connect/dialup/connect_strings.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/ras.h"
#include "platform/ras_link.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "telmio/settings/settings_file.h"

namespace kvo::connect {
namespace {

constexpr char16_t kLocationsKey[] = u"ControlPanel\\Dial\\Locations";
constexpr char16_t kDialKey[] = u"ControlPanel\\Dial";
// The device configuration's dial modifier holds 40 characters; a longer init string would
// be cut, so it gets the same treatment as one over the general limit.
constexpr size_t kDialModifierUnits = 40;

ce::RASIPADDR ToRasIp(const IpAddress& a) {
    return {a[0], a[1], a[2], a[3]};
}

void PutDword(std::vector<uint8_t>& cfg, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) cfg[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

CDialup::CDialup(IUserInterface& ui, CKvoComm& comm) : m_ui(ui), m_comm(comm) {}

CDialup::~CDialup() {
    ShutdownLines();
}

void CDialup::Notify(const std::u16string& text, uint32_t seconds) {
    m_note.Show(text, seconds);
    m_ui.SetStatus(text);
}

void CDialup::Fail(const std::u16string& text) {
    m_strLastError = text;
    Notify(text);
}

void CDialup::Fail(int stringId) {
    Fail(LoadString(stringId));
}

bool CDialup::IsIntranetMode() const {
    return m_saved.m_strNetworkChoice == LoadString(IDS_INTRANET);
}

bool CDialup::EnumerateLineDevices() {
    ShutdownLines();
    switch (kvo::connect::EnumerateLineDevices(m_ui, m_data, m_lineDevices, m_hLineApp,
                                               m_nTapiRetryMs)) {
        case ELineResult::Ok:
            return true;
        case ELineResult::RegistryFailed:
            Fail(IDS_REGISTRY_FAILED);
            return false;
        case ELineResult::InitFailed:
            Fail(IDS_DEVICE_INIT_FAILED);
            return false;
        case ELineResult::NoDevices:
            Fail(IDS_NO_LINE_DEVICES);
            return false;
        case ELineResult::GaveUp:
            return false;
    }
    return false;
}

void CDialup::ShutdownLines() {
    if (m_hLineApp)
        ce::lineShutdown(m_hLineApp);
    m_hLineApp = nullptr;
}

bool CDialup::SelectPort() {
    const CLineDevice* d = SelectLineDevice(m_lineDevices, m_saved.m_strModemDevice);
    if (!d)
        return false;
    m_device = *d;
    m_strPort = d->m_strPort;
    return true;
}

bool CDialup::ChooseMethod() {
    m_nMethod = kvo::connect::ChooseMethod(m_saved.m_strConnectionMethod, m_phone, m_isp);
    m_strMethod = MethodText(m_nMethod);
    return m_nMethod != METHOD_NONE;
}

void CDialup::SendProfileTemplate() {
    // The ISP is identified only after this: its APN comes from the saved choices, the
    // saved ISP's record, or the last detection.
    std::u16string apn = m_saved.m_strAccessPoint;
    if (IsIntranetMode() && !m_intranet.apn.empty())
        apn = m_intranet.apn;
    if (apn.empty()) {
        const CIspEntry* saved = m_data.FindIspByName(m_saved.m_strOperator);
        apn = saved ? saved->m_strApn : m_isp.m_strApn;
    }
    std::u16string reply;
    for (const std::u16string& piece :
         ProfileTemplatePieces(m_device.m_pProfile->m_strInitTemplate, apn, m_saved.m_strPin)) {
        // A cut command could do something else than the whole one: such a piece is left out.
        if (piece.empty() || piece.size() > kTemplatePieceMax)
            continue;
        m_comm.SendAndReceive(Narrow(piece).c_str(), reply, 0, 10);
    }
}

bool CDialup::DetectPhoneAndOperator() {
    m_strCgmi.clear();
    m_strCgmm.clear();
    m_strCops.clear();
    m_strCsca.clear();
    if (!SelectPort()) {
        Fail(IDS_UNKNOWN_METHOD);
        return false;
    }
    m_nBaudRate = 9600;
    m_nDataBits = 8;
    m_nParity = 0;
    m_nStopBits = 0;
    m_nModemOptions = 16;
    bool profileInit = m_device.m_pProfile && !m_device.m_pProfile->m_strInitTemplate.empty() &&
                       !m_strPort.empty();
    bool phoneSaved = !m_saved.m_strPhoneModel.empty();
    bool ispSaved = !m_saved.m_strOperator.empty();
    if (!(phoneSaved && ispSaved && !profileInit)) {
        if (!m_comm.OpenPort(m_strPort)) {
            Fail(IDS_CANNOT_OPEN_PORT);
            return false;
        }
        bool good = false;
        for (int attempt = 0; attempt < 3 && !good; ++attempt) {
            Notify(LoadString(IDS_DETECTING), 20);
            m_comm.SetParams(m_nBaudRate, m_nParity, m_nDataBits, m_nStopBits);
            std::u16string reply;
            if (!m_comm.SendAndReceive("AT", reply, 0, m_nAtTimeout) || !reply.empty())
                continue;
            if (!phoneSaved) {
                if (!m_comm.SendAndReceive("AT+CGMI", m_strCgmi, 0, 10))
                    continue;
                if (!m_comm.SendAndReceive("AT+CGMM", m_strCgmm, 0, 10))
                    continue;
            }
            if (!ispSaved) {
                std::u16string r;
                if (m_comm.SendAndReceive("AT+COPS?", r, 0, 10))
                    m_strCops = r;
                r.clear();
                if (m_comm.SendAndReceive("AT+CSCA?", r, 0, 10))
                    m_strCsca = r;
            }
            if (profileInit)
                SendProfileTemplate();
            good = true;
        }
        m_comm.ClosePort();
        if (!good) {
            Fail(IDS_NO_PHONE);
            return false;
        }
    }

    const CPhoneModel* phone =
        phoneSaved ? m_data.FindPhoneByName(m_saved.m_strPhoneModel)
                   : IdentifyPhone(m_data, m_strCgmi, m_strCgmm, EDataReader::Connect);
    if (!phone) {
        Fail(IDS_PHONE_NOT_SUPPORTED);
        return false;
    }
    m_phone = *phone;
    m_nBaudRate = m_phone.m_nBaudRate;
    m_nDataBits = m_phone.m_nDataBits;
    m_nParity = m_phone.m_nParity;
    m_nStopBits = m_phone.m_nStopBits;
    m_nModemOptions = m_phone.m_nModemOptions;

    const CIspEntry* isp = nullptr;
    if (ispSaved) {
        isp = m_data.FindIspByName(m_saved.m_strOperator);
    } else {
        EOperatorResult r =
            IdentifyOperator(m_data, m_strCops, m_strCsca, EDataReader::Connect, &isp);
        if (r == EOperatorResult::NoReplies)
            Fail(IDS_ISP_DETECTION_FAILED);
        if (r == EOperatorResult::NotFound)
            Fail(IDS_ISP_NOT_FOUND);
        if (r != EOperatorResult::Found)
            isp = nullptr;
    }
    if (!isp) {
        Fail(IDS_ISP_NOT_DETECTED);
        return false;
    }
    m_isp = *isp;
    m_strUser = m_isp.m_strUser;
    m_strPassword = m_isp.m_strPassword;

    if (!ChooseMethod()) {
        Fail(IDS_UNKNOWN_PHONE_METHOD);
        return false;
    }
    for (const CLoginEntry& l : m_saved.m_loginMap) {
        if (l.m_strOperator == m_isp.m_strName) {
            m_strUser = l.m_strUser;
            m_strPassword = l.m_strPassword;
            break;
        }
    }
    // The intranet's own login is what the intranet dial-in asks for.
    if (IsIntranetMode() && !m_intranet.user.empty()) {
        m_strUser = m_intranet.user;
        m_strPassword = m_intranet.password;
    }

    std::u16string status = LoadString(IDS_DETECTED);
    ReplaceAll(status, u"#MOBIL", m_phone.m_strName);
    ReplaceAll(status, u"#CONN", m_strMethod);
    ReplaceAll(status, u"#ISP", m_isp.m_strName);
    ReplaceAll(status, u"#USERNAME", m_strUser);
    Notify(status);

    m_strApnOverride = m_saved.m_strAccessPoint;
    if (IsIntranetMode() && !m_intranet.apn.empty())
        m_strApnOverride = m_intranet.apn;

    if (m_bStoreDetected) {
        m_saved.m_strPhoneModel = m_phone.m_strName;
        m_saved.m_strOperator = m_isp.m_strName;
        m_saved.m_strLoginUser = m_strUser;
        m_saved.m_strLoginPassword = m_strPassword;
        m_saved.m_strConnectionMethod = m_strMethod;
        m_saved.m_strAccessPoint = m_strApnOverride;
        if (!SaveChoices())
            return false;
    }
    return true;
}

bool CDialup::SaveChoices() {
    std::string error;
    CKvoIni saved = m_saved;
    bool ok = UpdateKvoIni(
        KvoIniPath(),
        [&](CKvoIni& ini) {
            ini.m_strPhoneModel = saved.m_strPhoneModel;
            ini.m_strOperator = saved.m_strOperator;
            ini.m_strLoginUser = saved.m_strLoginUser;
            ini.m_strLoginPassword = saved.m_strLoginPassword;
            ini.m_strConnectionMethod = saved.m_strConnectionMethod;
            ini.m_strModemDevice = saved.m_strModemDevice;
            ini.m_strAccessPoint = saved.m_strAccessPoint;
            ini.m_strPin = saved.m_strPin;
            ini.m_strNetworkChoice = saved.m_strNetworkChoice;
            ini.m_loginMap = saved.m_loginMap;
            return true;
        },
        error);
    if (!ok)
        Fail(u"Cannot save the settings: " + ce::FromUtf8(error));
    return ok;
}

std::u16string CDialup::BuildInitString() {
    CInitString r =
        kvo::connect::BuildInitString(m_nMethod, m_phone, m_isp, m_strApnOverride, m_saved.m_strPin,
                                      std::min(kInitStringLimit, kDialModifierUnits));
    m_bPinMustBeDisabled = r.m_bPinMustBeDisabled;
    if (r.m_bPinMustBeDisabled) {
        Notify(LoadString(IDS_PIN_MUST_BE_DISABLED));
        ce::Sleep(1000);
    } else if (r.m_bTooLong) {
        std::u16string full =
            kvo::connect::BuildInitString(m_nMethod, m_phone, m_isp, m_strApnOverride,
                                          m_saved.m_strPin, SIZE_MAX)
                .m_strText;
        m_strLastError = u"error: cannot continue. AT command is too long\n" + full;
        m_ui.MessageBox(m_strLastError);
        ce::Sleep(1000);
    }
    return r.m_strText;
}

bool CDialup::WriteDialLocation() {
    CDialNumber n = DialNumberFor(m_nMethod, m_phone, m_isp);
    std::u16string name = LoadString(IDS_LOCATION_NAME);
    std::optional<uint32_t> id;
    if (auto values = ce::RegEnumValues(ce::HKEY_CURRENT_USER, kLocationsKey)) {
        for (const auto& v : *values) {
            auto value = ce::RegQueryValue(ce::HKEY_CURRENT_USER, kLocationsKey, v);
            auto strings = value ? value->AsMultiSz() : std::nullopt;
            if (strings && !strings->empty() && (*strings)[0] == name) {
                id = static_cast<uint32_t>(ParseDecimal(v));
                break;
            }
        }
    }
    if (!id) {
        uint32_t high = ce::RegGetDword(ce::HKEY_CURRENT_USER, kLocationsKey, u"HighLocID", 0);
        if (!ce::RegSetValue(ce::HKEY_CURRENT_USER, kLocationsKey, u"HighLocID",
                             ce::RegValue::Dword(high + 1))) {
            Fail(IDS_REGISTRY_FAILED);
            return false;
        }
        id = high;
    }
    std::u16string pattern = DialPattern(n.m_nCountryCode, n.m_strAreaCode);
    std::u16string country;
    if (n.m_nCountryCode) {
        std::string c = std::to_string(n.m_nCountryCode);
        country.assign(c.begin(), c.end());
    }
    std::string idText = std::to_string(*id);
    // MultiSz closes the list with its own empty string.
    if (!ce::RegSetValue(ce::HKEY_CURRENT_USER, kLocationsKey,
                         std::u16string(idText.begin(), idText.end()),
                         ce::RegValue::MultiSz({name, pattern, pattern, pattern, country})) ||
        !ce::RegSetValue(ce::HKEY_CURRENT_USER, kDialKey, u"CurrentLoc",
                         ce::RegValue::Dword(*id))) {
        Fail(IDS_REGISTRY_FAILED);
        return false;
    }
    return true;
}

bool CDialup::CreateDialEntry() {
    bool intranet = IsIntranetMode();
    CDialNumber n = DialNumberFor(m_nMethod, m_phone, m_isp);
    ce::RASENTRY e;
    e.dwSize = ce::kRasEntrySize;
    e.dwfOptions = ce::RASEO_RemoteDefaultGateway;
    bool headerCompression =
        intranet ? CIntranetSettings::On(m_intranet.compress_hd) : m_isp.m_bHeaderCompression;
    bool swCompression =
        intranet ? CIntranetSettings::On(m_intranet.compress_sw) : m_isp.m_bSwCompression;
    if (headerCompression)
        e.dwfOptions |= ce::RASEO_IpHeaderCompression;
    if (swCompression)
        e.dwfOptions |= ce::RASEO_SwCompression;
    // Without this the codes are stored but the number is dialled alone.
    if (n.m_nCountryCode || !n.m_strAreaCode.empty())
        e.dwfOptions |= ce::RASEO_UseCountryAndAreaCodes;
    e.dwCountryCode = static_cast<uint32_t>(n.m_nCountryCode);
    e.szAreaCode = n.m_strAreaCode.substr(0, ce::RAS_MaxAreaCode);
    e.szLocalPhoneNumber = n.m_strNumber.substr(0, ce::RAS_MaxPhoneNumber);
    e.dwfNetProtocols = ce::RASNP_Ip;
    e.dwFramingProtocol =
        intranet && CIntranetSettings::On(m_intranet.slip) ? ce::RASFP_Slip : ce::RASFP_Ppp;
    e.szDeviceType = ce::RASDT_Modem;
    e.szDeviceName = m_device.m_strName.substr(0, ce::RAS_MaxDeviceName);
    if (!intranet) {
        if (m_nMethod == METHOD_GPRS && m_isp.m_dnsPrimary != IpAddress{}) {
            e.dwfOptions |= ce::RASEO_SpecificNameServers;
            e.ipaddrDns = ToRasIp(m_isp.m_dnsPrimary);
            e.ipaddrDnsAlt = ToRasIp(m_isp.m_dnsSecondary);
        }
    } else {
        if (!m_intranet.dns.empty() || !m_intranet.wins.empty()) {
            e.dwfOptions |= ce::RASEO_SpecificNameServers;
            e.ipaddrDns = ToRasIp(ParseDottedQuad(m_intranet.dns));
            e.ipaddrDnsAlt = ToRasIp(ParseDottedQuad(m_intranet.altdns));
            e.ipaddrWins = ToRasIp(ParseDottedQuad(m_intranet.wins));
            e.ipaddrWinsAlt = ToRasIp(ParseDottedQuad(m_intranet.altwins));
        }
        if (!m_intranet.ip.empty()) {
            e.dwfOptions |= ce::RASEO_SpecificIpAddr;
            e.ipaddr = ToRasIp(ParseDottedQuad(m_intranet.ip));
        }
    }

    ce::HLINE line = nullptr;
    if (ce::lineOpen(m_hLineApp, m_device.m_nDeviceId, &line, m_device.m_nApiVersion) != 0) {
        Fail(IDS_CANNOT_OPEN_DEVICE);
        return false;
    }
    std::vector<uint8_t> cfg;
    ce::LONG got =
        ce::lineGetDevConfig(m_device.m_nDeviceId, u"comm/datamodem", ce::kDevConfigSize, cfg);
    ce::lineClose(line);
    if (got != 0 || cfg.size() < ce::kDevCfgDialModifier + 82) {
        Fail(IDS_CANNOT_GET_DEVCONFIG);
        return false;
    }
    cfg[ce::kDevCfgModemOptions] = static_cast<uint8_t>(m_nModemOptions);
    cfg[ce::kDevCfgModemOptions + 1] = 2;  // blind dial: a phone gives no dial tone
    PutDword(cfg, ce::kDevCfgBaudRate, static_cast<uint32_t>(m_nBaudRate));
    cfg[ce::kDevCfgByteSize] = static_cast<uint8_t>(m_nDataBits);
    cfg[ce::kDevCfgByteSize + 1] = static_cast<uint8_t>(m_nStopBits);
    cfg[ce::kDevCfgByteSize + 2] = static_cast<uint8_t>(m_nParity);

    std::u16string init = BuildInitString();
    if (init.empty())
        return false;
    ce::SetDialModifier(cfg, init);

    std::u16string name = LoadString(IDS_ENTRY_NAME);
    if (ce::DWORD r = ce::RasSetEntryProperties(u"", name, e, ce::kRasEntrySize, cfg)) {
        (void)r;
        Fail(u"ERR: (code: ERRRasSetEntryProperties)");
        return false;
    }
    ce::RASDIALPARAMS p;
    p.dwSize = ce::kRasDialParamsSize;
    p.szEntryName = name;
    p.szUserName = m_strUser;
    p.szPassword = m_strPassword;
    if (ce::RasSetEntryDialParams(u"", p, false) != 0)
        Fail(IDS_CANNOT_SET_LOGIN);
    return m_provision ? m_provision(name) : true;
}

bool CDialup::LoadIntranetSettings() {
    std::string error;
    if (LoadIntranetDat(IntranetPath(), m_intranet, error))
        return true;
    Fail(ce::FromUtf8(error));
    return false;
}

bool CDialup::SaveIntranetSettings() {
    std::string error;
    if (SaveIntranetDat(IntranetPath(), m_intranet, error))
        return true;
    Fail(ce::FromUtf8(error));
    return false;
}

}  // namespace kvo::connect
