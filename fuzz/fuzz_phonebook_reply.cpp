// The phone's phonebook replies: "+CPBR: (a-b),n,m" and the entry lines.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/narrow.h"
#include "telmio/contacts/phonebook_sync.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string reply = kvo::Widen(std::string(reinterpret_cast<const char*>(data), size));
    kvo::PhonebookStorage s{};
    if (kvo::ParseStorageInfo(reply, s) && (s.m_nFirst < 1 || s.m_nLast < s.m_nFirst))
        abort();
    kvo::CPhonebookEntry e;
    size_t rounds = 0;
    for (;;) {
        size_t before = reply.size();
        kvo::ParsedEntry r = kvo::ParseNextEntry(kvo::STORAGE_SIM, e, reply);
        if (r != kvo::ParsedEntry::entry)
            break;
        if (reply.size() >= before || (e.m_nId & 0xF0000000u) != kvo::STORAGE_SIM ||
            !(e.m_nId & 0x0FFFFFFFu))
            abort();
        if (++rounds > size)
            abort();
    }
    return 0;
}
