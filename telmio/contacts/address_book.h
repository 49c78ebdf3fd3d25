// The client's address book next to its document: the current phone's phonebook, the
// handheld's contacts as last read, and the phonebook session that reconciles the two sides.
#pragma once
#include <cstdint>
#include <string>

#include "common/user_interface.h"
#include "telmio/contacts/book_entry.h"
#include "telmio/contacts/groups.h"
#include "telmio/contacts/phonebook.h"
#include "telmio/contacts/phonebook_sync.h"

namespace kvo {

class CTelmioDoc;

inline constexpr char16_t kSyncCompleted[] = u"Synchronization completed successfully";
inline constexpr char16_t kPhonebookSyncFailed[] = u"Synchronization failed.";

class CAddressBook {
public:
    CAddressBook(CTelmioDoc& doc, IUserInterface& ui);

    // The phonebook of the last identified phone, as start-up loads it.
    void LoadPhonebook();
    bool SavePhonebook();

    // The "Synchronize Phonebook" command: one phone session. Returns the closing text
    // (kSyncCompleted or kPhonebookSyncFailed); earlier failures go to the message box.
    std::u16string SynchronizePhonebook();

    // "AT+CGSN": switches to the phone's own stored phonebook when another phone answers.
    bool IdentifyPhone();
    void SwitchPhone(const std::u16string& serial);

    std::u16string PhoneId() const;
    uint32_t Storages() const;
    std::u16string PhonebookFile() const;
    std::u16string GroupsFolder() const;
    const std::u16string& AppDir() const;

    // A group member's current number, cleaned; empty when its entry is gone. Contacts
    // members are looked up in m_contacts, which the caller loads.
    std::u16string ResolveMember(const CGroupMember& member) const;
    // The numbers of a group's members in file order, empty ones left out; false when the
    // group file cannot be read.
    bool ExpandGroup(const std::u16string& name, std::vector<std::u16string>& numbers) const;

    CPhonebook m_phonebook;
    CBookList m_contacts;
    std::vector<CSmsGroup> m_groups;

    // Read time-out per chunk in seconds (tests shorten it).
    int m_nReadTimeout = 30;

private:
    bool Exchange(const std::string& command, std::u16string& reply, int timeout);

    CTelmioDoc& m_doc;
    IUserInterface& m_ui;
};

}  // namespace kvo
