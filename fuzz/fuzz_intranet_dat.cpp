// "intranet.dat": any bytes read without a fault; what was read either saves and reads back
// the same, or is refused with a reason.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "connect/dialup/intranet_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::connect::CIntranetSettings s = kvo::connect::ParseIntranetDat(bytes);
    std::string saved, error;
    if (!kvo::connect::FormatIntranetDat(s, saved, error)) {
        if (error.empty())
            abort();
        return 0;
    }
    if (saved.size() > kvo::connect::kIntranetMaxBytes)
        abort();
    if (!(kvo::connect::ParseIntranetDat(saved) == s))
        abort();
    return 0;
}
