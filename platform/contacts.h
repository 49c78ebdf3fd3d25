// The handheld's contacts store, as the organiser's object model offers it: a contacts
// folder of items with an object identifier (Oid) and named properties, Add and Save.
// Backed by a vdir: one vCard file per contact in a folder, as Linux contact tools share
// it. An Oid is kept per card UID in the folder, so it survives runs and edits by other
// programs, and is never given to another card of the same store.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

inline constexpr int olFolderContacts = 10;

struct ContactItem {
    uint32_t Oid = 0;  // 0 until saved
    std::u16string FirstName, LastName, CompanyName;
    std::u16string MobileTelephoneNumber, BusinessTelephoneNumber, Business2TelephoneNumber;
    std::u16string HomeTelephoneNumber, Home2TelephoneNumber, CarTelephoneNumber;
    std::u16string BusinessFaxNumber, HomeFaxNumber, PagerNumber, OtherTelephoneNumber;

    // Where the item lives; kept by the store.
    std::string strUid;
    std::string strFile;  // file name in the folder
    std::vector<std::string> extraLines;
};

// The folder `kvo-device set-contacts` named (relative paths are relative to the device
// root), else <device>/contacts.
std::filesystem::path ContactsFolderPath();
bool SetContactsFolderPath(const std::filesystem::path& folder);

// The folder's Oid record (".kvo-oids"): a line "next<TAB>N", then "OID<TAB>KEY" lines, each
// ending in LF, keys with '%', tab and line breaks as %XX. `next` 0 means every Oid was
// given. False (outputs untouched) for anything else.
bool ParseOidRecord(std::string_view text, uint32_t& next, std::map<std::string, uint32_t>& byKey);

class ContactsFolder {
public:
    // Opens the store and reads every card; false when the folder cannot be created or read.
    // A damaged card is skipped and named in Problems().
    bool Logon();
    void Logoff() { m_items.clear(); }

    size_t Count() const { return m_items.size(); }
    // 1-based, as the object model counts.
    const ContactItem& Item(size_t i) const { return m_items.at(i - 1); }
    const ContactItem* GetItemFromOid(uint32_t oid) const;
    const std::vector<std::string>& Problems() const { return m_problems; }

    // A new item with a fresh UID, not stored until Save.
    ContactItem Add() const;
    // Writes the item's card (3.0) through a temporary file and rename; gives a new item its
    // Oid. False when the folder or the Oid record cannot be written.
    bool Save(ContactItem& item);

    // Stores every card of a vCard text (one or many); a card whose UID the store knows
    // replaces that contact. Returns how many were stored; damaged cards go to `problems`.
    size_t Import(std::string_view text, std::vector<std::string>& problems);
    // Every contact as one vCard 3.0 text.
    std::string Export() const;

    const std::filesystem::path& Folder() const { return m_folder; }

private:
    bool AssignOids(std::vector<ContactItem*> items);
    bool WriteCardFile(const std::string& file);

    std::filesystem::path m_folder;
    std::vector<ContactItem> m_items;
    std::vector<std::string> m_problems;
};

}  // namespace ce
