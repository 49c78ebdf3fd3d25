#include "telmio/settings/kvo_ini.h"

#include "common/binio.h"
#include "common/stored_string.h"

namespace kvo {
namespace {

bool ReadString(BinReader& in, std::u16string& s) {
    return ReadStoredString(in, kSettingsMaxStringUnits, s) == StoredStringError::ok;
}

bool ReadFlag(BinReader& in, bool& b) {
    uint32_t v;
    if (!in.ReadU32(v))
        return false;
    b = v != 0;
    return true;
}

bool WriteString(BinWriter& out, std::u16string_view s) {
    // Never write what a reader would refuse.
    if (s.size() > kSettingsMaxStringUnits)
        s = s.substr(0, kSettingsMaxStringUnits);
    return WriteStoredString(out, s);
}

}  // namespace

void CKvoIni::ApplyDefaults() {
    m_strPhoneModel.clear();
    m_strOperator.clear();
    m_strConnectionMethod.clear();
    m_strModemDevice.clear();
    m_strAccessPoint.clear();
    m_loginMap.clear();
    m_nSettingF = 0;
    m_bOwnCentre = false;
    m_strCentreNumber.clear();
    m_bAutoSync = false;
    m_nInterval = 10;
    m_nSettingH = 0;
    m_nSettingI = 0;
    m_nSettingJ = 150;
    m_nSettingK = 10;
    m_bDeleteAfterSync = false;
}

IniLoad ParseKvoIni(std::string_view bytes, CKvoIni& ini) {
    MemReader in(bytes);
    uint8_t version;
    if (!in.ReadU8(version))
        return IniLoad::failed;
    if (version != kKvoIniVersion) {
        ini.ApplyDefaults();
        return IniLoad::defaulted;
    }
    bool ok = ReadString(in, ini.m_strPhoneModel) && ReadString(in, ini.m_strOperator) &&
              ReadString(in, ini.m_strLoginUser) && ReadString(in, ini.m_strLoginPassword) &&
              ReadString(in, ini.m_strConnectionMethod) && ReadString(in, ini.m_strModemDevice) &&
              ReadString(in, ini.m_strAccessPoint) && ReadString(in, ini.m_strPin) &&
              in.ReadI32(ini.m_nSettingF) && ReadString(in, ini.m_strNetworkChoice) &&
              ReadFlag(in, ini.m_bAutoSync) && in.ReadI32(ini.m_nInterval) &&
              ReadFlag(in, ini.m_bOwnCentre) && ReadString(in, ini.m_strCentreNumber) &&
              in.ReadI32(ini.m_nSettingH) && in.ReadI32(ini.m_nSettingI) &&
              in.ReadI32(ini.m_nSettingJ) && in.ReadI32(ini.m_nSettingK) &&
              ReadFlag(in, ini.m_bDeleteAfterSync) && ReadString(in, ini.m_strDetectionText);
    if (!ok)
        return IniLoad::failed;
    uint32_t count;
    if (!in.ReadU32(count))
        return IniLoad::failed;
    ini.m_loginMap.clear();
    // No reserve from the count: a damaged count must not allocate; the data ends the loop.
    for (uint32_t i = 0; i < count; ++i) {
        CLoginEntry e;
        if (!ReadString(in, e.m_strOperator) || !ReadString(in, e.m_strUser) ||
            !ReadString(in, e.m_strPassword))
            return IniLoad::failed;
        ini.m_loginMap.push_back(std::move(e));
    }
    return IniLoad::ok;
}

std::string FormatKvoIni(const CKvoIni& ini) {
    MemWriter out;
    out.WriteU8(kKvoIniVersion);
    for (const std::u16string* s :
         {&ini.m_strPhoneModel, &ini.m_strOperator, &ini.m_strLoginUser, &ini.m_strLoginPassword,
          &ini.m_strConnectionMethod, &ini.m_strModemDevice, &ini.m_strAccessPoint, &ini.m_strPin})
        WriteString(out, *s);
    out.WriteI32(ini.m_nSettingF);
    WriteString(out, ini.m_strNetworkChoice);
    out.WriteU32(ini.m_bAutoSync ? 1 : 0);
    out.WriteI32(ini.m_nInterval);
    out.WriteU32(ini.m_bOwnCentre ? 1 : 0);
    WriteString(out, ini.m_strCentreNumber);
    out.WriteI32(ini.m_nSettingH);
    out.WriteI32(ini.m_nSettingI);
    out.WriteI32(ini.m_nSettingJ);
    out.WriteI32(ini.m_nSettingK);
    out.WriteU32(ini.m_bDeleteAfterSync ? 1 : 0);
    WriteString(out, u"");  // the detection text is connect's scratch space
    out.WriteU32(static_cast<uint32_t>(ini.m_loginMap.size()));
    for (const CLoginEntry& e : ini.m_loginMap) {
        WriteString(out, e.m_strOperator);
        WriteString(out, e.m_strUser);
        WriteString(out, e.m_strPassword);
    }
    return out.Bytes();
}

}  // namespace kvo
