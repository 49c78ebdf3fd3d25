// The PDU-mode listing of a storage ("AT+CMGL=4"), split into the slots it names.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kvo {

struct CListedSlot {
    int m_nIndex = 0;
    // The slot as "AT+CMGR" would show it: "+CMGR: <stat>,<alpha>,<length>" CR LF PDU, so one
    // parser judges both reads.
    std::u16string m_strReply;
};

inline constexpr int kMaxListedIndex = 9999;

// Splits the payload of a listing into its slots, in the order listed. False when anything in
// it does not fit a listing: a line that is neither a "+CMGL:" header nor the hex PDU line
// after one, a header without its PDU, a PDU whose length is not the header's, an index
// outside 0..kMaxListedIndex or listed twice. Blank lines between entries are allowed; an
// empty payload is an empty listing.
bool ParseCmglListing(std::u16string_view payload, std::vector<CListedSlot>& out);

}  // namespace kvo
