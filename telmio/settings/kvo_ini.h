// "kvo.ini": the suite's shared settings file. The client and the connection manager read
// and rewrite the same layout; each keeps the other's fields as it found them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

inline constexpr uint8_t kKvoIniVersion = 9;
inline constexpr uint32_t kSettingsMaxStringUnits = 500;

struct CLoginEntry {
    std::u16string m_strOperator;
    std::u16string m_strUser;
    std::u16string m_strPassword;
    bool operator==(const CLoginEntry&) const = default;
};

struct CKvoIni {
    std::u16string m_strPhoneModel;        // empty: ask the phone
    std::u16string m_strOperator;          // empty: detect
    std::u16string m_strLoginUser;         // connect's; kept by defaults
    std::u16string m_strLoginPassword;     // connect's, plain text; kept by defaults
    std::u16string m_strConnectionMethod;  // "GPRS", "GSM", "HSCSD" or empty
    std::u16string m_strModemDevice;       // the dialer reads it too
    std::u16string m_strAccessPoint;       // connect's override of the operator's
    std::u16string m_strPin;               // connect's; kept by defaults
    int32_t m_nSettingF = 0;
    std::u16string m_strNetworkChoice;  // connect's; kept by defaults
    bool m_bAutoSync = false;
    int32_t m_nInterval = 10;   // minutes
    bool m_bOwnCentre = false;  // "set SMS centre number"
    std::u16string m_strCentreNumber;
    int32_t m_nSettingH = 0;
    int32_t m_nSettingI = 0;
    int32_t m_nSettingJ = 150;
    int32_t m_nSettingK = 10;
    bool m_bDeleteAfterSync = false;
    std::u16string m_strDetectionText;    // connect's last detection; written back empty
    std::vector<CLoginEntry> m_loginMap;  // connect's per-operator logins

    // Defaults of a file of another version; the "kept" fields stay.
    void ApplyDefaults();
    bool operator==(const CKvoIni&) const = default;
};

enum class IniLoad { ok, defaulted, failed };

// `defaulted` for a version other than 9 (defaults applied); `failed` for an unreadable
// field, with the fields read before it already set.
IniLoad ParseKvoIni(std::string_view bytes, CKvoIni& ini);
std::string FormatKvoIni(const CKvoIni& ini);

}  // namespace kvo
