// vCard text: the 2.1 form old phones and desktop organisers export (quoted-printable,
// CHARSET, bare type parameters), 3.0 and 4.0 are read; 3.0 is written.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ce {

// One card, reduced to what the contacts store keeps. Strings are UTF-8.
struct VCardContact {
    std::string uid;
    std::string firstName, lastName, companyName;
    std::string mobile, business, home, car;
    std::string business2, home2, businessFax, homeFax, pager, other;
    std::string version;  // "2.1", "3.0", "4.0"
    // Properties the store does not understand, unfolded, so a rewrite keeps them.
    std::vector<std::string> extraLines;
};

struct VCardProblem {
    size_t nCard = 0;  // 1-based position in the text
    std::string strWhat;
};

// Every card of the text; a damaged card is left out with a problem naming it, the others
// are kept. Input above kMaxVCardText bytes is refused as a whole.
inline constexpr size_t kMaxVCardText = 8u << 20;
std::vector<VCardContact> ParseVCards(std::string_view text, std::vector<VCardProblem>& problems);

// A 3.0 card, CR LF lines folded at 75 octets.
std::string FormatVCard(const VCardContact& card);

}  // namespace ce
