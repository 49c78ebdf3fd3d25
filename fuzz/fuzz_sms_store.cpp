// The store loader: whole records or a stop at the first that does not fit, never a read
// past the input; offsets and record sizes add up to where it stopped.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/binio.h"
#include "telmio/sms/message_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::CSmsStore::List list;
    uint64_t goodEnd = kvo::CSmsStore::ParseStore(bytes, list);
    if (goodEnd > bytes.size())
        abort();
    kvo::MemWriter out;
    for (const auto& msg : list) {
        if (msg->m_nFilePos != static_cast<int64_t>(out.Bytes().size()))
            abort();
        uint64_t start = out.Bytes().size();
        if (!kvo::WriteSmsRecord(out, *msg))
            abort();
        if (out.Bytes().size() - start != msg->RecordSize())
            abort();
    }
    if (out.Bytes().size() != goodEnd)
        abort();
    return 0;
}
