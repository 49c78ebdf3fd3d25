// The stored-string reader: strings within the limit or a rejection, never a read past the
// buffer; what it reads writes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/stored_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kvo::MemReader in(bytes);
    for (;;) {
        uint64_t start = in.Position();
        std::u16string s;
        if (kvo::ReadStoredString(in, 500, s) != kvo::StoredStringError::ok) break;
        if (s.size() > 500) abort();
        kvo::MemWriter out;
        kvo::WriteStoredString(out, s);
        if (out.Bytes() != bytes.substr(start, in.Position() - start)) abort();
    }
    return 0;
}
