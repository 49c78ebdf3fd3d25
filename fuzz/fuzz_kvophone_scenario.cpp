// The phone simulator's scenario parser: a result or an error naming the line, never neither;
// what parses formats to text that parses back to the same scenario.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/kvophone/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kvo::phone::Scenario s;
    std::string error;
    if (!kvo::phone::ParseScenario(text, s, error)) {
        if (error.rfind("line ", 0) != 0) abort();
        return 0;
    }
    for (const auto& st : s.smsStorages) {
        for (const auto& [index, slot] : st.slots) {
            if (index < 1 || index > st.nSize) abort();
        }
    }
    std::string once = kvo::phone::FormatScenario(s);
    kvo::phone::Scenario again;
    if (!kvo::phone::ParseScenario(once, again, error)) abort();
    if (!(again == s)) abort();
    if (kvo::phone::FormatScenario(again) != once) abort();
    return 0;
}
