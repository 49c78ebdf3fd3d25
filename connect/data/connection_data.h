// The three tables of "kvo.dat", in file order. Records are held by pointer so that a
// profile's m_pPhone stays valid however the lists grow.
#pragma once
#include <memory>
#include <string_view>
#include <vector>

#include "connect/data/isp_entry.h"
#include "connect/data/modem_profile.h"
#include "connect/data/phone_model.h"

namespace kvo::connect {

class CConnectionData {
public:
    CConnectionData() = default;
    CConnectionData(const CConnectionData&) = delete;
    CConnectionData& operator=(const CConnectionData&) = delete;
    // Moving keeps the records where they are, so profiles still point at their phones.
    CConnectionData(CConnectionData&&) = default;
    CConnectionData& operator=(CConnectionData&&) = default;

    const std::vector<std::unique_ptr<CPhoneModel>>& Phones() const { return m_phones; }
    const std::vector<std::unique_ptr<CIspEntry>>& Isps() const { return m_isps; }
    const std::vector<std::unique_ptr<CModemProfile>>& Profiles() const { return m_profiles; }

    CPhoneModel& AddPhone(CPhoneModel phone);
    CIspEntry& AddIsp(CIspEntry isp);
    // Sets the profile's phone: the first phone whose maker and model identifiers equal the
    // profile's; none when its maker identifier is empty.
    CModemProfile& AddProfile(CModemProfile profile);

    // First record in file order whose name equals `name` exactly, or null.
    const CPhoneModel* FindPhoneByName(std::u16string_view name) const;
    const CIspEntry* FindIspByName(std::u16string_view name) const;
    // The profile of a line device, by its exact line name, or null.
    const CModemProfile* FindProfileByLine(std::u16string_view lineName) const;

    void Clear();

private:
    std::vector<std::unique_ptr<CPhoneModel>> m_phones;
    std::vector<std::unique_ptr<CIspEntry>> m_isps;
    std::vector<std::unique_ptr<CModemProfile>> m_profiles;
};

}  // namespace kvo::connect
