// The ".pb" file: a phonebook or a refusal that leaves the target alone; what loads writes
// back to exactly the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "telmio/contacts/phonebook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::CPhonebook pb;
    std::string before = kvo::FormatPhonebook(pb), error;
    if (!kvo::ParsePhonebook(bytes, pb, error)) {
        if (error.empty() || kvo::FormatPhonebook(pb) != before)
            abort();
        return 0;
    }
    if (kvo::FormatPhonebook(pb) != bytes)
        abort();
    for (const auto& s : pb.m_storages)
        if (auto free = pb.FindFreeIndex(s); free && (*free < s.m_nFirst || *free > s.m_nLast))
            abort();
    return 0;
}
