// Connection records in <device>/ras, as any process reads them: a record or an error, and
// what parses formats back to the same record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ras_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ce::RasConnectionRecord r;
    std::string error;
    if (!ce::ParseRasRecord(text, r, error)) {
        if (error.empty()) abort();
        return 0;
    }
    if (r.nPid == 0 || r.strEntry.empty() || r.strEntry.size() > 20) abort();
    if (r.strInterface.find('/') != std::string::npos) abort();
    ce::RasConnectionRecord again;
    if (!ce::ParseRasRecord(ce::FormatRasRecord(r), again, error)) abort();
    if (!(again == r)) abort();
    return 0;
}
