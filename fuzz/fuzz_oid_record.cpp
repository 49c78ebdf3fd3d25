// The contacts folder's Oid record: accepted records give nonzero Oids below "next".
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "platform/contacts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    uint32_t next = 7;
    std::map<std::string, uint32_t> keys{{"kept", 3}};
    if (!ce::ParseOidRecord(text, next, keys)) {
        if (next != 7 || keys.size() != 1)
            abort();
        return 0;
    }
    for (const auto& [key, oid] : keys)
        if (oid == 0 || (next != 0 && oid >= next))
            abort();
    return 0;
}
