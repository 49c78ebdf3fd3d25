#include "telmio/settings/client_settings.h"

#include "common/install_dir.h"
#include "platform/error.h"
#include "platform/profile.h"
#include "telmio/settings/settings_file.h"

namespace kvo {
namespace {

constexpr char16_t kSection[] = u"data";
constexpr char16_t kUserPort[] = u"userport";

}  // namespace

void ApplyChangedFields(const CKvoIni& base, const CKvoIni& mine, CKvoIni& onDisk) {
    auto take = [&](auto member) {
        if (!(mine.*member == base.*member))
            onDisk.*member = mine.*member;
    };
    take(&CKvoIni::m_strPhoneModel);
    take(&CKvoIni::m_strOperator);
    take(&CKvoIni::m_strLoginUser);
    take(&CKvoIni::m_strLoginPassword);
    take(&CKvoIni::m_strConnectionMethod);
    take(&CKvoIni::m_strModemDevice);
    take(&CKvoIni::m_strAccessPoint);
    take(&CKvoIni::m_strPin);
    take(&CKvoIni::m_nSettingF);
    take(&CKvoIni::m_strNetworkChoice);
    take(&CKvoIni::m_bAutoSync);
    take(&CKvoIni::m_nInterval);
    take(&CKvoIni::m_bOwnCentre);
    take(&CKvoIni::m_strCentreNumber);
    take(&CKvoIni::m_nSettingH);
    take(&CKvoIni::m_nSettingI);
    take(&CKvoIni::m_nSettingJ);
    take(&CKvoIni::m_nSettingK);
    take(&CKvoIni::m_bDeleteAfterSync);
    take(&CKvoIni::m_loginMap);
}

CClientSettings::CClientSettings(std::u16string dir)
    : m_strDir(dir.empty() ? GetInstallDir() : std::move(dir)) {}

bool CClientSettings::LoadSettings() {
    m_state = SettingsState::loaded;
    m_strError.clear();
    auto unreadable = [&](std::string why) {
        if (m_state != SettingsState::unreadable)
            m_strError = std::move(why);
        m_state = SettingsState::unreadable;
    };

    std::u16string port;
    if (ce::QueryProfileString(kSection, kUserPort, port)) {
        m_strUserPort = port;
        m_bUserPort = !port.empty();
        m_strLoadedUserPort = port;
    } else {
        unreadable("cannot read the profile value \"userport\": " + RegistryErrorText());
    }

    std::string error;
    switch (LoadKvoIni(KvoIniPath(), m_ini, error)) {
        case SettingsLoad::failed:
            unreadable(error);
            break;
        case SettingsLoad::damaged:
            if (m_state == SettingsState::loaded) {
                m_state = SettingsState::damaged;
                m_strError = error;
            }
            [[fallthrough]];
        default:
            m_loadedIni = m_ini;
            break;
    }
    // A damaged "pb.ini" gives its defaults, as a missing one does.
    if (LoadPbIni(PbIniPath(), m_pb, error) == SettingsLoad::failed) {
        unreadable(error);
    } else {
        m_loadedPb = m_pb;
    }
    return m_state == SettingsState::loaded;
}

bool CClientSettings::SaveSettings() {
    // Saving now would put defaults over settings that are there but could not be read;
    // Error() keeps the reason of the load.
    if (m_state == SettingsState::unreadable)
        return false;
    m_strError.clear();
    CKvoIni saved;
    bool ok = UpdateKvoIni(
        KvoIniPath(),
        [&](CKvoIni& disk) {
            ApplyChangedFields(m_loadedIni, m_ini, disk);
            saved = disk;
            return true;
        },
        m_strError);
    if (!ok)
        return false;
    saved.m_strDetectionText.clear();  // written empty; connect's own scratch space
    m_ini = m_loadedIni = saved;

    std::u16string port = m_bUserPort ? m_strUserPort : u"";
    if (port != m_strLoadedUserPort) {
        if (ce::WriteProfileString(kSection, kUserPort, port)) {
            m_strLoadedUserPort = port;
        } else {
            m_strError = "cannot write the profile value \"userport\": " + RegistryErrorText();
            ok = false;
        }
    }

    CPbIni savedPb;
    std::string pbError;
    bool pbOk = UpdatePbIni(
        PbIniPath(),
        [&](CPbIni& disk) {
            if (m_pb.m_nStorages != m_loadedPb.m_nStorages)
                disk.m_nStorages = m_pb.m_nStorages;
            if (m_pb.m_strName != m_loadedPb.m_strName)
                disk.m_strName = m_pb.m_strName;
            savedPb = disk;
            return true;
        },
        pbError);
    if (pbOk) {
        m_pb = m_loadedPb = savedPb;
    } else if (ok) {
        m_strError = pbError;
    }
    return ok && pbOk;
}

}  // namespace kvo
