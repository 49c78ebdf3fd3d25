// The SMS service list: any bytes parse or are rejected, never read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "telmio/session/sms_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvo::CSmsInfo info;
    if (kvo::ParseSmsInfo(std::string_view(reinterpret_cast<const char*>(data), size), info)) {
        for (const auto& s : info.m_services)
            if (s.m_nValue < 0) __builtin_trap();
    }
    return 0;
}
