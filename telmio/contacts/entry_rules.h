// The rules of the phonebook's entry dialog, as functions the window and `kvo pb` share:
// where a new entry goes, the length limits, what OK accepts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "telmio/contacts/phonebook.h"

namespace kvo {

inline constexpr char16_t kPhonebookFull[] = u"Phonebook from Mobile is full.";
inline constexpr char16_t kMemoryFull[] = u"The memory on Mobile Phone is full.";

struct EntryPlace {
    uint32_t nId = 0;             // storage flag | location; 0 when there is none
    bool bChoiceEnabled = false;  // the SIM/Phone choice may be changed
    int32_t nNameLen = 0;         // limits of the name and number boxes
    int32_t nNumberLen = 0;
    std::u16string strMessage;  // why there is no place
    int Choice() const { return nId ? static_cast<int>(nId >> 28) - 1 : -1; }  // 0 SIM, 1 Phone
};

// A new entry: the first configured storage (SIM, then phone) with a free location.
EntryPlace PlaceNewEntry(const CPhonebook& pb, uint32_t configured);
// An existing entry keeps its storage.
EntryPlace PlaceExistingEntry(const CPhonebook& pb, uint32_t id);
// The user picked another storage (0 SIM, 1 Phone).
EntryPlace ChangeEntryStorage(const CPhonebook& pb, int choice);

// OK is enabled while this holds.
bool CanAcceptEntry(const std::u16string& name, const std::u16string& number);
// The message OK shows, or empty when the entry is accepted.
std::u16string CheckEntry(const std::u16string& name, const std::u16string& number, uint32_t id);

// The Phonebook dialog's rows: entries of the configured storages with a name or a number,
// all unticked, sorted by name (case-insensitive).
std::vector<CPhonebookEntry*> PhonebookRows(CPhonebook& pb, uint32_t configured);

}  // namespace kvo
