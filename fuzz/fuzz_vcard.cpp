// vCard text: cards or problems, never neither for a card started; every card read writes
// as 3.0 and reads back with the same fields.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/vcard.h"

namespace {

bool SameFields(const ce::VCardContact& a, const ce::VCardContact& b) {
    return a.uid == b.uid && a.firstName == b.firstName && a.lastName == b.lastName &&
           a.companyName == b.companyName && a.mobile == b.mobile && a.business == b.business &&
           a.home == b.home && a.car == b.car;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ce::VCardProblem> problems;
    std::vector<ce::VCardContact> cards = ce::ParseVCards(text, problems);
    for (const auto& card : cards) {
        std::vector<ce::VCardProblem> p2;
        std::vector<ce::VCardContact> back = ce::ParseVCards(ce::FormatVCard(card), p2);
        // Kept lines of other properties may be damaged themselves; the fields must survive.
        if (back.size() == 1 && !SameFields(card, back[0]))
            abort();
        if (back.size() > 1)
            abort();
    }
    return 0;
}
