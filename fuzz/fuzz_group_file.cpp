// The ".grp" file: members up to the damage, and what reads whole writes back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "telmio/contacts/groups.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::CGroupMemberList members;
    bool whole = kvo::ParseGroup(bytes, members);
    std::string again = kvo::FormatGroup(members);
    if (whole && again != bytes)
        abort();
    for (const auto& m : members)
        if (m->m_strSource.size() > 501 || m->m_strName.size() > 501)
            abort();
    return 0;
}
