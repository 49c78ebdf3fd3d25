// The registry file parser: a result or an error, never neither; what parses formats to text
// that parses again to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    ce::RegKey root;
    std::string error;
    if (!ce::ParseRegText(text, ce::HKEY_CURRENT_USER, "user.reg", root, error)) {
        if (error.rfind("user.reg:", 0) != 0) abort();
        return 0;
    }
    std::string once = ce::FormatRegText(root, ce::HKEY_CURRENT_USER);
    ce::RegKey again;
    if (!ce::ParseRegText(once, ce::HKEY_CURRENT_USER, "user.reg", again, error)) abort();
    if (ce::FormatRegText(again, ce::HKEY_CURRENT_USER) != once) abort();
    return 0;
}
