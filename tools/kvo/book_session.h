// What the phonebook, contacts and groups commands share: a client document with its
// address book on the terminal, and the storage names of the command line.
#pragma once
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

#include "platform/file.h"
#include "telmio/contacts/address_book.h"
#include "telmio/session/telmio_doc.h"
#include "tools/kvo/terminal_ui.h"

namespace kvo::cli {

class CBookSession {
public:
    explicit CBookSession(std::ostream& err);
    // Settings and the current phone's phonebook; what every command needs.
    void Load();
    // Settings and phonebook for a change of the phonebook file: holds "kvo.lock" so that a
    // phonebook session running meanwhile cannot save over the change. False (said on err)
    // while a session holds it.
    bool LoadForEdit();
    // Also the store, data file and modem devices, for a phone session; false when the
    // client cannot start on this device (said on err).
    bool LoadForPhone();
    // Writes the phonebook file; false (said on err) when it cannot be written.
    bool SavePhonebook();

    std::ostream& m_err;
    CTerminalUi m_ui;
    CTelmioDoc m_doc;
    CAddressBook m_book;
    ce::File m_lock;
};

// "SM" or "ME" (any case) to the storage flag.
std::optional<uint32_t> StorageFlag(const std::string& name);
const char* StorageName(uint32_t flag);
// A location index in 1 .. 0x0FFFFFFF.
std::optional<uint32_t> LocationIndex(const std::string& text);
// A field of a tab-separated line: UTF-8 with tabs, line breaks and backslashes escaped.
std::string Field(const std::u16string& text);

}  // namespace kvo::cli
