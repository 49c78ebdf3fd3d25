// One address-book entry, a handheld contact or a phone phonebook entry, and the helpers the
// lists of them share: number cleaning, lookup by identifier and name, sorting, kind letters.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "telmio/settings/pb_ini.h"

namespace kvo {

inline constexpr uint32_t STORAGE_SIM = kPbStorageSim;
inline constexpr uint32_t STORAGE_PHONE = kPbStoragePhone;
inline constexpr uint32_t kStorageMask = 0xF0000000u;
inline constexpr uint32_t kIndexMask = 0x0FFFFFFFu;

class CBookEntry {
public:
    virtual ~CBookEntry() = default;

    int32_t m_nTicked = 0;
    int32_t m_nReserved[4] = {0, 0, 0, 0};  // kept 0, stored with phonebook entries
    uint32_t m_nId = 0;                     // contact Oid, or storage flag | location index
    std::u16string m_strName;
    std::u16string m_strNumber;  // contacts: the mobile number
    std::u16string m_strBusiness;
    std::u16string m_strHome;
    std::u16string m_strCar;

    // Leading and trailing white space off all five strings, as every record is built.
    void TrimAll();
};

using CBookList = std::vector<std::unique_ptr<CBookEntry>>;

std::u16string TrimWhite(std::u16string_view text);

// Keeps digits, '+' and ';' in place; true when something is left.
bool CleanNumber(std::u16string& number);

// The number of the first entry with this identifier and exactly this name; empty if none.
template <class List>
std::u16string FindEntryNumber(const List& list, std::u16string_view name, uint32_t id) {
    for (const auto& e : list)
        if (e->m_nId == id && e->m_strName == name)
            return e->m_strNumber;
    return {};
}

// List-view comparators; `direction` is +1 or -1.
int CompareByName(const CBookEntry& a, const CBookEntry& b, int direction);
int CompareByNumber(const CBookEntry& a, const CBookEntry& b, int direction);
int CompareByBusiness(const CBookEntry& a, const CBookEntry& b, int direction);
int CompareByHome(const CBookEntry& a, const CBookEntry& b, int direction);
int CompareByCar(const CBookEntry& a, const CBookEntry& b, int direction);
int CompareByIndex(const CBookEntry& a, const CBookEntry& b, int direction);

// "M W H A" for the numbers a contact has (mobile, business, home, car).
std::u16string NumberKinds(const CBookEntry& entry);
inline constexpr char16_t kKindMobile[] = u"M";
inline constexpr char16_t kKindBusiness[] = u"W";
inline constexpr char16_t kKindHome[] = u"H";
inline constexpr char16_t kKindCar[] = u"A";

}  // namespace kvo
