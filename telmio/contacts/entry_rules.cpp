#include "telmio/contacts/entry_rules.h"

#include <algorithm>

namespace kvo {
namespace {

void SetLimits(const CPhonebook& pb, EntryPlace& place) {
    if (const PhonebookStorage* s = pb.StorageOf(place.nId & kStorageMask)) {
        place.nNameLen = s->m_nNameLen;
        place.nNumberLen = s->m_nNumberLen;
    }
}

}  // namespace

EntryPlace PlaceNewEntry(const CPhonebook& pb, uint32_t configured) {
    EntryPlace place;
    for (const PhonebookStorage& s : pb.m_storages) {
        if (!s.m_nFlag || !(configured & s.m_nFlag))
            continue;
        if (auto index = pb.FindFreeIndex(s)) {
            place.nId = s.m_nFlag | static_cast<uint32_t>(*index);
            place.bChoiceEnabled = pb.m_nStorageCount >= 2 && configured != s.m_nFlag;
            SetLimits(pb, place);
            return place;
        }
    }
    place.strMessage = kPhonebookFull;
    return place;
}

EntryPlace PlaceExistingEntry(const CPhonebook& pb, uint32_t id) {
    EntryPlace place;
    place.nId = id;
    SetLimits(pb, place);
    return place;
}

EntryPlace ChangeEntryStorage(const CPhonebook& pb, int choice) {
    EntryPlace place;
    uint32_t flag = static_cast<uint32_t>(choice + 1) << 28;
    const PhonebookStorage* s = pb.StorageOf(flag);
    std::optional<int32_t> index = s ? pb.FindFreeIndex(*s) : std::nullopt;
    if (!index) {
        place.strMessage = kMemoryFull;
        return place;
    }
    place.nId = flag | static_cast<uint32_t>(*index);
    place.bChoiceEnabled = true;
    SetLimits(pb, place);
    return place;
}

bool CanAcceptEntry(const std::u16string& name, const std::u16string& number) {
    return !name.empty() && IsValidNumber(number);
}

std::u16string CheckEntry(const std::u16string& name, const std::u16string& number, uint32_t id) {
    if (name.empty())
        return u"Please enter name.";
    if (number.empty())
        return u"Please enter phone number.";
    if (!(id & kStorageMask))
        return u"Please choose your storage place.";
    return {};
}

std::vector<CPhonebookEntry*> PhonebookRows(CPhonebook& pb, uint32_t configured) {
    std::vector<CPhonebookEntry*> rows;
    for (auto& e : pb.m_entries) {
        e->m_nTicked = 0;
        if ((configured & e->Storage()) && !e->IsDeleted())
            rows.push_back(e.get());
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CPhonebookEntry* a, const CPhonebookEntry* b) {
                         return CompareByName(*a, *b, 1) < 0;
                     });
    return rows;
}

}  // namespace kvo
