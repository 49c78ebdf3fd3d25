// The phonebook's command layer over the AT engine and the three-way read of one storage:
// each location's value on the handheld, on the phone and as both last agreed decides which
// side changed and what is carried where.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "telmio/contacts/phonebook.h"

namespace kvo {

// One command exchange (prompt mode 0): true when it completed; `reply` is the shaped text.
using PhonebookExchange =
    std::function<bool(const std::string& command, std::u16string& reply, int timeoutSeconds)>;

// "+CPBR: (first-last),numberLength,nameLength"; false when the text is not of that form.
bool ParseStorageInfo(std::u16string_view reply, PhonebookStorage& out);

enum class ParsedEntry { entry, none, malformed };
// Takes the next "+CPBR: index,"number",type,"name"" line off the front of `reply`.
ParsedEntry ParseNextEntry(uint32_t flag, CPhonebookEntry& entry, std::u16string& reply);

class CPhonebookReader {
public:
    CPhonebookReader(CPhonebook& pb, PhonebookExchange exchange, uint32_t storages);

    bool SelectStorage(uint32_t flag);
    bool QueryStorage(PhonebookStorage& out);
    // The phone's entries of the range, converted from the GSM alphabet.
    bool ReadRange(int first, int last, std::u16string& reply);
    bool WriteEntry(uint32_t index, const CPhonebookEntry& entry);
    bool DeleteEntry(uint32_t index);
    bool SelectCharacterSet();

    // True when the phone names its phonebooks and this storage is not among them.
    bool StorageAbsent(uint32_t flag);

    // Reconciles one storage with the phone; `slot` receives its descriptor. A storage the
    // phone does not have is no failure: nothing is read or changed, and Absent() says so.
    bool SmartRead(uint32_t flag, int slot);
    bool Absent() const { return m_bAbsent; }

    // Time-outs in seconds; tests shorten the read's.
    int m_nTimeout = 10;
    int m_nReadTimeout = 30;

private:
    enum class Row { added, deleteOnPhone, unchanged, writeToPhone, takePhone, failed };
    Row Decide(const CPhonebookEntry& m);
    bool EmptyOnPhone(uint32_t id);
    void TraceEntry(const CPhonebookEntry& e) const;

    CPhonebook& m_pb;
    PhonebookExchange m_exchange;
    uint32_t m_nStorages;
    bool m_bAbsent = false;
};

}  // namespace kvo
