// The handheld's copy of one phone's phonebook: its entries with the values both sides last
// agreed on, the two storage descriptors, and the ".pb" file that keeps them per phone.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telmio/contacts/book_entry.h"

namespace kvo {

class CPhonebookEntry : public CBookEntry {
public:
    std::u16string m_strOrigName;  // as last read from or written to the phone
    std::u16string m_strOrigNumber;

    // Deleted on the handheld, still to be deleted on the phone.
    bool IsDeleted() const { return m_strName.empty() && m_strNumber.empty(); }
    bool NeverOnPhone() const { return m_strOrigName.empty() && m_strOrigNumber.empty(); }
    uint32_t Storage() const { return m_nId & kStorageMask; }
    uint32_t Index() const { return m_nId & kIndexMask; }
};

struct PhonebookStorage {
    uint32_t m_nFlag = 0;  // STORAGE_SIM, STORAGE_PHONE, 0 while not known
    int32_t m_nFirst = 0;
    int32_t m_nLast = 0;  // inclusive
    int32_t m_nNameLen = 0;
    int32_t m_nNumberLen = 0;
    bool operator==(const PhonebookStorage&) const = default;
};

using CPhonebookList = std::vector<std::unique_ptr<CPhonebookEntry>>;

class CPhonebook {
public:
    CPhonebook();  // one storage known: the SIM, locations 1 to 20, lengths 20 and 20

    CPhonebookList m_entries;
    int32_t m_nStorageCount = 1;
    PhonebookStorage m_storages[2];  // slot 0 the SIM, slot 1 the phone memory

    CPhonebookEntry* FindEntryById(uint32_t id) const;
    void Remove(const CPhonebookEntry* entry);
    CPhonebookEntry& Append(std::unique_ptr<CPhonebookEntry> entry);
    // The lowest location of the storage no entry occupies (deleted ones still do).
    std::optional<int32_t> FindFreeIndex(const PhonebookStorage& storage) const;
    // The descriptor of a storage flag, when the last synchronisation learned it.
    const PhonebookStorage* StorageOf(uint32_t flag) const;
};

// Strings of the ".pb" and ".grp" files hold at most this many characters.
inline constexpr uint32_t kMaxStoredChars = 501;

// File image; strings longer than kMaxStoredChars are cut so the file stays readable.
std::string FormatPhonebook(const CPhonebook& pb);
// Replaces `pb` only when the whole image fits; `error` says what did not.
bool ParsePhonebook(std::string_view bytes, CPhonebook& pb, std::string& error);

// appDir + "pb\" + phoneId + ".pb"; appDir ends with a backslash.
std::u16string PhonebookPath(std::u16string_view appDir, std::u16string_view phoneId);
// Written through a temporary file and rename: a crash leaves the old file or the new one.
bool SavePhonebookFile(std::u16string_view path, const CPhonebook& pb);
// False (pb untouched) when missing or damaged.
bool LoadPhonebookFile(std::u16string_view path, CPhonebook& pb, std::string* error = nullptr);

// Non-empty, and only digits, '+' and ';'.
bool IsValidNumber(std::u16string_view text);

}  // namespace kvo
