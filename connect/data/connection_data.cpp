#include "connect/data/connection_data.h"

namespace kvo::connect {

CPhoneModel DefaultPhoneModel() {
    CPhoneModel p;
    p.m_strName = u"default Mobile Phone";
    p.m_nBaudRate = 9600;
    p.m_nDataBits = 8;
    p.m_strField18 = u"unknown";
    p.m_strField19 = u"unknown";
    return p;
}

CPhoneModel& CConnectionData::AddPhone(CPhoneModel phone) {
    return *m_phones.emplace_back(std::make_unique<CPhoneModel>(std::move(phone)));
}

CIspEntry& CConnectionData::AddIsp(CIspEntry isp) {
    return *m_isps.emplace_back(std::make_unique<CIspEntry>(std::move(isp)));
}

CModemProfile& CConnectionData::AddProfile(CModemProfile profile) {
    profile.m_pPhone = nullptr;
    if (!profile.m_strMakerId.empty()) {
        for (const auto& p : m_phones) {
            if (p->m_strMakerId == profile.m_strMakerId &&
                p->m_strModelId == profile.m_strModelId) {
                profile.m_pPhone = p.get();
                break;
            }
        }
    }
    return *m_profiles.emplace_back(std::make_unique<CModemProfile>(std::move(profile)));
}

const CPhoneModel* CConnectionData::FindPhoneByName(std::u16string_view name) const {
    for (const auto& p : m_phones)
        if (p->m_strName == name) return p.get();
    return nullptr;
}

const CIspEntry* CConnectionData::FindIspByName(std::u16string_view name) const {
    for (const auto& i : m_isps)
        if (i->m_strName == name) return i.get();
    return nullptr;
}

const CModemProfile* CConnectionData::FindProfileByLine(std::u16string_view lineName) const {
    for (const auto& m : m_profiles)
        if (m->m_strLineName == lineName) return m.get();
    return nullptr;
}

void CConnectionData::Clear() {
    m_profiles.clear();  // before the phones they point at
    m_isps.clear();
    m_phones.clear();
}

}  // namespace kvo::connect
