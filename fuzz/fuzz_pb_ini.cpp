// "pb.ini": its two fields or the defaults; what loads writes back to the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "telmio/settings/pb_ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    kvo::CPbIni ini;
    if (!kvo::ParsePbIni(bytes, ini)) {
        if (!(ini == kvo::CPbIni{}))
            abort();
        return 0;
    }
    std::string saved = kvo::FormatPbIni(ini);
    if (bytes.compare(0, saved.size(), saved) != 0)
        abort();
    return 0;
}
