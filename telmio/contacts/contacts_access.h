// The handheld's contacts seen as address-book entries: reading them, the recipients the
// "Select the phone number" dialog builds, and moving entries between contacts and phonebook.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "telmio/contacts/book_entry.h"
#include "telmio/contacts/phonebook.h"

namespace kvo {

inline constexpr char16_t kExported[] = u"Entries successfully exported";
inline constexpr char16_t kSyncFirst[] =
    u"First you have to synchronize your Phonebook with your Mobile Phone before you can import "
    u"entries from Contacts app.";

// One entry per contact: name "Last First" (or the company), the four numbers as stored,
// trimmed. False after "Pocket Outlook Error -3-" when the store cannot be opened; damaged
// cards are skipped and named in one message.
bool LoadContacts(CBookList& list, IUserInterface& ui);

// The "Select Contacts" list: ticks cleared, numbers cleaned, entries with neither a name
// nor a number left out.
std::vector<CBookEntry*> SelectContactsRows(CBookList& contacts);

// "Select the phone number" on OK: the group's numbers, then the ticked contacts, then the
// ticked phonebook rows (each list shows only entries with a number), joined with ';' and
// cleaned to digits, '+' and ';'.
std::u16string BuildRecipients(const std::vector<std::u16string>& groupNumbers,
                               const CBookList& contacts, const CPhonebookList& phonebook);

struct ImportOutcome {
    int nCreated = 0;
    std::u16string strMessage;  // why the import stopped; empty when every number found a place
};
// Appends a phonebook entry "Name/M" ("/W", "/H", "/A") for every number of each contact in
// the chosen storage's free locations; `save` runs after each contact.
ImportOutcome ImportIntoPhonebook(CPhonebook& pb, const std::vector<const CBookEntry*>& contacts,
                                  uint32_t storage, const std::function<void()>& save);

// Adds a contact per phonebook entry (LastName = name, mobile = number); the message shown
// at the end, or the store's error.
std::u16string ExportToContacts(const std::vector<const CPhonebookEntry*>& entries);

}  // namespace kvo
